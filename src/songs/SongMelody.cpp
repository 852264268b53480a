#include "songs/SongMelody.h"

#include "performance/TempoList.h"
#include "score/ScoreLanguage.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace SongMelody {

namespace {

constexpr int kPercussionChannel = 9;

// The VS number nearest to a tempo in beats per minute, within 1..12.
int nearestVs(double tempo)
{
    const int steps = int(std::lround((tempo - TempoList::kFirstTempo) / TempoList::kStep));
    return qBound(1, steps + 1, ScoreLanguage::kTempoCommands);
}

Part partOf(const MidiTrack &track, int index, int channel)
{
    Part p;
    p.track = index;
    p.channel = channel;
    p.name = track.name;
    int drums = 0;
    QSet<int> used;
    for (const MidiNote &n : track.notes) {
        if (channel >= 0 && n.channel != channel)
            continue;
        ++p.notes;
        used.insert(n.channel);
        if (n.channel == kPercussionChannel)
            ++drums;
    }
    p.channels = QVector<int>(used.begin(), used.end());
    std::sort(p.channels.begin(), p.channels.end());
    p.percussion = drums * 2 > p.notes;
    return p;
}

}  // namespace

QVector<Part> parts(const MidiSong &song)
{
    QVector<Part> out;
    int withNotes = 0;
    for (const MidiTrack &t : song.tracks)
        withNotes += t.notes.isEmpty() ? 0 : 1;
    for (int i = 0; i < song.tracks.size(); ++i) {
        const MidiTrack &t = song.tracks[i];
        if (t.notes.isEmpty())
            continue;
        const Part whole = partOf(t, i, -1);
        // A song kept in one track (format 0) has its parts on channels.
        if (withNotes == 1 && whole.channels.size() > 1) {
            for (int channel : whole.channels)
                out << partOf(t, i, channel);
        } else {
            out << whole;
        }
    }
    for (int i = 0; i < out.size(); ++i)
        out[i].number = i + 1;
    return out;
}

int melodyPart(const QVector<Part> &parts)
{
    int best = 0;
    int most = 0;
    for (const Part &p : parts) {
        if (!p.percussion && p.notes > most) {
            most = p.notes;
            best = p.number;
        }
    }
    return best;
}

Tempo chooseTempo(double songTempo)
{
    Tempo best;
    best.songTempo = songTempo;
    double bestError = -1;
    int bestPower = 0;
    for (int power = -4; power <= 4; ++power) {
        const double beats = std::ldexp(1.0, power);
        const double tempo = songTempo * beats;
        const int vs = nearestVs(tempo);
        const double error = std::fabs(std::log(tempo / ScoreLanguage::tempoOf(vs)));
        // The song's own durations win a tie; then the smaller change.
        if (bestError < 0 || error < bestError - 1e-9
            || (std::fabs(error - bestError) <= 1e-9 && std::abs(power) < std::abs(bestPower))) {
            bestError = error;
            bestPower = power;
            best.vs = vs;
            best.scoreTempo = ScoreLanguage::tempoOf(vs);
            best.beatsPerQuarter = beats;
        }
    }
    return best;
}

double firstTempo(const MidiSong &song)
{
    return song.tempos.isEmpty() ? 120.0 : 60e6 / song.tempos.first().microsPerQuarter;
}

double unitsAt(const MidiSong &song, const Tempo &tempo, qint64 tick)
{
    double quarters = 0;
    if (song.ticksPerQuarter > 0)
        quarters = double(tick) / song.ticksPerQuarter;
    else if (song.ticksPerSecond > 0)
        quarters = double(tick) / song.ticksPerSecond * tempo.songTempo / 60.0;
    return quarters * 8.0 * tempo.beatsPerQuarter;
}

Line melody(const MidiSong &song, const Part &part, const Tempo &tempo)
{
    Line line;
    if (part.track < 0 || part.track >= song.tracks.size())
        return line;
    // Rounded to the grid; far beyond any score's length counts as the end.
    const auto unit = [&](qint64 tick) {
        return int(std::llround(qBound(0.0, unitsAt(song, tempo, tick), 1e9)));
    };
    QVector<Note> notes;
    for (const MidiNote &n : song.tracks[part.track].notes) {
        if (part.channel >= 0 && n.channel != part.channel)
            continue;
        const int start = unit(n.start);
        const int end = qMax(start + 1, unit(n.end));
        notes.append({start, end - start, n.pitch});
    }
    // By onset; of notes struck together the highest first.
    std::stable_sort(notes.begin(), notes.end(), [](const Note &a, const Note &b) {
        return a.start != b.start ? a.start < b.start : a.pitch > b.pitch;
    });
    for (const Note &n : notes) {
        if (!line.notes.isEmpty()) {
            Note &last = line.notes.last();
            const int lastEnd = last.start + last.length;
            if (n.start == last.start || (n.start < lastEnd && n.pitch < last.pitch)) {
                ++line.dropped;  // under a higher note
                continue;
            }
            if (n.start < lastEnd)
                last.length = n.start - last.start;  // a higher (or the same) note takes over
        }
        line.notes.append(n);
    }
    return line;
}

QVector<TempoChange> tempoChanges(const MidiSong &song, const Tempo &tempo)
{
    QVector<TempoChange> out;
    if (song.ticksPerQuarter <= 0 || song.tempos.size() < 2)
        return out;
    int current = tempo.vs;
    for (int i = 1; i < song.tempos.size(); ++i) {
        const MidiTempo &t = song.tempos[i];
        // Several at one tick: the last one holds.
        if (i + 1 < song.tempos.size() && song.tempos[i + 1].tick == t.tick)
            continue;
        const int vs = nearestVs(60e6 / t.microsPerQuarter * tempo.beatsPerQuarter);
        if (vs == current)
            continue;
        current = vs;
        const int at = int(std::llround(qBound(0.0, unitsAt(song, tempo, t.tick), 1e9)));
        if (!out.isEmpty() && out.last().unit == at)
            out.last().vs = vs;
        else
            out.append({at, vs});
    }
    return out;
}

}  // namespace SongMelody
