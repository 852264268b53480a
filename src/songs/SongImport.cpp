#include "songs/SongImport.h"

#include "performance/MelodyVoices.h"
#include "platform/files/TextFiles.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"
#include "songs/SongKey.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

using ScoreLanguage::kMaxNumber;

// The note code of a degree offset: octave letter, note letter.
QString codeOf(int offset)
{
    static const char octaves[] = "LWKHM";
    static const char letters[] = "C D EF G A B";
    return QString(QLatin1Char(octaves[offset / 12])) + QLatin1Char(letters[offset % 12]);
}

// Appends tokens as the score player reads them: a number only where the
// current duration changes, lines of four bars, and never more than a score
// holds (room is kept for the final "TZ").
class ScoreWriter {
public:
    // `lineStarts`: the units where lines begin, in order.
    explicit ScoreWriter(QVector<int> lineStarts) : lineStarts_(std::move(lineStarts)) {}

    bool full() const { return full_; }

    // What comes next belongs to the music at `unit`: a new line begins
    // every four bars.
    void at(int unit)
    {
        bool crossed = false;
        while (nextLine_ < lineStarts_.size() && lineStarts_[nextLine_] <= unit) {
            ++nextLine_;
            crossed = true;
        }
        if (crossed && !line_.isEmpty()) {
            lines_ << line_;
            line_.clear();
        }
    }

    // A token that takes `units`: a note or a rest.
    bool timed(const QString &token, int units)
    {
        return add(token + (units != current_ ? QString::number(units) : QString()), units);
    }

    // A command: its number is always written (and becomes the duration).
    bool command(const QString &token, int number) { return add(token + QString::number(number), number); }

    QStringList finish()
    {
        line_ += QStringLiteral("TZ");
        lines_ << line_;
        return lines_;
    }

private:
    bool add(const QString &text, int duration)
    {
        if (full_ || length_ + text.size() + 2 > ScoreReader::kMaxScoreLength) {
            full_ = true;
            return false;
        }
        line_ += text;
        length_ += int(text.size());
        current_ = duration;
        return true;
    }

    const QVector<int> lineStarts_;
    QStringList lines_;
    QString line_;
    int length_ = 0;
    int current_ = 0;  // the player's current duration: 0 when it starts
    qsizetype nextLine_ = 0;
    bool full_ = false;
};

QString keyName(int key)
{
    return MelodyVoices::keyTexts().value(key);
}

// The beat option (2/4, 3/4 or 4/4) for a time signature: one whose bar
// holds whole bars of the song or fits whole into one (6/8 as 3/4, 2/2 as
// 4/4), else the nearest.
int beatsFor(const MidiTimeSignature &t)
{
    const double quarters = t.numerator * 4.0 / t.denominator;
    if (quarters == 2 || quarters == 3 || quarters == 4)
        return int(quarters);
    for (int beats : {4, 3, 2}) {
        const double ratio = quarters > beats ? quarters / beats : beats / quarters;
        if (std::fabs(ratio - std::round(ratio)) < 1e-9)
            return beats;
    }
    return qBound(2, int(std::lround(quarters)), 4);
}

int signatureKey(const MidiSong &song)
{
    return song.keys.isEmpty() ? -1 : SongKey::keyOfSignature(song.keys.first().sharps);
}

// Minutes and seconds into the song.
QString timeText(double seconds)
{
    const int whole = int(std::lround(qMax(0.0, seconds)));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString durationsText(double beatsPerQuarter)
{
    if (beatsPerQuarter < 1)
        return QStringLiteral("时值缩短为原来的1/%1").arg(qRound(1 / beatsPerQuarter));
    if (beatsPerQuarter > 1)
        return QStringLiteral("时值延长为原来的%1倍").arg(qRound(beatsPerQuarter));
    return QString();
}

}  // namespace

namespace SongImport {

bool isMidiFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mid") || suffix == QLatin1String("midi") || suffix == QLatin1String("kar"))
        return true;
    // Only files are looked into: a pipe would wait for a writer.
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && file.read(4) == "MThd";
}

