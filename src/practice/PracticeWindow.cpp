#include "practice/PracticeWindow.h"

#include "core/Clock.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "jianpu/NotationSheet.h"
#include "performance/KeyTable.h"
#include "performance/MelodyVoices.h"
#include "practice/AccuracyPlot.h"
#include "practice/PracticePiano.h"
#include "practice/PracticeSession.h"
#include "practice/PracticeSheetView.h"
#include "rhythm/RhythmPattern.h"
#include "widgets/AccessibleName.h"
#include "widgets/ChoiceList.h"
#include "widgets/KeyCodes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int kFrameMs = 16;  // 60 frames a second while something moves
const Practice::Mode kModes[] = {Practice::Mode::Wait, Practice::Mode::Step, Practice::Mode::Tempo};

// The score as "试听" plays the score box: in capitals (letters only, so
// every position stays where it was).
QString inCapitals(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return out;
}

QLabel *labelFor(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    return label;
}

}  // namespace

PracticeWindow::PracticeWindow(Session &ctx, WindowDisplay &display, MelodyVoices &voices, RhythmPattern &pattern,
                               QWidget *parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), display_(display), voices_(voices), pattern_(pattern),
      session_(std::make_unique<PracticeSession>(ctx, voices)),
      frame_(ctx.clock, QStringLiteral("PracticeFrame"), kFrameMs)
{
    setObjectName(QStringLiteral("PracticeWindow"));
    setWindowTitle(caption());
    setAccessibleName(caption());
    buildControls();
    frame_.onTick = [this] { onFrame(); };

    PracticeSession &s = *session_;
    connect(&s, &PracticeSession::changed, this, &PracticeWindow::showState);
    connect(&s, &PracticeSession::finished, this, &PracticeWindow::showResult);
    connect(&s, &PracticeSession::judged, this, &PracticeWindow::onJudged);
    connect(&s, &PracticeSession::keyShown, piano_, &PracticePiano::setHeld);
    connect(piano_, &PracticePiano::pressed, &s, &PracticeSession::press);
    connect(piano_, &PracticePiano::released, &s, &PracticeSession::release);
    connect(&pattern, &RhythmPattern::timeSignatureChanged, this, &PracticeWindow::loadScore);
    loadScore();
}

PracticeWindow::~PracticeWindow()
{
    frame_.onTick = nullptr;
    if (filtering_)
        qApp->removeEventFilter(this);
    // What sounds ends while the pictures are still there.
    session_->stop();
    session_->disconnect(this);
    session_->disconnect(piano_);
}

