#pragma once

#include "core/MidiBackend.h"

#include <QVector>

class Clock;

// A MIDI output that plays nothing and keeps every message with its time:
// the time the sender stamped it with, or the clock's present for a message
// sent outside timed playing. Used to write what a score plays into a file.
// It offers the default output and one device, so that start-up's choice of
// list entry 1 opens it.
class RecordedMidi : public MidiBackend {
public:
    explicit RecordedMidi(const Clock &clock);

    int deviceCount() override;
    int deviceCaps(int id, QString *name) override;
    int open(int id, MidiHandle *handle) override;
    int close(MidiHandle handle) override;
    int shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs) override;
    QString errorText(int code) override;

    const QVector<TimedMidiMessage> &messages() const { return messages_; }

private:
    static constexpr MidiHandle kHandle = 1;

    const Clock &clock_;
    bool open_ = false;
    QVector<TimedMidiMessage> messages_;
};
