#pragma once

#include "core/MidiBackend.h"

#include <QObject>
#include <QString>
#include <QVector>

class Clock;
class Notifier;
struct StepTable;

// One line of a device list: the product name and the device id
// (-1 for the default output, else 0 .. count - 1).
struct MidiDeviceEntry {
    QString text;
    qint16 id = 0;
};

// The one MIDI output of the program. Every sound is a short message sent
// through here at once; errors of the MIDI layer are shown to the user. It
// alone knows which device is open: every device list follows its signal.
//
// Channel plan: 0-2 melody voices, 3-5 chord notes, 6 special effects,
// 9 percussion (note-ons only); the editor's melody rows use 0-4.
class MidiPort : public QObject {
    Q_OBJECT
public:
    MidiPort(MidiBackend &backend, Notifier &notifier, Clock &clock);

    // Default output first, then the devices by id; true if any was listed.
    bool ListMidiDevices(QVector<MidiDeviceEntry> *list);
    // Closes any open device, then opens the given one.
    bool OpenMidiDevice(qint16 id);
    void CloseMidiDevice();

    void SendShortMessage(qint16 status, qint16 data1, qint16 data2);
    void NoteOn(qint16 channel, qint16 note, qint16 velocity);
    void NoteOff(qint16 channel, qint16 note);
    void ControlChange(qint16 channel, qint16 controller, qint16 value);
    // Bank select (controller 0) with the bank, then the program change.
    void ProgramChange(qint16 channel, qint16 bank, qint16 program);
    void ShowMidiError(int code);

    // Sends the sounding cells 0..4 of one step unchanged; a failure of the
    // last message sent in the step is reported. Does not move the step index.
    void PlayRhythmStep(const StepTable &table, qint16 stepIndex);

    MidiHandle MidiOutHandle() const { return handle_; }
    bool isOpen() const { return handle_ != 0; }
    // Id of the open device; meaningful only while a device is open.
    qint16 openDeviceId() const { return openId_; }

signals:
    // A device was opened or closed.
    void deviceChanged();

private:
    // Hands one message, its bytes checked, to the device, stamped with the
    // tick time.
    int send(const MidiMessage &message);

    MidiBackend &backend_;
    Notifier &notifier_;
    Clock &clock_;
    MidiHandle handle_ = 0;
    qint16 openId_ = 0;
};
