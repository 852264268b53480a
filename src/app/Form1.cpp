#include "app/Form1.h"

#include "app/DisplayPanel.h"
#include "app/HelpPanel.h"
#include "app/MidiInputButton.h"
#include "controllers/mainwindow/MainWindowControllers.h"
#include "controllers/PerformanceControllers.h"
#include "chords/ChordPanel.h"
#include "jianpu/NotationWindow.h"
#include "performance/Form2.h"
#include "performance/HardwareTargets.h"
#include "performance/KeyboardButton.h"
#include "performance/LayoutPicture.h"
#include "performance/MelodyPanel.h"
#include "performance/PianoKeys.h"
#include "practice/PracticeSession.h"
#include "practice/PracticeWindow.h"
#include "platform/dialogs/UserDialogs.h"
#include "widgets/WindowPlacement.h"
#include "rhythm/RhythmPanel.h"
#include "core/WindowDisplay.h"
#include "editor/YYBJ.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "recorder/RecorderView.h"
#include "score/ScoreBox.h"
#include "score/ScoreTextEdit.h"
#include "songs/SongPartDialog.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

const int kPanelLeft = 590;
const int kPanelTop = 32;

QPushButton *commandButton(QWidget *parent, const char *name, const QString &caption, int left,
                           const QString &tip = QString())
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 178, 45, 25);
    b->setToolTip(tip);
    return b;
}

}  // namespace

Form1::Form1(MainWindowControllers &controllers, QWidget *parent)
    : QWidget(parent), c_(controllers), p_(controllers.performance)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(caption());
    setFixedSize(988, 337);

    buildClockLine();
    buildScoreButtons();
    buildPanels();
    buildTabs();
    buildCommandButtons();
    new RecorderView(c_.recorder, BcLY, this);
    buildKeyboard();
    followKeyboards();

    // A song of several parts: the user picks the melody from a list.
    c_.songOpening.setChooser(
        [this](const SongOpening::PartChoice &choice) { return SongPartDialog::choose(choice, this); });
    connect(&c_, &MainWindowControllers::choiceMade, this, &Form1::YXYZ);
    mainInitialised_ = false;
}

