#pragma once

#include "controllers/mainwindow/Navigation.h"
#include "controllers/mainwindow/ScoreExporter.h"
#include "controllers/mainwindow/StatusClock.h"
#include "editor/EditorControllers.h"
#include "editor/model/EditorModel.h"
#include "recorder/RecorderDisplay.h"
#include "recorder/WaveRecorder.h"
#include "songs/SongOpening.h"
#include "midiport/MidiDeviceList.h"
#include "performance/HardwareKeyboard.h"
#include "performance/HardwareTargets.h"

#include <QObject>
#include <QStringList>

class WindowDisplay;
class MidiInputs;
class PerformanceControllers;
struct Session;

// The main window's own controllers, beside the performance group it shows:
// tabs and help, the clock line, the export button and its device list,
// the recorder, and the music editor the window opens.
class MainWindowControllers : public QObject {
    Q_OBJECT
public:
    MainWindowControllers(Session &session, WindowDisplay &display, PerformanceControllers &performance);

    // QDCSH's logic: the device list, the performance defaults, then the
    // notice of a take kept when the program last ended.
    void initialise();
    // Stops every timer of the window and of its performance group.
    void stopTimers();
    // The MIDI keyboards play here from now on: their messages go to the
    // hardware keyboard, a keyboard connected is named in the status line.
    void attachInputs(MidiInputs &inputs);
    // The window closes: nothing may sound into a closed device, so the
    // timers stop first; then the MIDI device closes, an unsaved take is
    // kept and the recorder's device closes. Where the take went, if not
    // into the record folder, is told in a box (on the terminal when the
    // program ends without the user, quietExit).
    void shutDown();
    // The button "退出": the MIDI device closes at once, before the window
    // closes and shutDown runs (which then finds it closed).
    void quit();

    // Where a take goes at exit when the record folder takes none, in order.
    QStringList takeFallbackFolders;
    // The program is ending on a signal: no box waits for the user.
    bool quietExit = false;

    Session &session;
    WindowDisplay &display;
    PerformanceControllers &performance;
    MidiDeviceList devices;
    // MIDI keyboards: by the main window's rules once it is initialised,
    // by the mini window's or the editor's while one of them is shown.
    HardwareKeyboard hardware;
    MainWindowNotes mainNotes;
    EditorNotes editorNotes;
    MidiInputs *midiInputs = nullptr;  // set by attachInputs()
    Navigation navigation;
    StatusClock statusClock;
    ScoreExporter exporter;
    SongOpening songOpening;  // "打开" with a MIDI file
    WindowRecorderDisplay recorderDisplay;
    WaveRecorder recorder;  // the recorder frame LyCf
    // The music editor opened by BJCK: its edit stays for the whole run.
    EditorModel editModel;
    EditorControllers editor;

signals:
    // A choice was made in a control of the window or of its performance.
    void choiceMade();
};
