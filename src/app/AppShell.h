#pragma once

#include "core/Session.h"
#include "core/Clock.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "app/EngineFontChoice.h"
#include "platform/audio/AudioEngine.h"
#include "platform/media/EngineMediaDevice.h"
#include "platform/dialogs/QtUserDialogs.h"
#include "platform/process/QuitSignals.h"
#include "platform/files/SingleInstance.h"
#include "platform/midi/RtMidiInputs.h"
#include "platform/midi/SystemMidiBackend.h"

#include <QObject>
#include <QString>

#include <memory>

class DZQQD;
class Form1;
class Form3;
class MainWindowControllers;
class PerformanceControllers;
class MidiInputs;
class MidiLogBackend;
class MidiPort;

struct AppOptions {
    QString midiLogPath;  // --midi-log FILE: every short message sent, one line each
    QString scorePath;    // a score file opened and played once the main window is ready
    // --practice: a score file or MIDI song practised once the main window is
    // ready, in this mode ("wait", "step", "tempo") and at this speed (percent).
    QString practicePath;
    QString practiceMode = QStringLiteral("wait");
    int practiceSpeed = 100;
    QString midiIn = QStringLiteral("all");  // --midi-in: the MIDI keyboards that play
    // --soundfont: the synthesizer's font for this run (not remembered);
    // empty: the one last chosen in the window, else the system's.
    QString soundFont;
};

// One run of the program: owns the sound engine, the MIDI port, the shared
// state, the controllers and the windows, and leads from the welcome dialog
// through the main window to the farewell window.
class AppShell : public QObject {
    Q_OBJECT
public:
    explicit AppShell(const AppOptions &options);
    ~AppShell() override;

    // Starts the run; false when another copy is running (already told).
    bool start();

signals:
    // Start-up milestones, each announced once (the start-up benchmark
    // times them): the welcome dialog has been painted for the first time;
    // the sound engine is ready (font loaded, output open); the main window
    // is painted, initialised and the engine is ready, so a key sounds.
    void welcomeShown();
    void soundReady();
    void mainWindowReady();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The pieces of start(), in order.
    void followEngine();     // the engine's notices, readiness and changes
    void openPort();         // the MIDI port, through the log when asked for
    void makeControllers();  // record folder, takes, session, controller groups, keyboards
    void showWelcome();      // the main window made, the welcome dialog shown

    void showMainWindow();
    void describeOutput();
    void describeSoundFont();
    void showFarewell();
    void checkMainWindowReady();
    void recoverTakes(const QString &takeFolder, const QString &recordFolder);
    void endBySignal(int number);
    void startInputs();
    void listSoundFonts();
    void openPractice();

    AppOptions options_;
    SteadyClock clock_;
    const qint64 startNs_;
    QtUserDialogs dialogs_;
    SingleInstance instance_;
    QString rememberedFont_;  // the font this run starts with, as remembered
    AudioEngine engine_;
    EngineFontChoice fontChoice_{engine_};
    int bufferFrames_ = 0;  // the device buffer last described
    SystemMidiBackend midi_{engine_};
    std::unique_ptr<MidiLogBackend> log_;
    std::unique_ptr<MidiPort> port_;
    SharedState state_;
    std::unique_ptr<EngineMediaDevice> media_;
    WindowDisplay mainDisplay_;  // what the main window shows
    std::unique_ptr<Session> session_;
    std::unique_ptr<PerformanceControllers> performance_;
    std::unique_ptr<MainWindowControllers> mainControllers_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<DZQQD> welcome_;
    std::unique_ptr<Form3> farewell_;
    RtMidiInputs inputPorts_;
    std::unique_ptr<MidiInputs> inputs_;
    QuitSignals quitSignals_;
    QStringList recoveredTakes_;
    bool endingBySignal_ = false;
    bool welcomePainted_ = false;
    bool mainPainted_ = false;
    bool mainReadyAnnounced_ = false;
};