void Form1::buildClockLine()
{
    Label8 = new QLabel(c_.statusClock.Label8(), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setGeometry(18, 8, 368, 17);
    SjXs = new QLabel(c_.statusClock.SjXs(), this);
    SjXs->setObjectName(QStringLiteral("SjXs"));
    // Narrowed from 161 to make room for the export button beside the score buttons.
    SjXs->setGeometry(10, 182, 119, 17);
    connect(&c_.statusClock, &StatusClock::changed, this, [this] {
        Label8->setText(c_.statusClock.Label8());
        SjXs->setText(c_.statusClock.SjXs());
    });
}

void Form1::buildScoreButtons()
{
    scoreBox_ = new ScoreBox(c_.display, this);
    scoreBox_->bind(p_.player, p_.scoreFiles);
    // While the user types in the score box a MIDI keyboard's notes leave it alone.
    c_.mainNotes.setScoreBeingEdited([box = QPointer<QWidget>(scoreBox_->Text3())] {
        return box && box->isVisible() && box->window()->focusWidget() == box;
    });
    // DcMidi: export the score box as a MIDI file
    DcMidi = new QPushButton(ScoreExporter::caption(), this);
    DcMidi->setObjectName(QStringLiteral("DcMidi"));
    DcMidi->setToolTip(ScoreExporter::toolTip());
    DcMidi->setGeometry(130, 180, 39, 25);
    // Tab reaches these buttons; a click leaves the keyboard playing.
    DcMidi->setFocusPolicy(Qt::TabFocus);
    DcMidi->setAccessibleName(QStringLiteral("导出乐谱"));
    connect(DcMidi, &QPushButton::clicked, this, [this] { c_.exporter.DcMidiClicked(); });
    JianPu = new QPushButton(QStringLiteral("简谱"), this);
    JianPu->setObjectName(QStringLiteral("JianPu"));
    JianPu->setToolTip(QStringLiteral("用简谱显示乐谱编辑窗口中的乐谱，可以打印或保存为图片！"));
    // 简谱 stands beside 导出; the score buttons close up to make room
    // before the keyboard picture, in their order.
    JianPu->setGeometry(170, 180, 38, 25);
    for (int i = 0; i < 5; ++i) {
        if (QPushButton *b = scoreBox_->Yuepu(i))
            b->setGeometry(209 + 39 * ((b->x() - 170) / 46), b->y(), 38, b->height());
    }
    JianPu->setFocusPolicy(Qt::TabFocus);
    connect(JianPu, &QPushButton::clicked, this, &Form1::notationClicked);
    new DisplayPanel(c_.display, this);
}

void Form1::buildPanels()
{
    auto *chordPanel = new ChordPanel(p_.chords, this);
    connect(chordPanel, &ChordPanel::backgroundClicked, &c_.navigation, &Navigation::panelClicked);
    panels_[Navigation::kChord] = chordPanel;
    rhythmPanel_ = new RhythmPanel(p_.pattern, p_.sequencer, p_.rhythmFiles, this);
    connect(rhythmPanel_, &RhythmPanel::backgroundClicked, &c_.navigation, &Navigation::panelClicked);
    panels_[Navigation::kRhythm] = rhythmPanel_;
    auto *melodyPanel = new MelodyPanel(p_.voices, c_.devices, this);
    connect(melodyPanel, &MelodyPanel::choiceMade, this, &Form1::YXYZ);
    connect(melodyPanel, &MelodyPanel::webPageRequested, this, &Form1::openWebPage);
    panels_[Navigation::kMelody] = melodyPanel;
    panels_[Navigation::kHelp] = new HelpPanel(c_.navigation, this);
    for (QWidget *panel : panels_) {
        if (panel)
            panel->setGeometry(kPanelLeft, kPanelTop, 391, 146);
    }
}

void Form1::buildKeyboard()
{
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    divider->setGeometry(0, 205, 988, 2);
    new LayoutPicture(p_.keys, this);
    new PianoKeys(p_.keys, this);
    // The picture's caption lies in the mute pad's strip, between its two
    // captions: drawn above it, but the mouse still reaches the pad.
    if (auto *label3 = findChild<QLabel *>(QStringLiteral("Label3"), Qt::FindDirectChildrenOnly)) {
        label3->setAttribute(Qt::WA_TransparentForMouseEvents);
        label3->raise();
    }
}

void Form1::followKeyboards()
{
    if (c_.midiInputs) {
        // In the tab strip's gap, beside the device list's panel.
        auto *midiIn = new MidiInputButton(*c_.midiInputs, this);
        midiIn->setGeometry(826, 9, 74, 23);
        connect(midiIn, &MidiInputButton::choiceMade, this, &Form1::YXYZ);
    }
    // The mini window's duration tick stops when the main window writes, as
    // with the computer keys (eventFilter).
    connect(&c_.hardware, &HardwareKeyboard::noteWritten, this, [this] {
        if (form2_ && !p_.keyboard.isAway())
            form2_->keyboard().timer1().setEnabled(false);
    });
}

void Form1::buildTabs()
{
    auto *group = new QButtonGroup(this);
    const int lefts[] = {590, 668, 746, 0, 903};
    for (int i : {Navigation::kMelody, Navigation::kChord, Navigation::kRhythm, Navigation::kHelp}) {
        auto *tab = new QRadioButton(Navigation::tabCaption(i), this);
        tab->setObjectName(QStringLiteral("Xxk(%1)").arg(i));
        tab->setGeometry(lefts[i], 8, 78, 25);
        tab->setFocusPolicy(Qt::TabFocus);
        tab->setAccessibleName(Navigation::tabCaption(i).remove(QLatin1Char(' ')));
        group->addButton(tab, i);
        Xxk[i] = tab;
    }
    Xxk[Navigation::kMelody]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, &c_.navigation, &Navigation::selectTab);
    auto showPanel = [this](int tab) {
        for (int i = 0; i < 5; ++i) {
            if (panels_[i])
                panels_[i]->setVisible(i == tab);
        }
        if (Xxk[tab])
            Xxk[tab]->setChecked(true);
    };
    connect(&c_.navigation, &Navigation::tabChanged, this, showPanel);
    showPanel(c_.navigation.currentTab());
}