SongImportResult importFile(const QString &path, int part)
{
    MidiSong song;
    QString error;
    SongImportResult r;
    if (MidiFile::read(path, &song, &error))
        r = convert(song, part);
    else
        r.error = error;
    r.fileName = QFileInfo(path).fileName();
    return r;
}

QVector<HeardNote> partSound(const MidiSong &song, int number, int limitMs)
{
    const QVector<SongMelody::Part> parts = SongMelody::parts(song);
    QVector<HeardNote> out;
    if (number < 1 || number > parts.size())
        return out;
    const SongMelody::Part &part = parts[number - 1];
    const SongMelody::Grid grid(song);
    for (const MidiNote &n : song.tracks[part.track].notes) {
        if (part.channel >= 0 && n.channel != part.channel)
            continue;
        const int start = int(std::lround(grid.secondsAt(n.start) * 1000));
        if (start >= limitMs)
            continue;
        const int end = int(std::lround(grid.secondsAt(qMax(n.end, n.start)) * 1000));
        out.append({start, qMax(1, end - start), n.pitch});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const HeardNote &a, const HeardNote &b) { return a.startMs < b.startMs; });
    return out;
}

SongImportResult convert(const MidiSong &song, int part)
{
    SongImportResult r;
    r.warnings = song.warnings;
    r.parts = SongMelody::parts(song);
    if (r.parts.isEmpty()) {
        // Say why there are none when damage kept them from being read.
        if (!song.damagedTracks.isEmpty())
            r.error = QStringLiteral("MIDI文件已损坏，读不到任何音符，没有可以导入的旋律：\n%1")
                          .arg(song.warnings.join(QLatin1Char('\n')));
        else
            r.error = QStringLiteral("MIDI文件中没有音符，没有可以导入的旋律。");
        return r;
    }
    if (part == 0) {
        const SongMelody::Choice choice = SongMelody::chooseMelody(r.parts);
        part = choice.number;
        if (part == 0) {
            r.error = QStringLiteral("MIDI文件中只有打击乐，没有可以作为旋律的音轨。");
            return r;
        }
        r.partReason = choice.reason;
    } else if (part < 1 || part > r.parts.size()) {
        r.error = QStringLiteral("MIDI文件中没有第%1轨，只有第1到第%2轨。").arg(part).arg(r.parts.size());
        return r;
    } else {
        r.partReason = QStringLiteral("这是指定的音轨。");
    }
    r.part = part;
    if (!song.times.isEmpty()) {
        const MidiTimeSignature &t = song.times.first();
        r.beatsPerBar = beatsFor(t);
        r.songTime = QStringLiteral("%1/%2").arg(t.numerator).arg(t.denominator);
        for (int i = 1; i < song.times.size(); ++i) {
            const MidiTimeSignature &before = song.times[i - 1];
            if (song.times[i].numerator != before.numerator || song.times[i].denominator != before.denominator)
                ++r.timeChanges;
        }
    }
    const SongMelody::Grid grid(song);
    r.tempo = grid.opening();
    const SongMelody::Line line = SongMelody::melody(song, r.parts[part - 1], grid);
    r.together = line.together;
    r.tooShort = line.tooShort;
    r.offGrid = line.offGrid;
    for (int i = 1; i < grid.sections().size(); ++i) {
        const SongMelody::Section &s = grid.sections()[i];
        const double beats = s.tempo.beatsPerQuarter;
        const QString where = QStringLiteral("%1处每分钟%2拍用VS%3（每分钟%4拍）")
                                  .arg(timeText(s.seconds))
                                  .arg(qRound(s.tempo.songTempo))
                                  .arg(s.tempo.vs)
                                  .arg(s.tempo.scoreTempo);
        if (beats != grid.sections()[i - 1].tempo.beatsPerQuarter)
            r.durationNotes << where + QStringLiteral("，")
                                   + (beats == 1 ? QStringLiteral("时值恢复原样") : durationsText(beats));
        // Farther than the tempo commands' steps and halving or doubling reach.
        const double mismatch = s.mismatch();
        if (std::fabs(mismatch) > 0.025)
            r.tempoNotes << where + (mismatch > 0 ? QStringLiteral("，快了%1%") : QStringLiteral("，慢了%1%"))
                                        .arg(qRound(std::fabs(mismatch) * 100));
    }

    QVector<int> pitches;
    for (const SongMelody::Note &n : line.notes)
        pitches << n.pitch;
    r.keyPosition = SongKey::choose(pitches, signatureKey(song));
    const SongKey::Degrees degrees = SongKey::degrees(pitches, r.keyPosition);

    const QVector<SongMelody::TempoChange> changes = grid.changes();
    int change = 0;
    int vs = r.tempo.vs;
    ScoreWriter w(grid.lineStarts(song));
    w.command(QStringLiteral("VS"), vs);
    // Tempo changes up to `unit` are written before the token there.
    const auto tempoUpTo = [&](int unit) {
        int wanted = vs;
        bool late = false;
        while (change < changes.size() && changes[change].unit <= unit) {
            late = late || changes[change].unit < unit;
            wanted = changes[change++].vs;
        }
        if (wanted != vs && w.command(QStringLiteral("VS"), wanted)) {
            vs = wanted;
            ++r.tempoChanges;
            r.lateTempos += late ? 1 : 0;
        }
    };
    // A rest is split where the tempo changes, so the change is on time.
    const auto rest = [&](int start, int units) {
        while (units > 0 && !w.full()) {
            int piece = qMin(units, kMaxNumber);
            if (change < changes.size() && changes[change].unit > start)
                piece = qMin(piece, changes[change].unit - start);
            w.at(start);
            tempoUpTo(start);
            w.timed(QStringLiteral("XZ"), piece);
            start += piece;
            units -= piece;
        }
    };

    int time = 0;
    for (int i = 0; i < line.notes.size() && !w.full(); ++i) {
        const SongMelody::Note &n = line.notes[i];
        rest(time, n.start - time);
        w.at(n.start);
        tempoUpTo(n.start);
        const int length = qMin(n.length, kMaxNumber);
        if (!w.timed(codeOf(degrees.offsets[i]), length))
            break;
        ++r.notes;
        if (length < n.length) {
            ++r.shortened;
            rest(n.start + length, n.length - length);
        }
        time = n.start + n.length;
    }
    if (r.notes == 0) {
        // Rests up to the longest score and not one note: nothing of the song.
        r.error = QStringLiteral("MIDI文件的第一个音符离开头太远：乐谱最长%1个字符，写完它前面的休止符就没有地方写音符了，"
                                 "没有可以导入的旋律。")
                      .arg(ScoreReader::kMaxScoreLength);
        return r;
    }
    r.leftOut = int(line.notes.size()) - r.notes;
    const SongKey::Degrees written = r.leftOut > 0 ? SongKey::degrees(pitches.mid(0, r.notes), r.keyPosition) : degrees;
    r.movedToScale = written.movedToScale;
    r.foldedIn = written.foldedIn;
    r.lines = w.finish();
    r.score = r.lines.join(QString());
    r.ok = true;
    return r;
}

}  // namespace SongImport