void PracticeWindow::buildControls()
{
    mode_ = new ChoiceList(this);
    mode_->setObjectName(QStringLiteral("practiceMode"));
    for (Practice::Mode m : kModes)
        mode_->addItem(Practice::modeCaption(m));
    mode_->setToolTip(QStringLiteral("等待：弹对了才往下走；逐音：弹一个音走一步，对错都走；跟节奏：乐谱按速度走，看弹得准不准"));
    speed_ = new ChoiceList(this);
    speed_->setObjectName(QStringLiteral("practiceSpeed"));
    for (int v = Practice::kMinSpeed; v <= Practice::kMaxSpeed; v += Practice::kSpeedStep)
        speed_->addItem(QStringLiteral("%1%").arg(v), v);
    speed_->setCurrentIndex((Practice::kNormalSpeed - Practice::kMinSpeed) / Practice::kSpeedStep);
    speed_->setToolTip(QStringLiteral("乐谱速度的百分之几"));
    fromBar_ = new ChoiceList(this);
    fromBar_->setObjectName(QStringLiteral("practiceFrom"));
    toBar_ = new ChoiceList(this);
    toBar_->setObjectName(QStringLiteral("practiceTo"));
    loop_ = new QCheckBox(QStringLiteral("循环"), this);
    loop_->setObjectName(QStringLiteral("practiceLoop"));
    loop_->setToolTip(QStringLiteral("练完一遍自动从头再练"));
    start_ = new QPushButton(QStringLiteral("开始"), this);
    start_->setObjectName(QStringLiteral("practiceStart"));
    start_->setToolTip(QStringLiteral("从选定的第一小节开始（回车键）"));
    restart_ = new QPushButton(QStringLiteral("重来"), this);
    restart_->setObjectName(QStringLiteral("practiceRestart"));
    restart_->setToolTip(QStringLiteral("放弃这一遍，从头再来"));
    demo_ = new QPushButton(QStringLiteral("示范"), this);
    demo_->setObjectName(QStringLiteral("practiceDemo"));
    demo_->setToolTip(QStringLiteral("先听一遍选定的小节"));

    auto *modeLabel = labelFor(QStringLiteral("方式"), this);
    auto *speedLabel = labelFor(QStringLiteral("速度"), this);
    auto *fromLabel = labelFor(QStringLiteral("从"), this);
    auto *toLabel = labelFor(QStringLiteral("到"), this);
    nameControl(mode_, QStringLiteral("练习方式"), modeLabel);
    nameControl(speed_, QStringLiteral("练习速度"), speedLabel);
    nameControl(fromBar_, QStringLiteral("从第几小节"), fromLabel);
    nameControl(toBar_, QStringLiteral("到第几小节"), toLabel);
    nameControl(loop_, QStringLiteral("循环练习"));
    nameControl(start_, QStringLiteral("开始练习"));
    nameControl(restart_, QStringLiteral("重来"));
    nameControl(demo_, QStringLiteral("示范演奏"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(modeLabel);
    controls->addWidget(mode_);
    controls->addSpacing(8);
    controls->addWidget(speedLabel);
    controls->addWidget(speed_);
    controls->addSpacing(8);
    controls->addWidget(fromLabel);
    controls->addWidget(fromBar_);
    controls->addWidget(toLabel);
    controls->addWidget(toBar_);
    controls->addWidget(loop_);
    controls->addStretch(1);
    controls->addWidget(start_);
    controls->addWidget(restart_);
    controls->addWidget(demo_);

    sheetView_ = new PracticeSheetView(*session_);
    sheetView_->now = [this] { return ctx_.clock.nowNs(); };
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("practiceScroll"));
    scroll_->setWidget(sheetView_);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFocusPolicy(Qt::NoFocus);
    connect(sheetView_, &PracticeSheetView::revealRequested, this, [this](const QRect &r) {
        scroll_->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 20, r.height() / 2 + 10);
    });

    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("practiceHint"));
    QFont big = hint_->font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    hint_->setFont(big);
    hint_->setAccessibleName(QStringLiteral("要弹的音"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("practiceStatus"));
    status_->setWordWrap(true);
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("practiceResult"));
    result_->setWordWrap(true);
    result_->setAccessibleName(QStringLiteral("练习结果"));
    result_->setMinimumWidth(420);
    plot_ = new AccuracyPlot(this);
    piano_ = new PracticePiano(this);
    piano_->now = [this] { return ctx_.clock.nowNs(); };

    auto *texts = new QVBoxLayout;
    texts->addWidget(hint_);
    texts->addWidget(status_);
    texts->addWidget(result_, 1);
    auto *middle = new QHBoxLayout;
    middle->addLayout(texts, 1);
    middle->addWidget(plot_);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(controls);
    layout->addWidget(scroll_, 1);
    layout->addLayout(middle);
    layout->addWidget(piano_, 0, Qt::AlignHCenter);
    resize(piano_->width() + 12, 620);

    // Tab walks the controls; none of them takes the playing keys.
    for (QWidget *w : std::initializer_list<QWidget *>{mode_, speed_, fromBar_, toBar_, loop_, start_, restart_, demo_})
        w->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(mode_, speed_);
    setTabOrder(speed_, fromBar_);
    setTabOrder(fromBar_, toBar_);
    setTabOrder(toBar_, loop_);
    setTabOrder(loop_, start_);
    setTabOrder(start_, restart_);
    setTabOrder(restart_, demo_);

    connect(mode_, &QComboBox::activated, this, [this](int i) { session_->setMode(kModes[qBound(0, i, 2)]); });
    connect(speed_, &QComboBox::activated, this, [this](int i) { session_->setSpeed(speed_->itemData(i).toInt()); });
    connect(fromBar_, &QComboBox::activated, this, [this](int) {
        if (toBar_->currentIndex() < fromBar_->currentIndex())
            toBar_->setCurrentIndex(fromBar_->currentIndex());
        barsChosen();
    });
    connect(toBar_, &QComboBox::activated, this, [this](int) {
        if (fromBar_->currentIndex() > toBar_->currentIndex())
            fromBar_->setCurrentIndex(toBar_->currentIndex());
        barsChosen();
    });
    connect(loop_, &QCheckBox::toggled, this, [this](bool on) { session_->setLooping(on); });
    connect(start_, &QPushButton::clicked, this, [this] { session_->start(); });
    connect(restart_, &QPushButton::clicked, this, [this] { session_->restart(); });
    connect(demo_, &QPushButton::clicked, this, [this] { session_->demonstrate(); });
}

