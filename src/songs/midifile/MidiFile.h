#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

// One note of a track, from its note-on to its note-off, in ticks.
struct MidiNote {
    qint64 start = 0;
    qint64 end = 0;
    quint8 channel = 0;  // 0..15; 9 is the percussion channel
    quint8 pitch = 0;
    quint8 velocity = 0;
};

struct MidiTrack {
    QString name;  // its track name, else its instrument name; may be empty
    QVector<MidiNote> notes;  // in the order they started
    // The first program change of each channel, -1 where there is none.
    std::array<int, 16> programs = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

struct MidiTempo {
    qint64 tick = 0;
    int microsPerQuarter = 500000;
};

struct MidiKeySignature {
    qint64 tick = 0;
    int sharps = 0;  // -7..7, flats negative
    bool minor = false;
};

struct MidiTimeSignature {
    qint64 tick = 0;
    int numerator = 4;
    int denominator = 4;
};

// What the song import needs of a Standard MIDI File (formats 0, 1 and 2).
struct MidiSong {
    int format = 0;
    int ticksPerQuarter = 0;    // 0 when the file counts SMPTE frames
    double ticksPerSecond = 0;  // SMPTE division only
    QVector<MidiTrack> tracks;  // every track chunk, in file order
    // Of all tracks, by tick. Tempo events of 0 microseconds are left out.
    QVector<MidiTempo> tempos;
    QVector<MidiKeySignature> keys;
    QVector<MidiTimeSignature> times;
    // Damage that was read around (a chunk cut short, a stray byte): the
    // notes before it are kept.
    QStringList warnings;
    // The tracks (numbered from 1) that damage cut short or left unread.
    QVector<int> damagedTracks;

    int noteCount() const;
};

// Reads Standard MIDI Files: running status, system exclusive and meta
// events, note-ons of velocity 0 as note-offs. Whatever the bytes, it
// returns (never loops without consuming input) and never reads outside them.
namespace MidiFile {

// Larger files are refused before they are read: a song of one melody is
// rarely more than a few hundred kilobytes.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

// False with a message for the user when the bytes are no MIDI file or no
// usable one. Damage after a valid start is only warned about.
bool parse(const QByteArray &bytes, MidiSong *song, QString *error);

// Reads and parses a file, refusing files over kMaxFileBytes.
bool read(const QString &path, MidiSong *song, QString *error);

}  // namespace MidiFile
