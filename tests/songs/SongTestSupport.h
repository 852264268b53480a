#pragma once

#include "songs/ScoreTimeline.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <random>

#include <smf.h>

// Writes Standard MIDI Files for the tests: events at absolute ticks per
// track, written out with delta times (no running status).
class MidiBuilder {
public:
    explicit MidiBuilder(int format = 1, int division = 480) : format_(format), division_(division) {}

    MidiBuilder &track()
    {
        tracks_.append(QVector<QPair<qint64, QByteArray>>());
        return *this;
    }
    MidiBuilder &at(qint64 tick, const QByteArray &bytes)
    {
        if (tracks_.isEmpty())
            track();
        tracks_.last().append({tick, bytes});
        return *this;
    }
    MidiBuilder &note(qint64 start, qint64 length, int pitch, int channel = 0)
    {
        at(start, bytesOf({0x90 | channel, pitch, 80}));
        return at(start + length, bytesOf({0x80 | channel, pitch, 0}));
    }
    MidiBuilder &tempo(qint64 tick, int micros)
    {
        return at(tick, bytesOf({0xFF, 0x51, 3, (micros >> 16) & 0xFF, (micros >> 8) & 0xFF, micros & 0xFF}));
    }
    MidiBuilder &keySignature(int sharps) { return at(0, bytesOf({0xFF, 0x59, 2, sharps & 0xFF, 0})); }
    MidiBuilder &name(const QByteArray &text)
    {
        return at(0, bytesOf({0xFF, 0x03, int(text.size())}) + text);
    }

    static QByteArray bytesOf(std::initializer_list<int> values)
    {
        QByteArray b;
        for (int v : values)
            b.append(char(v));
        return b;
    }
    static QByteArray variable(quint32 v)
    {
        QByteArray b(1, char(v & 0x7F));
        while (v >>= 7)
            b.prepend(char((v & 0x7F) | 0x80));
        return b;
    }
    static QByteArray chunk(const QByteArray &id, const QByteArray &data)
    {
        const quint32 n = quint32(data.size());
        return id + bytesOf({int(n >> 24), int((n >> 16) & 0xFF), int((n >> 8) & 0xFF), int(n & 0xFF)}) + data;
    }
    QByteArray header() const
    {
        return chunk("MThd", bytesOf({0, format_, 0, int(tracks_.size()), (division_ >> 8) & 0xFF, division_ & 0xFF}));
    }

    QByteArray bytes() const
    {
        QByteArray out = header();
        for (auto events : tracks_) {
            std::stable_sort(events.begin(), events.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            QByteArray data;
            qint64 last = 0;
            for (const auto &[tick, bytes] : events) {
                data += variable(quint32(tick - last)) + bytes;
                last = tick;
            }
            data += bytesOf({0, 0xFF, 0x2F, 0});
            out += chunk("MTrk", data);
        }
        return out;
    }

    bool save(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes()) >= 0;
    }

private:
    int format_;
    int division_;
    QVector<QVector<QPair<qint64, QByteArray>>> tracks_;
};

// A note of a MIDI file read back with libsmf, a reader that is not ours.
struct HeardNote {
    double onMs = 0;
    double offMs = 0;
    int onPulses = 0;
    int pitch = 0;
    int channel = 0;
    int track = 0;  // 1-based, as libsmf counts
};

struct HeardSong {
    bool loaded = false;
    int ppqn = 0;
    int firstTempo = 500000;  // microseconds per quarter note
    // In time order, of equal onsets the higher first; times through the
    // file's tempo map.
    QVector<HeardNote> notes;
};