void PracticeWindow::loadScore()
{
    // The name in the record: the file the box holds, unless it was changed since.
    QString name;
    if (!display_.text3Unsaved() && !display_.LastFilePath.isEmpty())
        name = QFileInfo(display_.LastFilePath).completeBaseName();
    ScoreRender::Start start;
    start.tempoPosition = voices_.tempoPosition();
    start.keyPosition = qBound(0, ctx_.state.KeyBase - 36, 11);
    const int beats = Notation::beatsForTimeSignature(pattern_.TimeSignature());
    session_->setScore(inCapitals(display_.Text3()), name, start, beats);
    session_->setClickVelocity(pattern_.volumeNumber());
    session_->setMode(kModes[qBound(0, mode_->currentIndex(), 2)]);
    session_->setSpeed(speed_->currentData().toInt());
    sheetView_->setSheet(session_->scoreName(), Notation::keyText(start.keyPosition));
    setWindowTitle(QStringLiteral("%1 - %2").arg(caption(), session_->scoreName()));
    fillBars();
    plot_->setValues(session_->history());
    result_->clear();
    showState();
}

void PracticeWindow::setMode(Practice::Mode mode)
{
    for (int i = 0; i < 3; ++i) {
        if (kModes[i] == mode)
            mode_->setCurrentIndex(i);
    }
    session_->setMode(mode);
}

void PracticeWindow::setSpeed(int speed)
{
    const int index = speed_->findData(speed);
    if (index >= 0)
        speed_->setCurrentIndex(index);
    session_->setSpeed(speed);
}

void PracticeWindow::fillBars()
{
    const int bars = session_->barCount();
    for (ChoiceList *list : {fromBar_, toBar_}) {
        list->clear();
        for (int b = 1; b <= bars; ++b)
            list->addItem(QStringLiteral("第%1小节").arg(b));
    }
    fromBar_->setCurrentIndex(0);
    toBar_->setCurrentIndex(bars - 1);
    for (QWidget *w : std::initializer_list<QWidget *>{fromBar_, toBar_, start_, restart_, demo_, mode_, speed_, loop_})
        w->setEnabled(bars > 0);
}

void PracticeWindow::barsChosen()
{
    if (!session_->setBars(fromBar_->currentIndex(), toBar_->currentIndex())) {
        // No note in those bars: the choice goes back.
        fromBar_->setCurrentIndex(session_->firstBar());
        toBar_->setCurrentIndex(session_->lastBar());
        status_->setText(QStringLiteral("选定的小节里没有要弹的音，请另选。"));
    }
}

QString PracticeWindow::hintText() const
{
    return hint_->text();
}

QString PracticeWindow::resultText() const
{
    return result_->text();
}

void PracticeWindow::showState()
{
    const PracticeSession &s = *session_;
    const int note = s.currentNote();
    const int offset = s.offsetOf(note);
    const QString key = PracticeSession::computerKey(offset);
    QString hint;
    switch (s.state()) {
    case PracticeSession::State::Empty:
        hint = s.problem();
        break;
    case PracticeSession::State::CountIn:
        hint = QStringLiteral("预备：%1").arg(s.countInBeat());
        break;
    case PracticeSession::State::Finished:
        hint = s.mode() == Practice::Mode::Tempo ? QStringLiteral("练完了！按“开始”（回车键）再练一遍。")
                                                 : QStringLiteral("练完了！弹第一个音就再练一遍。");
        break;
    case PracticeSession::State::Demo:
        hint = QStringLiteral("示范：请听……");
        break;
    default:
        break;
    }
    if (hint.isEmpty() && note >= 0) {
        const QString degree = PracticeSession::degree(offset);
        hint = key.isEmpty() ? QStringLiteral("请弹：简谱%1（电脑键盘上没有这个键，请点琴键或用MIDI键盘）").arg(degree)
                             : QStringLiteral("请弹：%1 键　简谱%2").arg(key, degree);
    }
    hint_->setText(hint);
    demo_->setText(s.state() == PracticeSession::State::Demo ? QStringLiteral("停止") : QStringLiteral("示范"));

    QString status;
    if (s.state() != PracticeSession::State::Empty) {
        status = QStringLiteral("%1，速度%2%，第%3～%4小节，共%5个音。")
                     .arg(Practice::modeCaption(s.mode()))
                     .arg(s.speed())
                     .arg(s.firstBar() + 1)
                     .arg(s.lastBar() + 1)
                     .arg(s.passageCount());
        if (s.state() == PracticeSession::State::Ready)
            status += s.mode() == Practice::Mode::Tempo ? QStringLiteral("按“开始”（回车键）后先数一小节的拍子。")
                                                        : QStringLiteral("弹出第一个音就开始。");
        if (!s.notice().isEmpty())
            status += s.notice();
    }
    status_->setText(status);
    updateAnimation();
    sheetView_->refresh();
}

