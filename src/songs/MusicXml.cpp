#include "songs/MusicXml.h"

#include "chords/SoundEffects.h"
#include "performance/MelodyVoices.h"
#include "platform/files/TextFiles.h"
#include "rhythm/RhythmPattern.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"
#include "score/ScorePlayer.h"
#include "songs/SongKey.h"

#include <QFileInfo>
#include <QMap>
#include <QXmlStreamWriter>

#include <algorithm>
#include <array>

namespace MusicXml {

namespace {

using ScoreTimeline::Event;
using ScoreTimeline::Kind;

constexpr int kDivisions = 8;  // per quarter note: one score unit
constexpr int kHeldUnits = 8;  // a note the player stays on is written one beat long

// Per key list position: the letter of its tonic (0 C .. 6 B), spelled as
// SongKey::signatureOfKey writes the key.
constexpr std::array<int, 12> kTonicLetter{0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
constexpr std::array<int, 7> kLetterPitch{0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 12> kDegreeOfOffset{0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};

struct Spelling {
    QChar step;
    int alter = 0;
    int octave = 4;
};

// Degree 0..6 of the key at MIDI note `midi` (which must sound that degree).
Spelling spell(int keyPosition, int degree, int midi)
{
    const int letter = (kTonicLetter[size_t(keyPosition)] + degree) % 7;
    const int natural = kLetterPitch[size_t(letter)];
    Spelling s;
    s.step = QLatin1Char("CDEFGAB"[letter]);
    s.alter = ((midi % 12 - natural) % 12 + 18) % 12 - 6;
    s.octave = (midi - s.alter - natural) / 12 - 1;
    return s;
}

// A length within one bar as written note values: whole, half, quarter …
// 32nd, with one dot where it fits.
struct Shape {
    int units;
    const char *type;
    bool dot;
};
constexpr std::array<Shape, 10> kShapes{{{32, "whole", false}, {24, "half", true}, {16, "half", false},
                                         {12, "quarter", true}, {8, "quarter", false}, {6, "eighth", true},
                                         {4, "eighth", false}, {3, "16th", true}, {2, "16th", false},
                                         {1, "32nd", false}}};

QVector<Shape> shapesOf(int units)
{
    QVector<Shape> out;
    for (const Shape &s : kShapes) {
        while (units >= s.units) {
            out << s;
            units -= s.units;
        }
    }
    return out;
}

// The text with what XML cannot hold (control characters, U+FFFE, U+FFFF,
// a half of a surrogate pair) shown as U+FFFD: a title comes from a file
// name, which may hold anything.
QString xmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            out += text[i];
            out += text[++i];
            continue;
        }
        const bool allowed = (c >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r') && c != 0xFFFE && c != 0xFFFF
                             && !QChar::isSurrogate(c);
        out += allowed ? text[i] : QChar(QChar::ReplacementCharacter);
    }
    return out;
}

QString instrumentName(int position)
{
    QString text = MelodyVoices::instrumentTexts().value(position);
    text = text.mid(text.indexOf(QLatin1Char('.')) + 1).trimmed();
    return text;
}

QString combinationWords(int row)
{
    const InstrumentCombination *c = MelodyVoices::combination(row);
    if (!c)
        return QString();
    QStringList names;
    for (qint16 p : c->positions) {
        if (p > 0)
            names << instrumentName(p);
    }
    return QStringLiteral("组合%1（%2）").arg(QString::fromUtf8(c->word), names.join(QStringLiteral("、")));
}

QString rhythmWords(int n)
{
    switch (ScoreLanguage::rhythmCommand(n)) {
    case ScoreLanguage::RhythmCommand::BuiltIn:
        return RhythmPattern::builtInRhythmName(n);
    case ScoreLanguage::RhythmCommand::Off:
        return QStringLiteral("节奏停");
    default:
        return QStringLiteral("节奏文件%1").arg(ScoreLanguage::rhythmFileEntry(n) + 1);
    }
}

// One written note or rest: a piece of a timeline event within a bar.
struct Piece {
    const Event *event = nullptr;  // nullptr: a rest that fills the last bar
    int start = 0;
    int units = 0;
    bool first = true;   // the event's first piece
    bool last = true;    // its last piece
    bool wholeBar = false;
};

class Writer {
public:
    Writer(const ScoreTimeline::Timeline &t, const Options &o)
        : t_(t), o_(o), key_(qBound(0, o.keyPosition, 11)), bar_(qBound(2, o.beatsPerBar, 4) * kDivisions)
    {
    }

