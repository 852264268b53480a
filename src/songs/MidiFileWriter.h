#pragma once

#include "core/MidiMessage.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Writes timed short messages as a Standard MIDI File: format 0, one track.
//
// The resolution is 500 ticks per quarter note at the tempo 120 beats per
// minute (500000 microseconds per quarter, MIDI's own default tempo), so one
// tick is exactly one millisecond and any reader, even one that ignores the
// tempo event, places every message at its millisecond.
//
// Channel messages are written without running status; anything else (system
// messages have no place in a file's track) is left out. The track ends with
// the end-of-track event at the given end time or at the last message.
class MidiFileWriter {
public:
    static constexpr int kTicksPerQuarter = 500;
    static constexpr int kMicrosecondsPerQuarter = 500000;

    // The whole file. Messages are placed at their time rounded to the
    // millisecond, in time order (messages of the same time keep their order).
    static QByteArray fileBytes(const QVector<TimedMidiMessage> &messages, qint64 endNs = 0);

    // Writes the file through QSaveFile: it appears only when complete, and a
    // failure leaves any earlier file of that name untouched. False with a
    // Chinese reason.
    static bool write(const QString &path, const QVector<TimedMidiMessage> &messages, qint64 endNs,
                      QString *error);

    // What to tell the user to check when a file cannot be written.
    static QString writeHint();

    // Bytes of a channel message as it stands in a file (2 or 3), or 0 when
    // it is no channel message with data bytes in range.
    static int channelMessageLength(const MidiMessage &message);

    // A variable-length quantity: 7 bits a byte, most significant first.
    static void appendVariableLength(QByteArray *out, quint32 value);
};
