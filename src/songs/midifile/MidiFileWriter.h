#pragma once

#include "core/MidiMessage.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The time of the music: where the eighth of a beat changes (the first
// at 0), the beats of a bar (2, 3 or 4 quarter notes) and the key
// signature (sharps, flats negative; major). Without tempos a tick is a
// millisecond.
struct MidiFileTiming {
    struct Tempo {
        qint64 ns = 0;
        int eighthBeatMs = 0;
    };
    QVector<Tempo> tempos;
    int beatsPerBar = 4;
    int keySharps = 0;
};

// Writes timed short messages as a Standard MIDI File: format 0, one track,
// 480 ticks a quarter note.
//
// The file keeps the score's own time: a quarter note is a beat of 8 eighths
// of a beat, so one duration unit of the score is 60 ticks and a notation
// program shows real bars. Each message still lands on its millisecond: a
// tick lasts EighthBeatMs / 60 ms, and the tick of a message converts back,
// through the file's tempo events, to exactly the millisecond it was sent.
// A message between two ticks (it happens only where playing was stopped
// off the beat) is reached by a stretch of one tick a millisecond, from the
// unit before it to the unit after it.
//
// Channel messages are written without running status; anything else (system
// messages have no place in a file's track) is left out. The track ends with
// the end-of-track event at the given end time or at the last message.
class MidiFileWriter {
public:
    static constexpr int kTicksPerQuarter = 480;
    static constexpr int kTicksPerUnit = kTicksPerQuarter / 8;
    // One tick a millisecond.
    static constexpr int kMillisecondTempo = kTicksPerQuarter * 1000;

    using Timing = MidiFileTiming;

    // Microseconds a quarter note for an eighth of a beat of `eighthBeatMs`.
    static int microsPerQuarter(int eighthBeatMs) { return 8000 * eighthBeatMs; }

    // The whole file. Messages are placed at their time rounded to the
    // millisecond, in time order (messages of the same time keep their order).
    static QByteArray fileBytes(const QVector<TimedMidiMessage> &messages, qint64 endNs = 0,
                                const Timing &timing = Timing());

    // Writes the file through QSaveFile: it appears only when complete, and a
    // failure leaves any earlier file of that name untouched. False with a
    // Chinese reason.
    static bool write(const QString &path, const QVector<TimedMidiMessage> &messages, qint64 endNs,
                      QString *error, const Timing &timing = Timing());

    // What to tell the user to check when a file cannot be written.
    static QString writeHint();

    // Bytes of a channel message as it stands in a file (2 or 3), or 0 when
    // it is no channel message with data bytes in range.
    static int channelMessageLength(const MidiMessage &message);

    // A variable-length quantity: 7 bits a byte, most significant first.
    static void appendVariableLength(QByteArray *out, quint32 value);
};
