#include "songs/SongMelody.h"

#include "performance/TempoList.h"
#include "score/ScoreLanguage.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace SongMelody {

namespace {

constexpr int kPercussionChannel = 9;

// The VS number nearest to a tempo in beats per minute, within 1..12.
int nearestVs(double tempo)
{
    const int steps = int(std::lround((tempo - TempoList::kFirstTempo) / TempoList::kStep));
    return qBound(1, steps + 1, ScoreLanguage::kTempoCommands);
}

// Words in part names, lower case: of the tune, and of parts that are
// never the tune while there is another.
const char16_t *const kMelodyWords[] = {u"melod", u"mélod", u"lead", u"vocal", u"voice", u"vox", u"solo",
                                        u"sing", u"tune", u"旋律", u"人声", u"主唱", u"唱", u"歌声"};
const char16_t *const kNeverWords[] = {u"bass", u"drum", u"perc", u"kick", u"snare", u"hihat", u"hi-hat",
                                       u"cymbal", u"鼓", u"贝斯", u"低音", u"打击", u"伴奏"};

bool named(const QString &name, const char16_t *const *words, int count)
{
    const QString lower = name.toLower();
    for (int i = 0; i < count; ++i) {
        const QString word = QString::fromUtf16(words[i]);
        int at = lower.indexOf(word);
        // A bassoon plays tunes: no bass part.
        while (at >= 0 && word == QLatin1String("bass") && lower.mid(at, 7) == QLatin1String("bassoon"))
            at = lower.indexOf(word, at + 1);
        if (at >= 0)
            return true;
    }
    return false;
}

bool saysMelody(const QString &name)
{
    return named(name, kMelodyWords, int(std::size(kMelodyWords)));
}

bool saysAccompaniment(const QString &name)
{
    return named(name, kNeverWords, int(std::size(kNeverWords)));
}

// `together`: ticks within which notes count as struck at once.
Part partOf(const MidiTrack &track, int index, int channel, qint64 together)
{
    Part p;
    p.track = index;
    p.channel = channel;
    p.name = track.name;
    int drums = 0;
    QSet<int> used;
    QVector<qint64> onsets;
    double sum = 0;
    p.lowest = 127;
    for (const MidiNote &n : track.notes) {
        if (channel >= 0 && n.channel != channel)
            continue;
        ++p.notes;
        used.insert(n.channel);
        if (n.channel == kPercussionChannel)
            ++drums;
        onsets << n.start;
        sum += n.pitch;
        p.lowest = qMin(p.lowest, int(n.pitch));
        p.highest = qMax(p.highest, int(n.pitch));
    }
    p.channels = QVector<int>(used.begin(), used.end());
    std::sort(p.channels.begin(), p.channels.end());
    p.percussion = drums * 2 > p.notes;
    if (!p.channels.isEmpty())
        p.program = track.programs[size_t(p.channels.first())];
    if (p.notes == 0) {
        p.lowest = 0;
        return p;
    }
    p.meanPitch = sum / p.notes;
    std::sort(onsets.begin(), onsets.end());
    int alone = 0;
    for (int i = 0; i < onsets.size(); ++i) {
        const bool before = i > 0 && onsets[i] - onsets[i - 1] <= together;
        const bool after = i + 1 < onsets.size() && onsets[i + 1] - onsets[i] <= together;
        alone += before || after ? 0 : 1;
    }
    p.alone = double(alone) / p.notes;
    return p;
}

}  // namespace

QVector<Part> parts(const MidiSong &song)
{
    QVector<Part> out;
    // Struck at once: within a 64th note, or 25 ms of SMPTE time.
    const qint64 together = song.ticksPerQuarter > 0 ? song.ticksPerQuarter / 16 : qint64(song.ticksPerSecond / 40);
    int withNotes = 0;
    for (const MidiTrack &t : song.tracks)
        withNotes += t.notes.isEmpty() ? 0 : 1;
    for (int i = 0; i < song.tracks.size(); ++i) {
        const MidiTrack &t = song.tracks[i];
        if (t.notes.isEmpty())
            continue;
        const Part whole = partOf(t, i, -1, together);
        // A song kept in one track (format 0) has its parts on channels.
        if (withNotes == 1 && whole.channels.size() > 1) {
            for (int channel : whole.channels)
                out << partOf(t, i, channel, together);
        } else {
            out << whole;
        }
    }
    for (int i = 0; i < out.size(); ++i)
        out[i].number = i + 1;
    return out;
}

