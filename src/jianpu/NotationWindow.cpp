#include "jianpu/NotationWindow.h"

#include "core/Session.h"
#include "core/WindowDisplay.h"
#include "jianpu/NotationExport.h"
#include "jianpu/NotationView.h"
#include "performance/MelodyVoices.h"
#include "performance/TempoList.h"
#include "platform/dialogs/UserDialogs.h"
#include "rhythm/RhythmFiles.h"
#include "rhythm/RhythmPattern.h"
#include "score/ScoreLanguage.h"
#include "score/ScorePlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

NotationWindow::NotationWindow(Session &ctx, WindowDisplay &display, MelodyVoices &voices, RhythmPattern &pattern,
                               RhythmFiles &rhythmFiles, ScorePlayer &player, QWidget *parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), display_(display), voices_(voices), pattern_(pattern),
      rhythmFiles_(rhythmFiles), player_(player)
{
    setObjectName(QStringLiteral("NotationWindow"));
    setWindowTitle(QStringLiteral("简谱"));
    resize(988, 400);
    setMinimumSize(320, 200);

    view_ = new NotationView;
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("JpGd"));
    scroll_->setWidget(view_);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFocusPolicy(Qt::NoFocus);

    JpZt = new QLabel(this);
    JpZt->setObjectName(QStringLiteral("JpZt"));
    DaYin = new QPushButton(QStringLiteral("打印"), this);
    DaYin->setObjectName(QStringLiteral("DaYin"));
    DaYin->setToolTip(QStringLiteral("打印简谱"));
    BcTp = new QPushButton(QStringLiteral("保存图片"), this);
    BcTp->setObjectName(QStringLiteral("BcTp"));
    BcTp->setToolTip(QStringLiteral("把简谱保存为PDF文件、SVG图片或PNG图片"));
    GtLx = new QPushButton(QStringLiteral("跟弹练习"), this);
    GtLx->setObjectName(QStringLiteral("GtLx"));
    GtLx->setToolTip(QStringLiteral("照着这份简谱练习弹奏：乐谱等你弹对、标出要按的键，并给弹奏打分"));
    // Tab reaches the buttons; a click leaves the keys going to the keyboard.
    for (QPushButton *b : {DaYin, BcTp, GtLx})
        b->setFocusPolicy(Qt::TabFocus);
    DaYin->setAccessibleName(QStringLiteral("打印简谱"));
    BcTp->setAccessibleName(QStringLiteral("保存简谱图片"));
    GtLx->setAccessibleName(QStringLiteral("跟弹练习"));
    view_->setAccessibleName(QStringLiteral("简谱"));
    // The notation takes the focus when the window is activated: keys it
    // does not use go on to the keyboard, Space and Enter included.
    view_->setFocusPolicy(Qt::TabFocus);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(JpZt, 1);
    buttons->addWidget(DaYin);
    buttons->addWidget(BcTp);
    buttons->addWidget(GtLx);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(scroll_, 1);
    layout->addLayout(buttons);

    connect(DaYin, &QPushButton::clicked, this, &NotationWindow::printClicked);
    connect(BcTp, &QPushButton::clicked, this, &NotationWindow::saveClicked);
    connect(GtLx, &QPushButton::clicked, this, &NotationWindow::practiceRequested);
    connect(view_, &NotationView::sheetChanged, this, &NotationWindow::showSummary);
    connect(view_, &NotationView::revealRequested, this, [this](const QRect &r) {
        scroll_->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + 20, r.height() / 2 + 10);
    });

    connect(&display, &WindowDisplay::text3Changed, this, &NotationWindow::scoreChanged);
    connect(&display, &WindowDisplay::text3SelectionRequested, this, [this](int start, int) {
        if (player_.ScorePlaying())
            view_->showPlayingAt(start);
    });
    // The caption changes before playing is marked as ended: look afterwards.
    connect(&player, &ScorePlayer::playCaptionChanged, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (!player_.ScorePlaying())
                view_->clearPlaying();
        });
    });
    connect(&voices, &MelodyVoices::keyPositionChanged, this, &NotationWindow::updateOptions);
    connect(&voices, &MelodyVoices::tempoPositionChanged, this, &NotationWindow::updateOptions);
    connect(&pattern, &RhythmPattern::timeSignatureChanged, this, &NotationWindow::updateOptions);

    scoreChanged(display.Text3());
}

QString NotationWindow::saveFilter()
{
    return QStringLiteral("PDF文件|*.pdf|SVG图片|*.svg|PNG图片|*.png");
}

