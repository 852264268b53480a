#pragma once

#include <QString>

class Clock;
class MidiPort;
class UserDialogs;
class WindowState;
struct SharedState;

// What every controller of the program works with: the shared performance
// values, the main window's shared display, the one MIDI output, the dialogs,
// the clock of the timers and the record folder. Owned by the application
// (or a test) and handed to each controller by reference.
struct AppContext {
    SharedState &state;
    WindowState &window;
    MidiPort &port;
    UserDialogs &dialogs;
    Clock &clock;
    QString recordFolder;  // absolute path of "演奏记录"
};
