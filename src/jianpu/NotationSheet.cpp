#include "jianpu/NotationSheet.h"

#include "chords/ChordAccompaniment.h"
#include "chords/SoundEffects.h"
#include "performance/MelodyVoices.h"
#include "rhythm/RhythmPattern.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"

#include <algorithm>

namespace Notation {

namespace {

using ScoreReader::TokenKind;

QString errorToolTip(const QString &text)
{
    return QStringLiteral("乐谱中出现错误，请修改！\n无法识别：“%1”").arg(text);
}

// The shape of one cell of `length` eighths: 8 a plain digit, 12 dotted,
// 4 / 2 / 1 one to three underlines, 6 underlined and dotted.
void shapeCell(Cell &c, int length)
{
    c.length = length;
    switch (length) {
    case 1: c.underlines = 3; break;
    case 2: c.underlines = 2; break;
    case 4: c.underlines = 1; break;
    case 6: c.underlines = 1; c.dotted = true; break;
    case 12: c.dotted = true; break;
    default: break;
    }
}

// What an error cell shows of faulty characters: the first few, on one line.
QString shownError(QStringView text)
{
    const int shown = 12;
    QString s = text.left(shown).toString();
    if (text.size() > shown)
        s += QStringLiteral("…");
    return s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

class Reader {
public:
    explicit Reader(const Options &options) : options_(options)
    {
        sheet.beatsPerBar = qBound(2, options.beatsPerBar, 4);
        sheet.tempo = options.tempo;
    }

    void read(const QString &text)
    {
        const QStringView score(text);
        const int n = int(score.size());
        // The player refuses a longer score; drawing stops there too, before
        // the first token that runs past the limit, so that no text is too
        // long to show.
        const int limit = qMin(n, ScoreLanguage::kMaxScoreLength);
        int pos = 1;
        qint16 duration = 0;
        while (pos <= limit) {
            const ScoreReader::ReadResult t = ScoreReader::readToken(score, pos);
            if (qMax(t.end, pos + int(t.token.size()) - 1) > limit)
                break;
            const TokenKind kind = ScoreReader::kindOf(t);
            if (kind == TokenKind::Unrecognised) {
                // A chord command with a bad number goes whole; anything else
                // one character at a time, so the music after a typing
                // mistake is still shown. Neighbouring faults make one mark.
                const bool badChord = ScoreReader::classify(t.token) == TokenKind::Chord;
                const int next = badChord ? t.end + 1 : pos + 1;
                if (errorText_.isEmpty())
                    errorPosition_ = pos;
                errorText_ += score.mid(pos - 1, next - pos);
                pos = next;
                continue;
            }
            flushError();
            duration = t.durationAfter(duration);
            const int sourceLength = t.end - pos + 1;
            execute(t, kind, duration, pos, sourceLength);
            if (kind == TokenKind::End)
                end();
            // The last token without a number: the player would read its
            // second letter again and fail. While a performance is being
            // written the text always ends so, so it is not shown as a fault.
            if (!t.hasNumber && t.end == pos && pos >= n - 1) {
                pos = n + 1;
                break;
            }
            pos = t.end + 1;
        }
        flushError();
        flushMarks();
        if (pos <= n && n > limit)
            cut(score.mid(pos - 1), pos);
        sheet.length = time_;
    }

    Sheet sheet;

private:
    void execute(const ScoreReader::ReadResult &t, TokenKind kind, int duration, int pos, int sourceLength)
    {
        const int n = t.number;
        lastPosition_ = pos;
        switch (kind) {
        case TokenKind::Tempo:
            if (t.hasNumber && ScoreLanguage::isTempo(n)) {
                const int tempo = ScoreLanguage::tempoOf(n);
                if (!timed_)
                    sheet.tempo = tempo;  // shown in the header instead
                else
                    pending_ << Mark{QStringLiteral("♩=%1").arg(tempo),
                                     QStringLiteral("速度命令VS%1：每分钟%2拍").arg(n).arg(tempo)};
            } else {
                pending_ << Mark{t.token + (t.hasNumber ? QString::number(n) : QString()),
                                 QStringLiteral("速度命令VS后面的数字只能是1到12：演奏到这里会停住。"), true};
            }
            break;
        case TokenKind::Chord: {
            const QString name = ChordAccompaniment::chordTable()[size_t(n - 1)].name;
            pending_ << Mark{QStringLiteral("和弦%1").arg(name),
                             QStringLiteral("和弦命令HX%1：下一个音带上和弦%2").arg(n).arg(name)};
            break;
        }
        case TokenKind::Effect: {
            const int wait = ScoreLanguage::effectWait(n);
            if (wait == 0)
                break;  // the player skips it
            const QString name = SoundEffects::effectTable()[size_t(n - 1)].name;
            pending_ << Mark{name, QStringLiteral("特殊音效命令YX%1：%2").arg(n).arg(name)};
            // The effect takes time while the last note sounds on.
            if (lastWasNote_)
                place(CellKind::Note, lastDigit_, lastOctave_, wait, pos, sourceLength, true);
            else
                place(CellKind::Rest, 0, 0, wait, pos, sourceLength, false);
            timed_ = true;
            break;
        }
        case TokenKind::Rhythm: {
            using ScoreLanguage::RhythmCommand;
            const RhythmCommand command = ScoreLanguage::rhythmCommand(n);
            QString name;
            if (command == RhythmCommand::BuiltIn)
                name = RhythmPattern::builtInRhythmName(n);
            else if (command == RhythmCommand::File)
                name = options_.rhythmFileName ? options_.rhythmFileName(n) : QString();
            if (command == RhythmCommand::File && name.isEmpty())
                name = QStringLiteral("节奏文件%1").arg(ScoreLanguage::rhythmFileEntry(n) + 1);
            if (command == RhythmCommand::Off)
                name = QStringLiteral("节奏停");
            if (!name.isEmpty())
                pending_ << Mark{name, QStringLiteral("节奏命令JP%1：%2").arg(n).arg(name)};
            break;
        }
        case TokenKind::Instruments: {
            const int row = ScoreLanguage::combinationOf(n);
            const InstrumentCombination *combination = MelodyVoices::combination(row);
            const QStringList instruments = MelodyVoices::instrumentTexts();
            QStringList names;
            for (qint16 p : combination->positions) {
                if (p > 0)
                    names << instruments.value(p);
            }
            const QString word = QString::fromUtf8(combination->word);
            pending_ << Mark{QStringLiteral("组合%1").arg(word),
                             QStringLiteral("乐器组合命令YQ%1：组合%2（%3）")
                                 .arg(t.hasNumber ? QString::number(n) : QString(), word, names.join(QStringLiteral("、")))};
            break;
        }
        case TokenKind::Note: {
            int digit = 0;
            int octave = 0;
            digitOf(t.token, &digit, &octave);
            place(CellKind::Note, digit, octave, duration, pos, sourceLength, false);
            lastWasNote_ = duration > 0;
            lastDigit_ = digit;
            lastOctave_ = octave;
            timed_ = true;
            break;
        }
        case TokenKind::Rest:
            place(CellKind::Rest, 0, 0, duration, pos, sourceLength, false);
            lastWasNote_ = false;
            timed_ = true;
            break;
        case TokenKind::End:
        case TokenKind::Unrecognised:
            break;
        }
    }

    // "TZ": the final bar line. The player never goes past it, but the
    // keyboard goes on writing after it when the user plays on: that music
    // is shown after it, from a new bar, grey.
    void end()
    {
        flushMarks();
        if (!sheet.bars.isEmpty())
            sheet.bars.last().final = true;
        sheet.ended = true;
        afterEnd_ = true;
        const int barLength = sheet.barLength();
        time_ = (time_ + barLength - 1) / barLength * barLength;
    }

    void flushMarks()
    {
        if (pending_.isEmpty())
            return;
        Cell c;
        c.kind = CellKind::Marker;
        append(c, lastPosition_, 0);
    }

    // Lays a note or rest of `duration` eighths from the current time on:
    // split at bar lines, each piece drawn in the shapes of `shapes`, the
    // note heads after the first (or all, with tieFirst) tied to the one before.
    void place(CellKind kind, int digit, int octave, int duration, int pos, int sourceLength, bool tieFirst)
    {
        Cell proto;
        proto.kind = kind;
        proto.digit = digit;
        proto.octave = octave;
        if (duration <= 0) {
            Cell c = proto;
            c.held = true;
            c.toolTip = QStringLiteral("时值为0：演奏停在这里，直到按下“停止”。");
            if (tieFirst && kind == CellKind::Note)
                c.tieFrom = lastHead_;
            appendHead(c, pos, sourceLength);
            return;
        }
        const int barLength = sheet.barLength();
        bool tie = tieFirst && kind == CellKind::Note;
        int remaining = duration;
        while (remaining > 0) {
            const int piece = qMin(remaining, barLength - time_ % barLength);
            for (int length : shapes(piece, kind == CellKind::Rest)) {
                Cell c = proto;
                if (tie)
                    c.tieFrom = lastHead_;
                tie = kind == CellKind::Note;
                if (length >= 16) {
                    shapeCell(c, 8);
                    appendHead(c, pos, sourceLength);
                    for (int d = 8; d < length; d += 8) {
                        Cell dash;
                        dash.kind = CellKind::Dash;
                        dash.length = 8;
                        append(dash, pos, sourceLength);
                    }
                } else {
                    shapeCell(c, length);
                    appendHead(c, pos, sourceLength);
                }
            }
            remaining -= piece;
        }
    }

    void appendHead(Cell c, int pos, int sourceLength)
    {
        append(c, pos, sourceLength);
        if (c.kind == CellKind::Note)
            lastHead_ = int(sheet.cells.size()) - 1;
    }

    void append(Cell c, int pos, int sourceLength)
    {
        c.start = time_;
        c.position = pos;
        c.sourceLength = sourceLength;
        c.bar = time_ / sheet.barLength();
        c.afterEnd = afterEnd_;
        if (afterEnd_ && c.toolTip.isEmpty())
            c.toolTip = QStringLiteral("在结束标记“TZ”之后：试听时不会演奏。");
        if (!pending_.isEmpty()) {
            c.marks = pending_;
            pending_.clear();
        }
        while (sheet.bars.size() <= c.bar)
            sheet.bars.append(Bar{int(sheet.cells.size()), 0, false});
        ++sheet.bars[c.bar].count;
        time_ += c.length;
        sheet.cells.append(c);
    }

    void flushError()
    {
        if (errorText_.isEmpty())
            return;
        Cell c;
        c.kind = CellKind::Error;
        c.text = shownError(errorText_);
        c.toolTip = errorToolTip(c.text);
        append(c, errorPosition_, int(errorText_.size()));
        // The player never reads past "TZ": what stands there is no fault of the music.
        if (!afterEnd_) {
            ++sheet.errorCount;
            if (sheet.firstErrorPosition == 0)
                sheet.firstErrorPosition = errorPosition_;
        }
        errorText_.clear();
    }

    // The rest of a score too long to play: one red mark, an error wherever it stands.
    void cut(QStringView rest, int position)
    {
        Cell c;
        c.kind = CellKind::Error;
        c.text = shownError(rest);
        c.toolTip = QStringLiteral("乐谱太长，超过了%1个字符：从这里起的部分不会演奏，简谱也不再画出。")
                        .arg(ScoreLanguage::kMaxScoreLength);
        append(c, position, int(rest.size()));
        ++sheet.errorCount;
        if (sheet.firstErrorPosition == 0)
            sheet.firstErrorPosition = position;
        sheet.cutPosition = position;
    }

    const Options &options_;
    QVector<Mark> pending_;
    int time_ = 0;
    bool timed_ = false;  // a note, rest or effect has taken time
    bool afterEnd_ = false;  // past the first "TZ"
    bool lastWasNote_ = false;
    int lastDigit_ = 0;
    int lastOctave_ = 0;
    int lastHead_ = -1;
    int lastPosition_ = 1;
    QString errorText_;
    int errorPosition_ = 0;
};

}  // namespace

std::pair<int, int> Sheet::cellsAt(int position) const
{
    // Cells are in score order: find the last token starting at or before it.
    auto after = std::upper_bound(cells.begin(), cells.end(), position,
                                  [](int p, const Cell &c) { return p < c.position; });
    if (after == cells.begin())
        return {0, 0};
    const Cell &last = *(after - 1);
    if (position >= last.position + qMax(1, last.sourceLength))
        return {0, 0};
    auto first = after - 1;
    while (first != cells.begin() && (first - 1)->position == last.position)
        --first;
    return {int(first - cells.begin()), int(after - cells.begin())};
}

Sheet read(const QString &score, const Options &options)
{
    Reader reader(options);
    reader.read(score);
    return std::move(reader.sheet);
}

int beatsForTimeSignature(int k)
{
    return qBound(0, k, 2) + 2;
}

int beatsForText(const QString &text)
{
    if (text == QLatin1String("2/4"))
        return 2;
    if (text == QLatin1String("3/4"))
        return 3;
    if (text == QLatin1String("4/4"))
        return 4;
    return 0;
}

QString keyText(int keyPosition)
{
    const QStringList keys = MelodyVoices::keyTexts();
    return QStringLiteral("1=%1").arg(keys.value(keyPosition, keys.value(0)));
}

bool digitOf(const QString &token, int *digit, int *octave)
{
    const int offset = ScoreReader::noteOffset(token);
    if (offset < 0)
        return false;
    static const int digits[12] = {1, 0, 2, 0, 3, 4, 0, 5, 0, 6, 0, 7};
    *digit = digits[offset % 12];
    *octave = offset / 12 - 2;
    return true;
}

QVector<int> shapes(int duration, bool rest)
{
    QVector<int> out;
    int remaining = qMax(0, duration);
    if (rest && remaining == 12)
        return {12};
    if (!rest && remaining >= 16) {
        out << remaining / 8 * 8;
        remaining %= 8;
    }
    static const int noteShapes[] = {12, 8, 6, 4, 2, 1};
    static const int restShapes[] = {8, 6, 4, 2, 1};
    const int *list = rest ? restShapes : noteShapes;
    const int count = rest ? 5 : 6;
    // Greedy: the list ends with 1, so every step takes something.
    for (int i = 0; remaining > 0;) {
        if (list[i] <= remaining) {
            out << list[i];
            remaining -= list[i];
        } else if (i + 1 < count) {
            ++i;
        }
    }
    return out;
}

}  // namespace Notation