    QByteArray write(int *measures)
    {
        collect();
        QByteArray bytes;
        QXmlStreamWriter x(&bytes);
        x.setAutoFormatting(true);
        x.setAutoFormattingIndent(2);
        x.writeStartDocument();
        x.writeDTD(QStringLiteral("<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
                                  "\"http://www.musicxml.org/dtds/partwise.dtd\">"));
        x.writeStartElement(QStringLiteral("score-partwise"));
        x.writeAttribute(QStringLiteral("version"), QStringLiteral("3.1"));
        if (!o_.title.isEmpty()) {
            x.writeStartElement(QStringLiteral("work"));
            x.writeTextElement(QStringLiteral("work-title"), xmlText(o_.title));
            x.writeEndElement();
        }
        x.writeStartElement(QStringLiteral("identification"));
        x.writeStartElement(QStringLiteral("encoding"));
        x.writeTextElement(QStringLiteral("software"), QStringLiteral("Quorvane电子琴"));
        x.writeEndElement();
        x.writeEndElement();
        writePartList(x);
        x.writeStartElement(QStringLiteral("part"));
        x.writeAttribute(QStringLiteral("id"), QStringLiteral("P1"));
        const int count = writeMeasures(x);
        x.writeEndElement();  // part
        x.writeEndElement();  // score-partwise
        x.writeEndDocument();
        if (measures)
            *measures = count;
        return bytes;
    }

private:
    // Pieces of every note and rest, cut at bar lines and where a command
    // acts in the middle of a note; a last bar filled up with rests.
    void collect()
    {
        QVector<int> cuts;  // in time order, as the events are
        for (const Event &e : t_.events) {
            if (e.kind != Kind::Note && e.kind != Kind::Rest) {
                directions_[e.start].append(&e);
                cuts << e.start;
            }
        }
        int end = 0;
        for (const Event &e : t_.events) {
            if (e.kind != Kind::Note && e.kind != Kind::Rest)
                continue;
            const int length = e.held ? kHeldUnits : e.length;
            int at = e.start;
            while (at < e.start + length) {
                int next = qMin(e.start + length, (at / bar_ + 1) * bar_);
                const auto cut = std::upper_bound(cuts.cbegin(), cuts.cend(), at);
                if (cut != cuts.cend())
                    next = qMin(next, *cut);
                Piece p;
                p.event = &e;
                p.start = at;
                p.units = next - at;
                p.first = at == e.start;
                p.last = next == e.start + length;
                pieces_ << p;
                at = next;
            }
            end = e.start + length;
        }
        end_ = end;
        // The last bar is filled with rests, and there is always one bar.
        const int fill = end == 0 ? bar_ : (bar_ - end % bar_) % bar_;
        if (fill > 0) {
            Piece p;
            p.start = end;
            p.units = fill;
            pieces_ << p;
        }
        for (Piece &p : pieces_) {
            const bool rest = !p.event || p.event->kind == Kind::Rest;
            p.wholeBar = rest && p.units == bar_ && p.start % bar_ == 0 && !(p.event && p.event->held);
        }
    }

    void writePartList(QXmlStreamWriter &x) const
    {
        const int row = ScoreTimeline::firstCombination(t_);
        x.writeStartElement(QStringLiteral("part-list"));
        x.writeStartElement(QStringLiteral("score-part"));
        x.writeAttribute(QStringLiteral("id"), QStringLiteral("P1"));
        x.writeTextElement(QStringLiteral("part-name"), partName(row));
        x.writeStartElement(QStringLiteral("score-instrument"));
        x.writeAttribute(QStringLiteral("id"), QStringLiteral("P1-I1"));
        x.writeTextElement(QStringLiteral("instrument-name"), partName(row));
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("midi-instrument"));
        x.writeAttribute(QStringLiteral("id"), QStringLiteral("P1-I1"));
        x.writeTextElement(QStringLiteral("midi-channel"), QStringLiteral("1"));
        x.writeTextElement(QStringLiteral("midi-program"), QString::number(partProgram(row)));
        x.writeEndElement();
        x.writeEndElement();
        x.writeEndElement();
    }

