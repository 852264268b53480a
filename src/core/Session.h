#pragma once

#include <QString>

class Clock;
class MediaDevice;
class MidiPort;
class UserDialogs;
struct SharedState;

// What the whole program shares, one per run: the performance values, the
// one MIDI output, the recorder's media device, the dialogs, the clock of
// the timers and the record folder. Owned by the application (or a test)
// and handed to every controller by reference. What a window shows is not
// here: each window has its own WindowDisplay.
struct Session {
    SharedState &state;
    MidiPort &port;
    MediaDevice &media;
    UserDialogs &dialogs;
    Clock &clock;
    QString recordFolder;  // absolute path of "演奏记录"
};
