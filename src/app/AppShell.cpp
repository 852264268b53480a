#include "app/AppShell.h"

#include "app/DZQQD.h"
#include "app/Form1.h"
#include "app/Form3.h"
#include "controllers/mainwindow/MainWindowControllers.h"
#include "controllers/PerformanceControllers.h"
#include "platform/audio/BufferMemory.h"
#include "platform/audio/SoundFontMemory.h"
#include "platform/files/DurableSave.h"
#include "platform/midi/MidiInputs.h"
#include "platform/midi/MidiLogBackend.h"
#include "platform/files/RecordFolder.h"
#include "practice/PracticeScore.h"
#include "practice/PracticeWindow.h"
#include "widgets/WindowPlacement.h"
#include "midiport/MidiPort.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {

// Where the program keeps what it learnt about this machine.
QSettings machineSettings()
{
    return QSettings(QStringLiteral("Quorvane"), QStringLiteral("dzq"));
}

QString rememberedFont(const AppOptions &options)
{
    QSettings settings = machineSettings();
    return options.soundFont.isEmpty() ? SoundFontMemory::recall(settings) : QString();
}

AudioEngine::Options engineOptions(const QString &soundFont)
{
    AudioEngine::Options options;
    // A font named on the command line or remembered that fails gives way
    // to the system's.
    options.soundFont = soundFont;
    options.fallBackToFound = true;
    QSettings settings = machineSettings();
    options.firstBufferFrames = BufferMemory::recall(settings);
    return options;
}

}  // namespace

AppShell::AppShell(const AppOptions &options)
    : options_(options),
      startNs_(clock_.nowNs()),
      rememberedFont_(rememberedFont(options)),
      engine_(engineOptions(options.soundFont.isEmpty() ? rememberedFont_ : options.soundFont))
{
}

AppShell::~AppShell()
{
    if (engine_.buffersAreOurs()) {
        QSettings settings = machineSettings();
        BufferMemory::atExit(settings, engine_.bufferFrames(), engine_.secondsAtThisBuffer());
    }
    // No keyboard plays into what goes next.
    inputs_.reset();
    // Windows go before the controllers they show, the controllers before the port.
    welcome_.reset();
    farewell_.reset();
    form1_.reset();
    mainControllers_.reset();
    performance_.reset();
}

bool AppShell::start()
{
    // First: a signal must end even a start that waits on a box.
    connect(&quitSignals_, &QuitSignals::received, this, &AppShell::endBySignal);
    if (!instance_.acquire()) {
        // Also on the terminal: the box may be where nobody sees it.
        std::fprintf(stderr, "dzq: 你已经运行这个应用程序了！（%s）\n",
                     QDir::toNativeSeparators(instance_.path()).toLocal8Bit().constData());
        dialogs_.message(QStringLiteral("你已经运行这个应用程序了！"));
        return false;
    }
    // The sound font loads while the welcome dialog shows.
    followEngine();
    engine_.start();

    openPort();
    makeControllers();
    showWelcome();
    startInputs();
    return true;
}

void AppShell::followEngine()
{
    connect(&engine_, &AudioEngine::notice, this, [this](const QString &text) {
        if (text.endsWith(QStringLiteral("。。。")))
            mainDisplay_.setFJWZ(text);
        else  // after the engine's own signal: the start goes on meanwhile
            QTimer::singleShot(0, this, [this, text] { dialogs_.message(text); });
    });
    connect(&engine_, &AudioEngine::ready, this, [this] {
        QSettings settings = machineSettings();
        SoundFontMemory::started(settings, rememberedFont_,
                                 engine_.hasSoundFont() ? engine_.soundFontPath() : QString());
        listSoundFonts();
        describeSoundFont();
        bufferFrames_ = engine_.bufferFrames();
        describeOutput();
        emit soundReady();
        checkMainWindowReady();
    });
    connect(&engine_, &AudioEngine::outputChanged, this, [this] {
        describeOutput();
        // The buffer as it is now is where the next run starts (the output
        // also changes when only its priority does).
        if (!engine_.buffersAreOurs()) {
            bufferFrames_ = engine_.bufferFrames();
            return;
        }
        QSettings settings = machineSettings();
        const int frames = engine_.bufferFrames();
        if (frames > bufferFrames_)
            BufferMemory::grew(settings, frames);
        else if (frames < bufferFrames_)
            BufferMemory::shrank(settings, frames);
        bufferFrames_ = frames;
    });
    // A font chosen in a device list plays from now on, and at the next start.
    connect(&engine_, &AudioEngine::soundFontChanged, this, [this] {
        QSettings settings = machineSettings();
        SoundFontMemory::chose(settings, engine_.soundFontPath());
        listSoundFonts();
        describeSoundFont();
    });
}