void Form1::buildCommandButtons()
{
    BcLY = commandButton(this, "BcLY", QStringLiteral("保存"), 752);
    MiNi = commandButton(this, "MiNi", QStringLiteral("迷你"), 798,
                         QStringLiteral("占用最小的桌面面积以便打开各种格式的乐谱实现一边看乐谱一边演奏！"));
    connect(MiNi, &QPushButton::clicked, this, &Form1::miniClicked);
    BJCK = commandButton(this, "BJCK", QStringLiteral("编辑"), 844,
                         QStringLiteral("使用音乐编辑窗口进行音乐编辑！"));
    connect(BJCK, &QPushButton::clicked, this, &Form1::editorClicked);
    SFYXYZ = new KeyboardButton(p_.keyboard, this);
    SFYXYZ->setGeometry(890, 178, 45, 25);
    SFYXYZ->installEventFilter(this);
    Command1 = commandButton(this, "Command1", QStringLiteral("退出"), 936, QStringLiteral("退出程序！"));
    connect(Command1, &QPushButton::clicked, this, &Form1::quitClicked);
    BcLY->setAccessibleName(QStringLiteral("保存录音"));
    MiNi->setAccessibleName(QStringLiteral("迷你窗口"));
    BJCK->setAccessibleName(QStringLiteral("音乐编辑"));
    SFYXYZ->setAccessibleName(QStringLiteral("键盘演奏"));
    Command1->setAccessibleName(QStringLiteral("退出程序"));
}

Form1::~Form1()
{
    delete form2_;
    delete yybj_;
    delete practice_;
}

YYBJ *Form1::editorWindow() const
{
    return yybj_;
}

void Form1::editorClicked()
{
    if (!yybj_) {
        // Leaving the editor unloads it; the next opening builds it anew.
        yybj_ = new YYBJ(c_.editor);
        yybj_->setAttribute(Qt::WA_DeleteOnClose);
        // Its design's left edge, level with this window, inside the screen.
        const int left = WindowPlacement::availableAt(frameGeometry().center(), this).left()
                         + YYBJ::windowLeft(c_.editor.controls.timeSignature());
        WindowPlacement::place(yybj_, QPoint(left, frameGeometry().top()), this);
        connect(yybj_, &YYBJ::left, this, &Form1::backFromEditor);
    }
    stepAside();
    c_.hardware.setTarget(&c_.editorNotes);
    yybj_->show();
    yybj_->raise();
    yybj_->activateWindow();
    // Without a window manager the window may never be told it is active.
    yybj_->activate();
}

void Form1::backFromEditor()
{
    p_.restoreSound();
    comeBack();
}

Form2 *Form1::miniWindow() const
{
    return form2_;
}

void Form1::miniClicked()
{
    if (!form2_) {
        // Closing the mini window hands back and destroys it.
        form2_ = new Form2(c_.session, c_.display);
        form2_->setAttribute(Qt::WA_DeleteOnClose);
        connect(form2_, &Form2::returning, this, &Form1::backFromMini);
        miniNotes_ = new MiniWindowNotes(c_.session.state, form2_->keyboard(), form2_);
        form2_->keyboard().keepReplacedScore = [this](const QString &replaced) {
            c_.display.setXSWB(p_.scoreFiles.keepUnsaved(replaced));
        };
        // It first shows where this window stands.
        WindowPlacement::place(form2_, frameGeometry().topLeft(), this);
    }
    // The main keyboard's note ends and its duration tick stops: both
    // windows count the one shared DurationCount.
    stepAside();
    c_.hardware.setTarget(miniNotes_);
    form2_->show();
    form2_->activateWindow();
}

NotationWindow *Form1::notationWindow() const
{
    return notation_;
}

void Form1::notationClicked()
{
    if (!notation_) {
        notation_ = new NotationWindow(c_.session, c_.display, p_.voices, p_.pattern, p_.rhythmFiles, p_.player, this);
        notation_->setKeyTarget(SFYXYZ);
        connect(notation_, &NotationWindow::practiceRequested, this, &Form1::openPractice);
        // Shown below the main window without taking the keyboard from it.
        notation_->setAttribute(Qt::WA_ShowWithoutActivating);
        WindowPlacement::placeBelow(notation_, this, 8);
    }
    notation_->show();
    notation_->raise();
    YXYZ();
}