QStringList SongImportResult::partLines() const
{
    QStringList out;
    for (const SongMelody::Part &p : parts) {
        QStringList channels;
        for (int c : p.channels)
            channels << QString::number(c + 1);
        out << QStringLiteral("第%1轨%2：%3个音符，通道%4%5")
                   .arg(p.number)
                   .arg(p.name.isEmpty() ? QString() : QStringLiteral("“%1”").arg(p.name))
                   .arg(p.notes)
                   .arg(channels.join(QLatin1Char(',')))
                   .arg(p.percussion ? QStringLiteral("（打击乐）") : QString());
    }
    return out;
}

QString SongImportResult::summary() const
{
    if (!ok)
        return error;
    const SongMelody::Part &p = parts[part - 1];
    QStringList s;
    s << QStringLiteral("旋律取自第%1轨%2，共%3个音符。")
             .arg(part)
             .arg(p.name.isEmpty() ? QString() : QStringLiteral("“%1”").arg(p.name))
             .arg(notes);
    if (parts.size() > 1 && !partReason.isEmpty())
        s << QStringLiteral("选择理由：") + partReason;
    QString speed = QStringLiteral("速度：乐曲每分钟%1拍，乐谱用VS%2（每分钟%3拍）")
                        .arg(qRound(tempo.songTempo))
                        .arg(tempo.vs)
                        .arg(tempo.scoreTempo);
    const QString durations = durationsText(tempo.beatsPerQuarter);
    if (!durations.isEmpty())
        speed += QStringLiteral("，") + durations;
    s << speed + QStringLiteral("。");
    // Long lists of tempo events (a slow ending in small steps) are cut.
    const auto some = [](const QStringList &items) {
        constexpr int kShown = 3;
        QString text = items.mid(0, kShown).join(QStringLiteral("；"));
        if (items.size() > kShown)
            text += QStringLiteral("……共%1处").arg(items.size());
        return text;
    };
    if (tempoChanges > 0)
        s << QStringLiteral("乐曲中途的速度变化已用%1个VS命令跟随。").arg(tempoChanges);
    if (!durationNotes.isEmpty())
        s << QStringLiteral("时值的缩放随速度改变：%1。").arg(some(durationNotes));
    if (!tempoNotes.isEmpty())
        s << QStringLiteral("这些速度无法准确对应：%1。").arg(some(tempoNotes));
    if (lateTempos > 0)
        s << QStringLiteral("%1处速度变化落在一个音的中间，从下一个音或休止起才生效。").arg(lateTempos);
    if (beatsPerBar > 0) {
        const QString beats = QStringLiteral("%1/4").arg(beatsPerBar);
        QString time = songTime == beats ? QStringLiteral("拍子：%1").arg(beats)
                                         : QStringLiteral("拍子：乐曲为%1拍，按%2拍分小节").arg(songTime, beats);
        if (timeChanges > 0)
            time += QStringLiteral("；乐曲中途%1次改变拍子，只按开头的拍子").arg(timeChanges);
        s << time + QStringLiteral("。");
    }
    const QString key = keyName(keyPosition);
    // Only what was changed is said: a tune that fits needs no "0 notes moved".
    QStringList keyChanges;
    if (movedToScale > 0)
        keyChanges << QStringLiteral("%1个音不在%2调音阶上，已移到最近的音级").arg(movedToScale).arg(key);
    if (foldedIn > 0)
        keyChanges << QStringLiteral("%1个音超出五个八度，已移入五个八度之内").arg(foldedIn);
    s << QStringLiteral("调：%1。").arg(key) +
             (keyChanges.isEmpty() ? QString() : keyChanges.join(QStringLiteral("；")) + QStringLiteral("。"));
    if (together > 0)
        s << QStringLiteral("%1个同时发声的较低音已省略，只保留最高音。").arg(together);
    if (tooShort > 0)
        s << QStringLiteral("%1个音太短，和较长的音落在同一个时值单位上，已省略。").arg(tooShort);
    if (offGrid > 0)
        s << QStringLiteral("%1个三连音等不在时值单位上的音已移到最近的时值单位，节奏略有不均。").arg(offGrid);
    if (shortened > 0)
        s << QStringLiteral("%1个音长于%2个时值单位，已截短。").arg(shortened).arg(kMaxNumber);
    if (leftOut > 0)
        s << QStringLiteral("乐谱最长%1个字符，后面的%2个音没有导入。").arg(ScoreReader::kMaxScoreLength).arg(leftOut);
    return s.join(QLatin1Char('\n'));
}

QByteArray SongImportResult::fileBytes() const
{
    return TextFiles::encodeGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}