inline HeardSong heardSong(const QString &path)
{
    HeardSong song;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return song;
    const QByteArray bytes = file.readAll();
    smf_t *smf = smf_load_from_memory(bytes.constData(), int(bytes.size()));
    if (!smf)
        return song;
    song.loaded = true;
    song.ppqn = smf->ppqn;
    if (smf_tempo_t *t = smf_get_tempo_by_number(smf, 0))
        song.firstTempo = t->microseconds_per_quarter_note;
    QVector<int> open(16 * 128 * 64, -1);
    QVector<HeardNote> &out = song.notes;
    while (smf_event_t *e = smf_get_next_event(smf)) {
        if (smf_event_is_metadata(e) || e->midi_buffer_length < 3)
            continue;
        const int status = e->midi_buffer[0];
        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        const int pitch = e->midi_buffer[1];
        const int slot = (qBound(0, e->track_number, 63) * 16 + channel) * 128 + pitch;
        const double ms = e->time_seconds * 1000.0;
        if (kind == 0x90 && e->midi_buffer[2] > 0) {
            open[slot] = int(out.size());
            out.append({ms, ms, e->time_pulses, pitch, channel, e->track_number});
        } else if ((kind == 0x80 || kind == 0x90) && open[slot] >= 0) {
            out[open[slot]].offMs = ms;
            open[slot] = -1;
        }
    }
    smf_delete(smf);
    std::stable_sort(out.begin(), out.end(), [](const HeardNote &a, const HeardNote &b) {
        return a.onPulses != b.onPulses ? a.onPulses < b.onPulses : a.pitch > b.pitch;
    });
    return song;
}

// Random scores that play to their end: notes of all five octaves, rests,
// numbers written or left out, and every command that takes no time or a
// fixed time. Durations are never 0, so nothing waits for ever.
inline QString randomScore(std::mt19937 &rng, int events)
{
    static const char *const letters = "CDEFGAB";
    static const char *const octaves = "LWKHM";
    const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    QString s;
    bool haveDuration = false;
    for (int i = 0; i < events; ++i) {
        const int what = pick(0, 99);
        if (what < 6) {
            s += QStringLiteral("VS%1").arg(pick(1, 12));
        } else if (what < 9) {
            s += QStringLiteral("YQ%1").arg(pick(1, 12));
        } else if (what < 12) {
            s += QStringLiteral("HX%1").arg(pick(1, 6));
        } else if (what < 14) {
            const int jp[] = {1, 4, 7, 9, 99};
            s += QStringLiteral("JP%1").arg(jp[pick(0, 4)]);
        } else if (what < 17) {
            s += QStringLiteral("YX%1").arg(pick(1, 6));
        } else {
            const int octave = pick(0, 4);
            const QString token = what < 27 ? QStringLiteral("XZ")
                                            : QString(QLatin1Char(octaves[octave]))
                                                  + QLatin1Char(letters[pick(0, octave == 4 ? 4 : 6)]);
            s += token;
            if (!haveDuration || pick(0, 2) == 0) {
                const int durations[] = {1, 2, 3, 4, 6, 8, 8, 8, 12, 16, 24, 32, 40, 99};
                s += QString::number(durations[pick(0, 13)]);
                haveDuration = true;
            }
            continue;
        }
        haveDuration = true;  // a command's number is the next duration
    }
    return s + QStringLiteral("TZ");
}

// A score's music as "code+length" and "XZ+length" pieces, rests merged,
// commands left out: what the melody sounds like, however it is written.
inline QStringList melodyOf(const QString &score)
{
    QStringList out;
    const ScoreTimeline::Timeline t = ScoreTimeline::read(score);
    bool lastRest = false;
    int restLength = 0;
    for (const ScoreTimeline::Event &e : t.events) {
        if (e.kind == ScoreTimeline::Kind::Rest) {
            restLength += e.length;
            lastRest = true;
            continue;
        }
        if (e.kind != ScoreTimeline::Kind::Note)
            continue;
        if (lastRest)
            out << QStringLiteral("XZ%1").arg(restLength);
        lastRest = false;
        restLength = 0;
        out << QStringLiteral("%1:%2").arg(e.offset).arg(e.length);
    }
    return out;
}