PracticeWindow *Form1::practiceWindow() const
{
    return practice_;
}

PracticeWindow *Form1::openPractice()
{
    if (practice_ && practice_->isVisible()) {
        practice_->raise();
        practice_->activateWindow();
        return practice_;
    }
    // The score plays for the learner now, not under it.
    if (p_.player.ScorePlaying())
        p_.player.playClicked();
    if (!practice_) {
        // Left, it goes; the next practice reads the score box anew.
        practice_ = new PracticeWindow(c_.session, c_.display, p_.voices, p_.pattern);
        practice_->setAttribute(Qt::WA_DeleteOnClose);
        WindowPlacement::place(practice_, frameGeometry().topLeft(), this);
        connect(practice_, &PracticeWindow::left, this, &Form1::backFromPractice);
    }
    // The main keyboard's note ends; the MIDI keyboard plays for the practice.
    stepAside();
    c_.hardware.setTarget(&practice_->session().midiTarget());
    practice_->show();
    practice_->raise();
    practice_->activateWindow();
    return practice_;
}

void Form1::backFromPractice()
{
    comeBack();
}

void Form1::backFromMini()
{
    p_.scoreHandedBack();
    comeBack();
}

void Form1::placeAtStart(const QRect &area, const QWidget *like)
{
    WindowPlacement::centreOn(this, area, like);
}

void Form1::stepAside()
{
    p_.keyboard.setAway(true);
    frame_ = frameGeometry();
    companions_.clear();
    for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w->isWindow() && w->isVisible()) {
            companions_.append({w, w->frameGeometry()});
            w->hide();
        }
    }
    hide();
}

void Form1::comeBack()
{
    p_.keyboard.setAway(false);
    c_.hardware.setTarget(&c_.mainNotes);
    WindowPlacement::restore(this, frame_);
    show();
    for (const Companion &c : std::as_const(companions_)) {
        if (!c.window)
            continue;
        WindowPlacement::restore(c.window, c.frame);
        c.window->show();
    }
    companions_.clear();
    activateWindow();
}

bool Form1::eventFilter(QObject *watched, QEvent *e)
{
    // The mini window's duration tick runs on after "返回" to end its last
    // note; once the main keyboard plays it would count into this score.
    if (watched == SFYXYZ && e->type() == QEvent::KeyPress && form2_ && !p_.keyboard.isAway()
        && !static_cast<QKeyEvent *>(e)->isAutoRepeat())
        form2_->keyboard().stopDurationTick();
    return QWidget::eventFilter(watched, e);
}

void Form1::openWebPage()
{
    if (!c_.session.dialogs.openUrl(musicPageUrl()))
        c_.session.dialogs.message(QStringLiteral("打开网页出错，请检查网络连接！"));
}

void Form1::YXYZ()
{
    SFYXYZ->setEnabled(true);
    BJCK->setEnabled(true);
    MiNi->setEnabled(true);
    SFYXYZ->setFocus(Qt::OtherFocusReason);
}

bool Form1::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        activate();
    return QWidget::event(e);
}

void Form1::activate()
{
    if (closing_)
        return;
    if (!mainInitialised_)
        QDCSH();
    SFYXYZ->setEnabled(true);
    MiNi->setEnabled(true);
    SFYXYZ->setFocus(Qt::ActiveWindowFocusReason);
    mainInitialised_ = true;
    c_.statusClock.start();
}

void Form1::QDCSH()
{
    ++qdcshRuns_;
    rhythmPanel_->createCells();
    c_.initialise();
}

void Form1::quitClicked()
{
    c_.quit();
    close();
}

void Form1::closeEvent(QCloseEvent *e)
{
    if (closing_) {
        e->accept();
        return;
    }
    closing_ = true;
    if (notation_)
        notation_->close();
    if (practice_) {
        // Its sounds end before the device closes; it does not hand back.
        disconnect(practice_, nullptr, this, nullptr);
        practice_->close();
    }
    c_.shutDown();
    e->accept();
    emit closed();
}
