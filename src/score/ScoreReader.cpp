#include "score/ScoreReader.h"

namespace ScoreReader {

namespace {

// Only the ASCII digits count; other Unicode digits are errors like any
// other stray character.
bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

int digitValue(QChar c)
{
    return c.unicode() - u'0';
}

}  // namespace

ReadResult readToken(QStringView score, int pos)
{
    ReadResult r;
    const qsizetype n = score.size();
    const qsizetype p = qMax(pos, 1);
    r.end = int(p);
    if (p > n)
        return r;  // empty token past the end
    r.token = score.mid(p - 1, qMin<qsizetype>(2, n - p + 1)).toString();
    if (p >= n - 1)
        return r;  // nothing follows: no number, the end is p itself

    const QChar c1 = score[p + 1];  // the character at position p + 2
    if (!isDigit(c1)) {
        r.end = int(p + 1);
        return r;
    }
    r.hasNumber = true;
    if (p < n - 2 && isDigit(score[p + 2])) {
        r.number = digitValue(c1) * 10 + digitValue(score[p + 2]);
        r.end = int(p + 3);
    } else {
        r.number = digitValue(c1);
        r.end = int(p + 2);
    }
    return r;
}

TokenKind classify(QStringView token)
{
    if (token.size() != 2)
        return TokenKind::Unrecognised;
    // Looked up in the player's order: commands, notes, rest, end.
    if (token == ScoreLanguage::kTempo)
        return TokenKind::Tempo;
    if (token == ScoreLanguage::kChord)
        return TokenKind::Chord;
    if (token == ScoreLanguage::kEffect)
        return TokenKind::Effect;
    if (token == ScoreLanguage::kRhythm)
        return TokenKind::Rhythm;
    if (token == ScoreLanguage::kInstruments)
        return TokenKind::Instruments;
    if (noteOffset(token) >= 0)
        return TokenKind::Note;
    if (token == ScoreLanguage::kRest)
        return TokenKind::Rest;
    if (token == ScoreLanguage::kEnd)
        return TokenKind::End;
    return TokenKind::Unrecognised;
}

TokenKind kindOf(const ReadResult &read)
{
    const TokenKind kind = classify(read.token);
    if (kind == TokenKind::Chord && (!read.hasNumber || !ScoreLanguage::isChord(read.number)))
        return TokenKind::Unrecognised;
    return kind;
}

int noteOffset(QStringView token)
{
    if (token.size() != 2)
        return -1;
    int octave = 0;
    switch (token[0].unicode()) {
    case u'L': octave = 0; break;
    case u'W': octave = 1; break;
    case u'K': octave = 2; break;
    case u'H': octave = 3; break;
    case u'M': octave = 4; break;
    default: return -1;
    }
    int step = 0;
    switch (token[1].unicode()) {
    case u'C': step = 0; break;
    case u'D': step = 2; break;
    case u'E': step = 4; break;
    case u'F': step = 5; break;
    case u'G': step = 7; break;
    case u'A': step = 9; break;
    case u'B': step = 11; break;
    default: return -1;
    }
    if (octave == 4 && step == 11)
        return -1;  // "MB" lies above the keyboard
    return octave * 12 + step;
}

QString tooLongMessage()
{
    return QStringLiteral("乐谱太长，超过了%1个字符，请删减后再演奏！").arg(kMaxScoreLength);
}

}  // namespace ScoreReader