void PracticeWindow::showResult()
{
    const Practice::Result r = session_->lastResult();
    QString text;
    if (r.mode == Practice::Mode::Tempo) {
        text = QStringLiteral("本遍结果：音符%1个，命中%2个（其中准确%3个），错音%4个，漏音%5个，准确率%6%。")
                   .arg(r.notes)
                   .arg(r.hits)
                   .arg(r.perfect)
                   .arg(r.extra)
                   .arg(r.missed)
                   .arg(Practice::oneDecimal(r.accuracy));
        if (r.timed)
            text += QStringLiteral("平均偏差%1毫秒（正数为偏晚），偏差标准差%2毫秒。")
                        .arg(Practice::oneDecimal(r.timingMeanMs), Practice::oneDecimal(r.timingSdMs));
    } else {
        text = QStringLiteral("本遍结果：音符%1个，弹对%2个，错音%3个，漏音%4个，准确率%5%。")
                   .arg(r.notes)
                   .arg(r.right)
                   .arg(r.wrong)
                   .arg(r.missed)
                   .arg(Practice::oneDecimal(r.accuracy));
    }
    if (!session_->recordError().isEmpty())
        text += QStringLiteral("\n练习记录没有保存：%1").arg(session_->recordError());
    result_->setText(text);
    plot_->setValues(session_->history());
}

void PracticeWindow::onJudged(int pitch, bool right, int note)
{
    const qint64 now = ctx_.clock.nowNs();
    const int offset = pitch - ctx_.state.KeyBase;
    piano_->flash(offset, right, now);
    // The judgement shows at once, not after whatever else waits to be drawn.
    if (offset >= 0 && offset < PracticePiano::kKeys && piano_->isVisible())
        piano_->repaint(PracticePiano::keyRect(offset).adjusted(-20, 0, 20, 0));
    if (!right)
        sheetView_->flashWrong(note, now);
    updateAnimation();
}

void PracticeWindow::updateAnimation()
{
    const PracticeSession &s = *session_;
    const int offset = s.offsetOf(s.currentNote());
    const bool tempo = s.mode() == Practice::Mode::Tempo && s.running();
    piano_->setTarget(offset, PracticeSession::computerKey(offset), tempo ? s.fill() : 1.0);
    const qint64 now = ctx_.clock.nowNs();
    const bool moving = tempo || piano_->flashing(now) || sheetView_->flashing(now);
    if (moving != frame_.isEnabled())
        frame_.setEnabled(moving);
}

void PracticeWindow::onFrame()
{
    if (session_->state() == PracticeSession::State::CountIn)
        hint_->setText(QStringLiteral("预备：%1").arg(session_->countInBeat()));
    piano_->update();
    sheetView_->update();
    updateAnimation();
}

bool PracticeWindow::handleKey(QKeyEvent *event, bool press)
{
    if (press && event->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const NoteKey *note = plain ? KeyTable::lookup(KeyCodes::fromEvent(event)) : nullptr;
    if (note) {
        // Held down, a key repeats: one note, as long as it is held.
        if (!event->isAutoRepeat()) {
            if (press)
                session_->press(note->offset);
            else
                session_->release(note->offset);
        }
        return true;
    }
    // Enter starts; on a button or the box "循环" it is that control's.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || event->isAutoRepeat())
        return false;
    if (press) {
        if (auto *button = qobject_cast<QAbstractButton *>(QApplication::focusWidget()))
            button->click();
        else
            session_->start();
    }
    return true;
}

bool PracticeWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this && widget->isVisible()) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (type == QEvent::ShortcutOverride) {
                // A playing key is never a shortcut here.
                const NoteKey *note = KeyTable::lookup(KeyCodes::fromEvent(key));
                if (note && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
                    event->accept();
                    return true;
                }
                return false;
            }
            return handleKey(key, type == QEvent::KeyPress);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PracticeWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Every key of this window passes here first, whichever control has the focus.
    if (!filtering_) {
        qApp->installEventFilter(this);
        filtering_ = true;
    }
    if (!focusWidget())
        start_->setFocus(Qt::ActiveWindowFocusReason);
}

void PracticeWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (filtering_) {
        qApp->removeEventFilter(this);
        filtering_ = false;
    }
    session_->stop();
}

void PracticeWindow::closeEvent(QCloseEvent *event)
{
    session_->stop();
    event->accept();
    emit left();
}