    int writeMeasures(QXmlStreamWriter &x)
    {
        int measure = -1;
        int shownAt = -1;  // the time whose commands were written last
        for (const Piece &p : std::as_const(pieces_)) {
            if (p.start / bar_ != measure) {
                if (measure >= 0)
                    x.writeEndElement();
                measure = p.start / bar_;
                x.writeStartElement(QStringLiteral("measure"));
                x.writeAttribute(QStringLiteral("number"), QString::number(measure + 1));
                if (measure == 0)
                    writeAttributes(x);
            }
            if (p.start != shownAt) {
                writeDirections(x, p.start);
                shownAt = p.start;
            }
            if (p.event && p.event->kind == Kind::Note && p.first && p.event->chord > 0)
                writeHarmony(x, p.event->chord);
            writePiece(x, p);
        }
        // Commands after the last note: at the end of its bar.
        if (shownAt != end_)
            writeDirections(x, end_);
        if (t_.ending == ScoreTimeline::Ending::End || t_.ending == ScoreTimeline::Ending::TextEnd) {
            x.writeStartElement(QStringLiteral("barline"));
            x.writeAttribute(QStringLiteral("location"), QStringLiteral("right"));
            x.writeTextElement(QStringLiteral("bar-style"), QStringLiteral("light-heavy"));
            x.writeEndElement();
        }
        x.writeEndElement();  // measure
        return measure + 1;
    }

    void writeAttributes(QXmlStreamWriter &x) const
    {
        x.writeStartElement(QStringLiteral("attributes"));
        x.writeTextElement(QStringLiteral("divisions"), QString::number(kDivisions));
        x.writeStartElement(QStringLiteral("key"));
        x.writeTextElement(QStringLiteral("fifths"), QString::number(SongKey::signatureOfKey(key_)));
        x.writeTextElement(QStringLiteral("mode"), QStringLiteral("major"));
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("time"));
        x.writeTextElement(QStringLiteral("beats"), QString::number(bar_ / kDivisions));
        x.writeTextElement(QStringLiteral("beat-type"), QStringLiteral("4"));
        x.writeEndElement();
        // Low melodies read better in the bass clef.
        QVector<int> pitches;
        for (const Event &e : t_.events) {
            if (e.kind == Kind::Note)
                pitches << e.offset;
        }
        std::sort(pitches.begin(), pitches.end());
        const bool bass = !pitches.isEmpty() && 36 + key_ + pitches[pitches.size() / 2] < 57;
        x.writeStartElement(QStringLiteral("clef"));
        x.writeTextElement(QStringLiteral("sign"), bass ? QStringLiteral("F") : QStringLiteral("G"));
        x.writeTextElement(QStringLiteral("line"), bass ? QStringLiteral("4") : QStringLiteral("2"));
        x.writeEndElement();
        x.writeEndElement();
        writeTempo(x, t_.tempoAt(0));
    }

    // The mark shows the tempo list's number; the sound plays the player's
    // real speed, whose eighth of a beat is a whole number of milliseconds.
    static void writeTempo(QXmlStreamWriter &x, int tempo)
    {
        x.writeStartElement(QStringLiteral("direction"));
        x.writeAttribute(QStringLiteral("placement"), QStringLiteral("above"));
        x.writeStartElement(QStringLiteral("direction-type"));
        x.writeStartElement(QStringLiteral("metronome"));
        x.writeTextElement(QStringLiteral("beat-unit"), QStringLiteral("quarter"));
        x.writeTextElement(QStringLiteral("per-minute"), QString::number(tempo));
        x.writeEndElement();
        x.writeEndElement();
        x.writeEmptyElement(QStringLiteral("sound"));
        x.writeAttribute(QStringLiteral("tempo"),
                         QString::number(7500.0 / MelodyVoices::eighthBeatMsFor(tempo), 'f', 6));
        x.writeEndElement();
    }