Choice chooseMelody(const QVector<Part> &parts)
{
    Choice c;
    QVector<const Part *> left;
    for (const Part &p : parts) {
        if (!p.percussion)
            left << &p;
    }
    if (left.isEmpty())
        return c;
    const auto keep = [&left](auto test) {
        QVector<const Part *> kept;
        for (const Part *p : left) {
            if (test(*p))
                kept << p;
        }
        if (!kept.isEmpty())
            left = kept;
        return kept.size();
    };
    const int playing = int(left.size());
    keep([](const Part &p) { return !saysAccompaniment(p.name); });
    if (keep([](const Part &p) { return saysMelody(p.name); }) > 0 && left.size() == 1) {
        c.number = left.first()->number;
        c.reason = QStringLiteral("音轨名称“%1”表明它是旋律。").arg(left.first()->name);
        return c;
    }
    if (left.size() == 1) {
        c.number = left.first()->number;
        c.reason = playing == 1 ? QStringLiteral("它是唯一不是打击乐的音轨。")
                                : QStringLiteral("其余的音轨是低音或鼓，不是旋律。");
        return c;
    }
    int most = 0;
    for (const Part *p : left)
        most = qMax(most, p->notes);
    // A few high notes (an intro, a descant, a held chord) are no tune.
    keep([most](const Part &p) { return p.notes * 3 >= most; });
    const bool line = keep([](const Part &p) { return p.alone >= 0.8; }) > 0;
    double highest = 0;
    for (const Part *p : left)
        highest = qMax(highest, p->meanPitch);
    // About as high: within a semitone on average. Then the most notes.
    const int high = keep([highest](const Part &p) { return p.meanPitch >= highest - 1; });
    const Part *best = left.first();
    for (const Part *p : left) {
        if (p->notes > best->notes)
            best = p;
    }
    c.number = best->number;
    if (high > 1)
        c.reason = QStringLiteral("在平均音高相近的几个音轨中，它的音符最多。");
    else if (line)
        c.reason = QStringLiteral("在音符较多、基本一次只发一个音的音轨中，它的平均音高最高。");
    else
        c.reason = QStringLiteral("在音符较多的音轨中，它的平均音高最高。");
    return c;
}