void AppShell::openPort()
{
    MidiBackend *backend = &midi_;
    if (!options_.midiLogPath.isEmpty()) {
        log_ = std::make_unique<MidiLogBackend>(midi_, options_.midiLogPath, clock_, startNs_);
        if (log_->isLogging())
            backend = log_.get();
        else
            dialogs_.message(QStringLiteral("无法写入MIDI记录文件“%1”：%2")
                                 .arg(options_.midiLogPath, log_->errorString()));
    }
    port_ = std::make_unique<MidiPort>(*backend, dialogs_, clock_);
}

void AppShell::makeControllers()
{
    const QString recordFolder = RecordFolder::locateForProgram();
    // The recorder keeps its takes beside the record folder until saved;
    // what a run that did not end normally left there is kept as a file.
    const QString takeFolder = QDir(recordFolder).filePath(QStringLiteral(".recorder-temp"));
    recoverTakes(takeFolder, recordFolder);
    media_ = std::make_unique<EngineMediaDevice>(engine_, takeFolder);
    // Temporary copies left by a save that a kill interrupted are useless.
    DurableSave::removeLeftovers(recordFolder);
    session_ = std::make_unique<Session>(Session{state_, *port_, *media_, dialogs_, clock_, recordFolder});
    performance_ = std::make_unique<PerformanceControllers>(*session_, mainDisplay_);
    mainControllers_ = std::make_unique<MainWindowControllers>(*session_, mainDisplay_, *performance_);
    // The editor sets the wave output to 0x7000 each time it opens.
    mainControllers_->editor.setWaveVolume = [this](quint32 volume) { engine_.setWaveVolume(volume); };
    mainControllers_->devices.setSoundFontChoice(&fontChoice_, &dialogs_);
    mainControllers_->editor.devices.setSoundFontChoice(&fontChoice_, &dialogs_);
    mainDisplay_.setFJWZ(QStringLiteral("欢迎使用Quorvane电子琴。。。"));
    mainControllers_->recorder.noteRecovered(recoveredTakes_);
    // A take that the record folder cannot hold at exit goes to the user's
    // documents, else to the program's data folder.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty())
        mainControllers_->takeFallbackFolders << QDir(documents).filePath(QString::fromUtf8(RecordFolder::kName));
    mainControllers_->takeFallbackFolders << QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    inputs_ = std::make_unique<MidiInputs>(inputPorts_);
    inputs_->setChoice(MidiInputChoice::parse(options_.midiIn));
    mainControllers_->attachInputs(*inputs_);
}

void AppShell::showWelcome()
{
    form1_ = std::make_unique<Form1>(*mainControllers_);
    // The wave output at 0x6000 on both sides, as the main window loads.
    engine_.setWaveVolume(0x60006000u);
    connect(form1_.get(), &Form1::closed, this, &AppShell::showFarewell, Qt::QueuedConnection);

    welcome_ = std::make_unique<DZQQD>(clock_);
    connect(welcome_.get(), &DZQQD::handedOver, this, &AppShell::showMainWindow);
    welcome_->installEventFilter(this);
    form1_->installEventFilter(this);
    WindowPlacement::centreOn(welcome_.get(), WindowPlacement::availableAt(QCursor::pos()));
    welcome_->show();
}

void AppShell::startInputs()
{
    // Each keyboard connected is named on the terminal and in the MIDI log.
    connect(inputs_.get(), &MidiInputs::connected, this, [this](int, const QString &name) {
        const QString text = QStringLiteral("已连接MIDI键盘：%1").arg(name);
        std::fprintf(stderr, "dzq: %s\n", text.toLocal8Bit().constData());
        if (log_)
            log_->writeComment(text);
    });
    // After the welcome dialog's first paint: a JACK server takes a moment to answer.
    QTimer::singleShot(0, inputs_.get(), &MidiInputs::start);
}

void AppShell::listSoundFonts()
{
    // The font marked as playing changes in both lists; a WAV export
    // sounds like what plays.
    if (!mainControllers_)
        return;
    mainControllers_->devices.refreshFonts();
    mainControllers_->editor.devices.refreshFonts();
    mainControllers_->exporter.options.soundFont = engine_.hasSoundFont() ? engine_.soundFontPath() : QString();
}

