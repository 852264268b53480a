#include "songs/SongImport.h"

#include "performance/MelodyVoices.h"
#include "platform/files/TextFiles.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"
#include "songs/SongKey.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

using ScoreLanguage::kMaxNumber;
constexpr int kBarsPerLine = 4;

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
    explicit ScoreWriter(int lineUnits) : lineUnits_(qMax(8, lineUnits)), nextLine_(lineUnits_) {}

    bool full() const { return full_; }

    // What comes next belongs to the music at `unit`: a new line begins
    // every four bars.
    void at(int unit)
    {
        if (unit < nextLine_)
            return;
        if (!line_.isEmpty()) {
            lines_ << line_;
            line_.clear();
        }
        nextLine_ = (unit / lineUnits_ + 1) * lineUnits_;
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

    const int lineUnits_;
    QStringList lines_;
    QString line_;
    int length_ = 0;
    int current_ = 0;  // the player's current duration: 0 when it starts
    int nextLine_;
    bool full_ = false;
};

QString keyName(int key)
{
    return MelodyVoices::keyTexts().value(key);
}

int signatureKey(const MidiSong &song)
{
    return song.keys.isEmpty() ? -1 : SongKey::keyOfSignature(song.keys.first().sharps);
}

// Units of four bars of the song's first time signature.
int lineUnits(const MidiSong &song, const SongMelody::Tempo &tempo)
{
    const MidiTimeSignature t = song.times.isEmpty() ? MidiTimeSignature() : song.times.first();
    return int(std::lround(kBarsPerLine * t.numerator * 32.0 / t.denominator * tempo.beatsPerQuarter));
}

}  // namespace

namespace SongImport {

bool isMidiFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("mid") || suffix == QLatin1String("midi") || suffix == QLatin1String("kar"))
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "MThd";
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
        part = SongMelody::melodyPart(r.parts);
        if (part == 0) {
            r.error = QStringLiteral("MIDI文件中只有打击乐，没有可以作为旋律的音轨。");
            return r;
        }
    } else if (part < 1 || part > r.parts.size()) {
        r.error = QStringLiteral("MIDI文件中没有第%1轨，只有第1到第%2轨。").arg(part).arg(r.parts.size());
        return r;
    }
    r.part = part;
    r.tempo = SongMelody::chooseTempo(SongMelody::firstTempo(song));
    const SongMelody::Line line = SongMelody::melody(song, r.parts[part - 1], r.tempo);
    r.dropped = line.dropped;

    QVector<int> pitches;
    for (const SongMelody::Note &n : line.notes)
        pitches << n.pitch;
    r.keyPosition = SongKey::choose(pitches, signatureKey(song));
    const SongKey::Degrees degrees = SongKey::degrees(pitches, r.keyPosition);

    const QVector<SongMelody::TempoChange> changes = SongMelody::tempoChanges(song, r.tempo);
    int change = 0;
    int vs = r.tempo.vs;
    ScoreWriter w(lineUnits(song, r.tempo));
    w.command(QStringLiteral("VS"), vs);
    // Tempo changes up to `unit` are written before the token there.
    const auto tempoUpTo = [&](int unit) {
        int wanted = vs;
        while (change < changes.size() && changes[change].unit <= unit)
            wanted = changes[change++].vs;
        if (wanted != vs && w.command(QStringLiteral("VS"), wanted))
            vs = wanted;
    };
    const auto rest = [&](int start, int units) {
        while (units > 0 && !w.full()) {
            const int piece = qMin(units, kMaxNumber);
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
    QString speed = QStringLiteral("速度：乐曲每分钟%1拍，乐谱用VS%2（每分钟%3拍）")
                        .arg(qRound(tempo.songTempo))
                        .arg(tempo.vs)
                        .arg(tempo.scoreTempo);
    if (tempo.beatsPerQuarter < 1)
        speed += QStringLiteral("，时值缩短为原来的1/%1").arg(qRound(1 / tempo.beatsPerQuarter));
    else if (tempo.beatsPerQuarter > 1)
        speed += QStringLiteral("，时值延长为原来的%1倍").arg(qRound(tempo.beatsPerQuarter));
    s << speed + QStringLiteral("。");
    const QString key = keyName(keyPosition);
    s << QStringLiteral("调：%1。%2个音不在%1调音阶上，已移到最近的音级；%3个音超出五个八度，已移入五个八度之内。")
             .arg(key)
             .arg(movedToScale)
             .arg(foldedIn);
    if (dropped > 0)
        s << QStringLiteral("%1个同时发声的较低音已省略，只保留最高音。").arg(dropped);
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
