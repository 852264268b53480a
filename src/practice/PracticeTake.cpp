#include "practice/PracticeTake.h"

#include "songs/midifile/MidiFile.h"

#include <QDir>
#include <QFileInfo>

namespace Practice {

namespace {
constexpr int kDefaultMicrosPerQuarter = 500000;  // MIDI's 120 beats a minute
}

double tickToMs(const MidiSong &song, qint64 tick)
{
    if (song.ticksPerQuarter <= 0)
        return song.ticksPerSecond > 0 ? double(tick) * 1000.0 / song.ticksPerSecond : 0.0;
    // Each stretch between tempo changes at its own tempo.
    double ms = 0;
    qint64 from = 0;
    int micros = kDefaultMicrosPerQuarter;
    for (const MidiTempo &t : song.tempos) {
        if (t.tick >= tick)
            break;
        ms += double(t.tick - from) * micros / song.ticksPerQuarter / 1000.0;
        from = t.tick;
        micros = t.microsPerQuarter;
    }
    return ms + double(tick - from) * micros / song.ticksPerQuarter / 1000.0;
}

QVector<Note> takeNotes(const MidiSong &song)
{
    QVector<Note> notes;
    for (const MidiTrack &track : song.tracks) {
        for (const MidiNote &n : track.notes) {
            if (n.velocity > 0)
                notes << Note{tickToMs(song, n.start), n.pitch};
        }
    }
    return notes;
}

Take readTake(const QString &path)
{
    Take t;
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        t.error = QFileInfo::exists(path) ? QStringLiteral("演奏文件“%1”不是文件。").arg(shown)
                                          : QStringLiteral("找不到演奏文件“%1”。").arg(shown);
        return t;
    }
    MidiSong song;
    QString error;
    if (!MidiFile::read(path, &song, &error)) {
        t.error = QStringLiteral("演奏文件“%1”不是可用的MIDI文件：%2").arg(shown, error.simplified());
        return t;
    }
    t.notes = takeNotes(song);
    t.warnings = song.warnings;
    t.ok = true;
    return t;
}

}  // namespace Practice