void AppShell::recoverTakes(const QString &takeFolder, const QString &recordFolder)
{
    recoveredTakes_ = EngineMediaDevice::recoverLeftovers(takeFolder, recordFolder);
    for (const QString &name : recoveredTakes_) {
        const QString path = QDir::toNativeSeparators(QDir(recordFolder).filePath(name));
        std::fprintf(stderr, "dzq: 上次程序没有正常结束，录音已找回：%s\n", path.toLocal8Bit().constData());
    }
}

// SIGTERM, SIGHUP, SIGINT: the program ends as by "退出", the take kept,
// without the farewell (nobody may be there to see it).
void AppShell::endBySignal(int number)
{
    if (endingBySignal_)
        return;
    endingBySignal_ = true;
    std::fprintf(stderr, "dzq: 收到信号 %d，正常退出\n", number);
    if (mainControllers_)
        mainControllers_->quietExit = true;
    if (form1_)
        form1_->close();
    // exit(), not quit(): windows are not asked to close (the editor would
    // bring the main window back), every event loop simply ends.
    QCoreApplication::exit(0);
}

void AppShell::describeOutput()
{
    // One diagnostics line on the terminal, and in the MIDI log.
    const QString text = engine_.outputDescription();
    std::fprintf(stderr, "dzq: %s\n", text.toLocal8Bit().constData());
    if (log_)
        log_->writeComment(text);
}

void AppShell::describeSoundFont()
{
    const QString text = QStringLiteral("音色库：%1")
                             .arg(engine_.hasSoundFont() ? QDir::toNativeSeparators(engine_.soundFontPath())
                                                         : QStringLiteral("无"));
    std::fprintf(stderr, "dzq: %s\n", text.toLocal8Bit().constData());
    if (log_)
        log_->writeComment(text);
}

void AppShell::showMainWindow()
{
    if (!form1_->isVisible() && welcome_)
        form1_->placeAtStart(WindowPlacement::availableAt(welcome_->frameGeometry().center(), welcome_.get()),
                             welcome_.get());
    form1_->show();
    form1_->raise();
    form1_->activateWindow();
    // Without a window manager the window may never be told it is active;
    // the first activation's work must happen all the same.
    QTimer::singleShot(0, form1_.get(), [this] {
        if (!form1_->MainInitialised())
            form1_->activate();
        checkMainWindowReady();
    });
}

bool AppShell::eventFilter(QObject *watched, QEvent *event)
{
    // A window's first paint: announced once the whole window has been
    // painted, that is after the paint events of this repaint.
    if (event->type() == QEvent::Paint) {
        if (watched == welcome_.get() && !welcomePainted_) {
            welcomePainted_ = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, &AppShell::welcomeShown);
        } else if (watched == form1_.get() && !mainPainted_) {
            mainPainted_ = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, &AppShell::checkMainWindowReady);
        }
    }
    return QObject::eventFilter(watched, event);
}

void AppShell::checkMainWindowReady()
{
    if (mainReadyAnnounced_ || !mainPainted_ || !engine_.isReady() || !form1_ || !form1_->MainInitialised())
        return;
    mainReadyAnnounced_ = true;
    emit mainWindowReady();
    // A score named on the command line opens as through "打开".
    if (!options_.scorePath.isEmpty())
        performance_->scoreFiles.openPath(options_.scorePath);
    if (!options_.practicePath.isEmpty())
        openPractice();
}

void AppShell::openPractice()
{
    // The file comes into the score box as "打开" brings it (a song moves
    // the key list to its key), without playing it.
    const Practice::ScoreFile file = Practice::readScoreFile(options_.practicePath);
    if (!file.ok) {
        std::fprintf(stderr, "dzq: %s\n", file.error.toLocal8Bit().constData());
        dialogs_.message(file.error);
        return;
    }
    state_.ScoreText = file.text;
    mainDisplay_.setText3(file.text);
    mainDisplay_.LastFilePath = options_.practicePath;
    mainDisplay_.markText3Kept();
    if (file.keyPosition >= 0)
        performance_->voices.selectKey(file.keyPosition);
    PracticeWindow *window = form1_->openPractice();
    Practice::Mode mode = Practice::Mode::Wait;
    Practice::modeFromName(options_.practiceMode, &mode);
    window->setMode(mode);
    window->setSpeed(options_.practiceSpeed);
}

void AppShell::showFarewell()
{
    if (endingBySignal_)
        return;
    farewell_ = std::make_unique<Form3>(clock_);
    WindowPlacement::centreOn(farewell_.get(), form1_->frameGeometry());
    connect(farewell_.get(), &Form3::finished, qApp, &QApplication::quit);
    farewell_->show();
}