    static void writeWords(QXmlStreamWriter &x, const QString &words)
    {
        x.writeStartElement(QStringLiteral("direction"));
        x.writeAttribute(QStringLiteral("placement"), QStringLiteral("above"));
        x.writeStartElement(QStringLiteral("direction-type"));
        x.writeTextElement(QStringLiteral("words"), words);
        x.writeEndElement();
        x.writeEndElement();
    }

    void writeDirections(QXmlStreamWriter &x, int at) const
    {
        const QVector<const Event *> events = directions_.value(at);
        const Event *tempo = nullptr;
        for (const Event *e : events) {
            switch (e->kind) {
            case Kind::Tempo:
                tempo = e;  // of several at one moment the last one holds
                break;
            case Kind::Instruments:
                writeWords(x, combinationWords(e->number));
                break;
            case Kind::Rhythm:
                writeWords(x, rhythmWords(e->number));
                break;
            case Kind::Effect:
                writeWords(x, SoundEffects::effectTable()[size_t(e->number - 1)].name);
                break;
            default:
                break;
            }
        }
        if (tempo && at > 0)
            writeTempo(x, ScoreLanguage::tempoOf(tempo->number));
        if (at == t_.length && t_.ending == ScoreTimeline::Ending::Halted)
            writeWords(x, QStringLiteral("演奏在这里停住"));
    }

    void writeHarmony(QXmlStreamWriter &x, int chord) const
    {
        const int degree = chord - 1;
        const Spelling root = spell(key_, degree, 60 + key_ + kLetterPitch[size_t(degree)]);
        x.writeStartElement(QStringLiteral("harmony"));
        x.writeStartElement(QStringLiteral("root"));
        x.writeTextElement(QStringLiteral("root-step"), root.step);
        if (root.alter != 0)
            x.writeTextElement(QStringLiteral("root-alter"), QString::number(root.alter));
        x.writeEndElement();
        // Chords on 1, 4 and 5 are major, on 2, 3 and 6 minor.
        const bool major = chord == 1 || chord == 4 || chord == 5;
        x.writeTextElement(QStringLiteral("kind"), major ? QStringLiteral("major") : QStringLiteral("minor"));
        x.writeEndElement();
    }

    void writePiece(QXmlStreamWriter &x, const Piece &p) const
    {
        const bool note = p.event && p.event->kind == Kind::Note;
        const bool held = p.event && p.event->held;
        if (p.wholeBar) {
            x.writeStartElement(QStringLiteral("note"));
            x.writeEmptyElement(QStringLiteral("rest"));
            x.writeAttribute(QStringLiteral("measure"), QStringLiteral("yes"));
            x.writeTextElement(QStringLiteral("duration"), QString::number(p.units));
            x.writeTextElement(QStringLiteral("voice"), QStringLiteral("1"));
            x.writeEndElement();
            return;
        }
        const QVector<Shape> shapes = shapesOf(p.units);
        for (int i = 0; i < shapes.size(); ++i) {
            const bool tieStop = note && (i > 0 || !p.first);
            const bool tieStart = note && (i + 1 < shapes.size() || !p.last);
            x.writeStartElement(QStringLiteral("note"));
            if (note) {
                const int offset = p.event->offset;
                const Spelling s = spell(key_, kDegreeOfOffset[size_t(offset % 12)], 36 + key_ + offset);
                x.writeStartElement(QStringLiteral("pitch"));
                x.writeTextElement(QStringLiteral("step"), s.step);
                if (s.alter != 0)
                    x.writeTextElement(QStringLiteral("alter"), QString::number(s.alter));
                x.writeTextElement(QStringLiteral("octave"), QString::number(s.octave));
                x.writeEndElement();
            } else {
                x.writeEmptyElement(QStringLiteral("rest"));
            }
            x.writeTextElement(QStringLiteral("duration"), QString::number(shapes[i].units));
            for (const auto &[on, type] : {std::pair{tieStop, "stop"}, std::pair{tieStart, "start"}}) {
                if (on) {
                    x.writeEmptyElement(QStringLiteral("tie"));
                    x.writeAttribute(QStringLiteral("type"), QLatin1String(type));
                }
            }
            x.writeTextElement(QStringLiteral("voice"), QStringLiteral("1"));
            x.writeTextElement(QStringLiteral("type"), QLatin1String(shapes[i].type));
            if (shapes[i].dot)
                x.writeEmptyElement(QStringLiteral("dot"));
            const bool fermata = held && i + 1 == shapes.size() && p.last;
            if (tieStop || tieStart || fermata) {
                x.writeStartElement(QStringLiteral("notations"));
                for (const auto &[on, type] : {std::pair{tieStop, "stop"}, std::pair{tieStart, "start"}}) {
                    if (on) {
                        x.writeEmptyElement(QStringLiteral("tied"));
                        x.writeAttribute(QStringLiteral("type"), QLatin1String(type));
                    }
                }
                if (fermata)
                    x.writeEmptyElement(QStringLiteral("fermata"));
                x.writeEndElement();
            }
            x.writeEndElement();
        }
    }