int melodyPart(const QVector<Part> &parts)
{
    return chooseMelody(parts).number;
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

double Section::mismatch() const
{
    return tempo.scoreTempo / (tempo.songTempo * tempo.beatsPerQuarter) - 1;
}

namespace {

double errorOf(const Tempo &t)
{
    return std::fabs(std::log(t.songTempo * t.beatsPerQuarter / t.scoreTempo));
}

// A later tempo keeps the durations' halving or doubling of the one before
// unless another is clearly nearer: the score does not change its note
// values back and forth for a small change of tempo.
Tempo followingTempo(double songTempo, double beatsBefore)
{
    const Tempo best = chooseTempo(songTempo);
    Tempo same;
    same.songTempo = songTempo;
    same.beatsPerQuarter = beatsBefore;
    same.vs = nearestVs(songTempo * beatsBefore);
    same.scoreTempo = ScoreLanguage::tempoOf(same.vs);
    return errorOf(same) <= errorOf(best) + 0.01 ? same : best;
}

qint64 firstOnset(const MidiSong &song)
{
    qint64 first = std::numeric_limits<qint64>::max();
    for (const MidiTrack &t : song.tracks) {
        for (const MidiNote &n : t.notes)
            first = qMin(first, n.start);
    }
    return first;
}

qint64 lastEnd(const MidiSong &song)
{
    qint64 last = 0;
    for (const MidiTrack &t : song.tracks) {
        for (const MidiNote &n : t.notes)
            last = qMax(last, n.end);
    }
    return last;
}

}  // namespace

Grid::Grid(const MidiSong &song)
{
    Section first;
    if (song.ticksPerQuarter <= 0) {
        // SMPTE time: ticks are seconds; tempo events change nothing.
        first.tempo = chooseTempo(firstTempo(song));
        if (song.ticksPerSecond > 0) {
            first.secondsPerTick = 1.0 / song.ticksPerSecond;
            first.unitsPerTick = first.secondsPerTick * first.tempo.songTempo / 60.0 * 8.0 * first.tempo.beatsPerQuarter;
        }
        sections_ << first;
        return;
    }
    const double tpq = song.ticksPerQuarter;
    // Of several tempos at one tick the last holds.
    QVector<MidiTempo> tempos;
    for (const MidiTempo &t : song.tempos) {
        if (!tempos.isEmpty() && tempos.last().tick == t.tick)
            tempos.last() = t;
        else
            tempos << t;
    }
    // A first tempo before any note is the song's from its start.
    int next = 0;
    double opening = 120;
    if (!tempos.isEmpty() && tempos.first().tick <= firstOnset(song)) {
        opening = 60e6 / tempos.first().microsPerQuarter;
        next = 1;
    }
    first.tempo = chooseTempo(opening);
    first.unitsPerTick = 8.0 * first.tempo.beatsPerQuarter / tpq;
    first.secondsPerTick = 60.0 / (opening * tpq);
    sections_ << first;
    for (; next < tempos.size(); ++next) {
        const Section &before = sections_.last();
        const double songTempo = 60e6 / tempos[next].microsPerQuarter;
        Section s;
        s.tick = tempos[next].tick;
        s.unit = before.unit + double(s.tick - before.tick) * before.unitsPerTick;
        s.seconds = before.seconds + double(s.tick - before.tick) * before.secondsPerTick;
        s.tempo = followingTempo(songTempo, before.tempo.beatsPerQuarter);
        s.unitsPerTick = 8.0 * s.tempo.beatsPerQuarter / tpq;
        s.secondsPerTick = 60.0 / (songTempo * tpq);
        sections_ << s;
    }
}

const Section &Grid::sectionAt(qint64 tick) const
{
    const auto after = std::upper_bound(sections_.begin(), sections_.end(), tick,
                                        [](qint64 t, const Section &s) { return t < s.tick; });
    return after == sections_.begin() ? sections_.first() : *(after - 1);
}

double Grid::unitsAt(qint64 tick) const
{
    const Section &s = sectionAt(tick);
    return s.unit + double(tick - s.tick) * s.unitsPerTick;
}

double Grid::secondsAt(qint64 tick) const
{
    const Section &s = sectionAt(tick);
    return s.seconds + double(tick - s.tick) * s.secondsPerTick;
}

QVector<TempoChange> Grid::changes() const
{
    QVector<TempoChange> out;
    int current = opening().vs;
    for (int i = 1; i < sections_.size(); ++i) {
        const int vs = sections_[i].tempo.vs;
        if (vs == current)
            continue;
        current = vs;
        const int at = int(std::llround(qBound(0.0, sections_[i].unit, 1e9)));
        if (!out.isEmpty() && out.last().unit == at)
            out.last().vs = vs;
        else
            out.append({at, vs});
    }
    return out;
}

QVector<int> Grid::lineStarts(const MidiSong &song) const
{
    constexpr int kBarsPerLine = 4;
    constexpr int kMostBars = 400000;  // bars of a tick each cannot make the loop endless
    QVector<int> out;
    const double quarter = song.ticksPerQuarter > 0 ? double(song.ticksPerQuarter)
                                                    : song.ticksPerSecond * 60.0 / opening().songTempo;
    if (quarter <= 0)
        return out;
    const double end = double(lastEnd(song));
    const QVector<MidiTimeSignature> &times = song.times;
    int next = 0;
    MidiTimeSignature signature;
    while (next < times.size() && times[next].tick <= 0)
        signature = times[next++];
    double bar = 0;
    for (int count = 0; bar <= end && count < kMostBars; ++count) {
        if (count > 0 && count % kBarsPerLine == 0)
            out << int(std::llround(qBound(0.0, unitsAt(qint64(bar)), 1e9)));
        bar += signature.numerator * 4.0 * quarter / signature.denominator;
        // A new time signature starts a new bar where it stands.
        if (next < times.size() && double(times[next].tick) <= bar) {
            bar = double(times[next].tick);
            while (next < times.size() && double(times[next].tick) <= bar)
                signature = times[next++];
        }
    }
    return out;
}

namespace {

// A note of the part on the grid, not yet rounded.
struct Struck {
    double start = 0;
    double end = 0;
    int pitch = 0;
};

constexpr double kHalf = 0.5 - 1e-9;

// Notes a third of a unit off the grid, as triplets are.
bool isTuplet(double start)
{
    const double off = std::fabs(start - std::round(start));
    return off > 0.1 && std::fabs(start * 3 - std::round(start * 3)) < 0.03;
}

}  // namespace

Line melody(const MidiSong &song, const Part &part, const Grid &grid)
{
    Line line;
    if (part.track < 0 || part.track >= song.tracks.size())
        return line;
    // Far beyond any score's length counts as the end.
    const auto units = [&](qint64 tick) { return qBound(0.0, grid.unitsAt(tick), 1e9); };
    QVector<Struck> notes;
    for (const MidiNote &n : song.tracks[part.track].notes) {
        if (part.channel >= 0 && n.channel != part.channel)
            continue;
        const double start = units(n.start);
        notes.append({start, qMax(start, units(n.end)), n.pitch});
    }
    // By onset; of notes struck together the highest first.
    std::stable_sort(notes.begin(), notes.end(), [](const Struck &a, const Struck &b) {
        return a.start != b.start ? a.start < b.start : a.pitch > b.pitch;
    });

    // Chords: notes struck within half a unit of the first that still sound
    // when the next of them is struck. Their highest note is the tune's.
    QVector<Struck> line1;
    for (int i = 0; i < notes.size();) {
        int j = i;
        while (j < notes.size() && notes[j].start - notes[i].start < kHalf)
            ++j;
        for (int k = i; k < j;) {
            Struck top = notes[k];
            double sounding = notes[k].end;
            int m = k + 1;
            for (; m < j && (notes[m].start <= notes[k].start || notes[m].start < sounding); ++m) {
                sounding = qMax(sounding, notes[m].end);
                if (notes[m].pitch > top.pitch)
                    top = notes[m];
                ++line.together;
            }
            line1 << top;
            k = m;
        }
        i = j;
    }

    // A note ends where the next one starts.
    const int count = int(line1.size());
    QVector<double> ends(count);
    for (int i = 0; i < count; ++i)
        ends[i] = i + 1 < count ? qMin(line1[i].end, line1[i + 1].start) : line1[i].end;

    // Of the notes that round to one unit, the longest stays (the last of
    // equals: a run ends on its goal note).
    QVector<int> kept;
    for (int i = 0; i < count;) {
        const qint64 unit = std::llround(line1[i].start);
        int best = i;
        int j = i + 1;
        for (; j < count && std::llround(line1[j].start) == unit; ++j) {
            if (ends[j] - line1[j].start >= ends[best] - line1[best].start - 1e-9)
                best = j;
            ++line.tooShort;
        }
        kept << best;
        i = j;
    }

    for (int k = 0; k < kept.size(); ++k) {
        const int i = kept[k];
        const int start = int(std::llround(line1[i].start));
        // Sounding until the last of it or of the short notes after it.
        const int nextIndex = k + 1 < kept.size() ? kept[k + 1] : count;
        double sounding = ends[i];
        for (int d = i + 1; d < nextIndex; ++d)
            sounding = qMax(sounding, ends[d]);
        int end = qMax(start + 1, int(std::llround(sounding)));
        if (nextIndex < count) {
            const int next = int(std::llround(line1[nextIndex].start));
            // Less than half a unit of silence is no rest.
            end = line1[nextIndex].start - sounding >= kHalf ? qMin(end, next) : next;
        }
        line.notes.append({start, end - start, line1[i].pitch});
        if (isTuplet(line1[i].start))
            ++line.offGrid;
    }
    return line;
}

}  // namespace SongMelody