void NotationWindow::scoreChanged(const QString &text)
{
    // The header names the score file opened or saved last, until the
    // score box is emptied for a new performance.
    const QString path = display_.LastFilePath;
    QString title;
    if (text.isEmpty())
        dismissedPath_ = path;
    else if (path != dismissedPath_ && QFileInfo(path).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
        title = QFileInfo(path).completeBaseName();
    if (title != title_ || !optionsSet_) {
        title_ = title;
        setWindowTitle(title.isEmpty() ? QStringLiteral("简谱") : QStringLiteral("简谱 - %1").arg(title));
        updateOptions();
    }
    view_->setScore(text);
}

void NotationWindow::updateOptions()
{
    Notation::Options options;
    options.beatsPerBar = Notation::beatsForTimeSignature(pattern_.TimeSignature());
    const int tempo = voices_.tempoPosition();
    options.tempo = TempoList::tempoAt(tempo >= 0 ? tempo : TempoList::kStartPosition);
    RhythmFiles *files = &rhythmFiles_;
    options.rhythmFileName = [files](int n) { return QFileInfo(files->File1().value(ScoreLanguage::rhythmFileEntry(n))).completeBaseName(); };
    NotationPicture::Header header;
    header.title = title_;
    header.key = Notation::keyText(qMax(0, voices_.keyPosition()));
    view_->setOptions(options, header);
    optionsSet_ = true;
}

void NotationWindow::showSummary()
{
    const Notation::Sheet &sheet = view_->picture().sheet();
    QString text = QStringLiteral("%1/4拍（随节奏面板的拍子），%2小节").arg(sheet.beatsPerBar).arg(sheet.bars.size());
    if (sheet.errorCount > 0)
        text += QStringLiteral("。乐谱中有%1处错误，已用红色标出，鼠标指向可看说明。").arg(sheet.errorCount);
    JpZt->setText(text);
}

void NotationWindow::printClicked()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title_.isEmpty() ? QStringLiteral("简谱") : title_);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("打印简谱"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    NotationPicture pages = view_->picture();  // laid out for the paper, not the window
    NotationExport::paintPages(printer, pages);
}

void NotationWindow::saveClicked()
{
    QString path = ctx_.dialogs.saveFile(saveFilter(), ctx_.recordFolder, true);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    if (NotationExport::kindOf(path) == NotationExport::Kind::Unknown) {
        ctx_.dialogs.message(NotationExport::unsupportedMessage(path));
        return;
    }
    // A long score takes a while: drawn on a thread of its own, from a
    // picture of its own, behind a progress box, so the windows keep drawing.
    const Notation::Sheet sheet = view_->picture().sheet();
    const NotationPicture::Header header = view_->picture().header();
    NotationExport::Result result;
    ctx_.dialogs.runWithProgress(savingLabel(QFileInfo(path).fileName()), [&](const ProgressReport &report) {
        NotationPicture picture;
        picture.setSheet(sheet, header);
        result = NotationExport::write(path, picture, report);
    });
    if (result.cancelled) {
        JpZt->setText(QStringLiteral("已取消，简谱没有保存。"));
        return;
    }
    if (!result.written) {
        ctx_.dialogs.message(result.error);
        return;
    }
    const QString files = NotationExport::filesText(result.files);
    QString text = result.files.size() == 1
                       ? QStringLiteral("简谱已保存到%1。").arg(files)
                       : QStringLiteral("简谱共%1页，已保存到%2。").arg(result.files.size()).arg(files);
    if (!result.removed.isEmpty())
        text += QStringLiteral("上次导出留下的%1张同名图片已删除。").arg(result.removed.size());
    JpZt->setText(text);
    if (!result.notice.isEmpty())
        ctx_.dialogs.message(result.notice);
}

void NotationWindow::keyPressEvent(QKeyEvent *event)
{
    // Esc leaves a button for the notation, where the keys play again.
    if (event->key() == Qt::Key_Escape && focusWidget() && focusWidget() != view_) {
        view_->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Ctrl+Tab walks this window's controls, not the main window's.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        focusNextPrevChild(!(event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier)));
        return;
    }
    if (!forwardKey(event))
        QWidget::keyPressEvent(event);
}

void NotationWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (!forwardKey(event))
        QWidget::keyReleaseEvent(event);
}

bool NotationWindow::forwardKey(QKeyEvent *event)
{
    if (!keyTarget_)
        return false;
    std::unique_ptr<QKeyEvent> copy(event->clone());
    QCoreApplication::sendEvent(keyTarget_, copy.get());
    return true;
}