    const ScoreTimeline::Timeline &t_;
    const Options &o_;
    const int key_;
    const int bar_;  // units of a bar
    QVector<Piece> pieces_;
    QMap<int, QVector<const Event *>> directions_;
    int end_ = 0;
};

QString errorPlace(const ScoreTimeline::Timeline &t)
{
    if (!t.errorToken.isEmpty())
        return QStringLiteral("出错的位置：第%1个字符“%2”。").arg(t.endPosition).arg(t.errorToken);
    if (t.endPosition <= 1)
        return QStringLiteral("乐谱是空的。");
    return QStringLiteral("出错的位置：第%1个字符，乐谱在这里意外结束（乐谱应以TZ结束）。").arg(t.endPosition);
}

}  // namespace

bool isMusicXmlFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("musicxml") || suffix == QLatin1String("xml");
}

QString partName(int combinationRow)
{
    const InstrumentCombination *c = MelodyVoices::combination(combinationRow);
    return instrumentName(c ? c->positions[0] : 15);
}

int partProgram(int combinationRow)
{
    const InstrumentCombination *c = MelodyVoices::combination(combinationRow);
    return qBound(1, int(c ? c->positions[0] : 15), 128);
}

QByteArray document(const ScoreTimeline::Timeline &timeline, const Options &options, int *measures)
{
    return Writer(timeline, options).write(measures);
}

Export exportScore(const QString &score, const QString &path, const Options &options)
{
    Export r;
    if (!ScoreReader::withinLengthLimit(score)) {
        r.status = Export::Failed;
        r.message = ScoreReader::tooLongMessage();
        return r;
    }
    const ScoreTimeline::Timeline t = ScoreTimeline::read(score);
    const QByteArray bytes = document(t, options, &r.measures);
    r.notes = t.notes;
    QString error;
    if (!TextFiles::writeBytes(path, bytes, &error)) {
        r.status = Export::Failed;
        r.message = QStringLiteral("无法写入MusicXML文件“%1”：%2").arg(QFileInfo(path).fileName(), error);
        return r;
    }
    switch (t.ending) {
    case ScoreTimeline::Ending::Error:
        r.status = Export::ScoreError;
        r.message = ScorePlayer::errorMessage() + QLatin1Char('\n') + errorPlace(t);
        break;
    case ScoreTimeline::Ending::Halted:
        r.notice = QStringLiteral("乐谱在第%1个字符处停住了（速度命令VS的数字只能是1到12），导出到此为止。")
                       .arg(t.endPosition);
        break;
    case ScoreTimeline::Ending::Held:
        r.notice = QStringLiteral("乐谱在第%1个字符处时值为0的音符或休止符上停住了（它永远不会结束），"
                                  "这个音写成一拍并加上延长记号，导出到此为止。")
                       .arg(t.endPosition);
        break;
    default:
        break;
    }
    return r;
}

}  // namespace MusicXml
