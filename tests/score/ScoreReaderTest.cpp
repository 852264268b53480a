#include "ScoreReaderTest.h"

#include "score/ScoreReader.h"

#include <QTest>

using namespace ScoreReader;

namespace {

// Reads a score as the player walks it: token after token until one that
// ends playing (TZ or an error) or the text runs out. Each step is written
// "token[number]@end=duration", with "!" for an error and "." for TZ.
QStringList walk(const QString &score, qint16 duration = 0, int limit = 200)
{
    QStringList steps;
    int pos = 1;
    while (limit-- > 0) {
        const ReadResult r = readToken(score, pos);
        duration = r.durationAfter(duration);
        const TokenKind kind = kindOf(r);
        QString step = r.token;
        if (r.hasNumber)
            step += QString::number(r.number);
        step += QStringLiteral("@%1=%2").arg(r.end).arg(duration);
        if (kind == TokenKind::Unrecognised)
            step += '!';
        if (kind == TokenKind::End)
            step += '.';
        steps << step;
        if (kind == TokenKind::Unrecognised || kind == TokenKind::End)
            break;
        pos = r.end + 1;
    }
    return steps;
}

}  // namespace

void ScoreReaderTest::scoresReadToTheirEnd_data()
{
    QTest::addColumn<QString>("score");
    QTest::addColumn<int>("startDuration");
    QTest::addColumn<QStringList>("steps");
    // The last note without a number ends on its first character; its second
    // character is then read alone and is an error.
    QTest::newRow("KC8KD") << "KC8KD" << 0 << QStringList{"KC8@3=8", "KD@4=8", "D@5=8!"};
    QTest::newRow("KC8KD8TZ") << "KC8KD8TZ" << 0 << QStringList{"KC8@3=8", "KD8@6=8", "TZ@7=8."};
    // A third digit begins the next token.
    QTest::newRow("KC123KD8") << "KC123KD8" << 0 << QStringList{"KC12@4=12", "3K@6=12!"};
    // Blanks are not skipped.
    QTest::newRow("K C8") << "K C8" << 0 << QStringList{"K @2=0!"};
    QTest::newRow("KC 8") << "KC 8" << 0 << QStringList{"KC@2=0", " 8@3=0!"};
    // Lower case is no token.
    QTest::newRow("kc8") << "kc8" << 0 << QStringList{"kc8@3=8!"};
    // A command's number sets the duration of the notes after it.
    QTest::newRow("YQ5KC") << "YQ5KCKD" << 0 << QStringList{"YQ5@3=5", "KC@5=5", "KD@6=5", "D@7=5!"};
    // A rest without a number keeps the current duration, also one left over.
    QTest::newRow("XZ") << "XZKC4TZ" << 7 << QStringList{"XZ@2=7", "KC4@5=4", "TZ@6=4."};
    // A single digit at the very end is the last token's number.
    QTest::newRow("KC8KD4") << "KC8KD4" << 0 << QStringList{"KC8@3=8", "KD4@6=4", "@7=4!"};
    QTest::newRow("empty") << "" << 3 << QStringList{"@1=3!"};
    QTest::newRow("leading zero") << "KC07TZ" << 0 << QStringList{"KC7@4=7", "TZ@5=7."};
    QTest::newRow("YX7 JP0 skipped") << "YX7JP0KC2TZ" << 0
                                     << QStringList{"YX7@3=7", "JP0@6=0", "KC2@9=2", "TZ@10=2."};
    QTest::newRow("HX7") << "HX7KC8" << 0 << QStringList{"HX7@3=7!"};
}

void ScoreReaderTest::scoresReadToTheirEnd()
{
    QFETCH(QString, score);
    QFETCH(int, startDuration);
    QFETCH(QStringList, steps);
    QCOMPARE(walk(score, qint16(startDuration)), steps);
}

void ScoreReaderTest::numbers()
{
    ReadResult r = readToken(u"KC99", 1);
    QVERIFY(r.hasNumber);
    QCOMPARE(r.number, 99);
    QCOMPARE(r.end, 4);
    r = readToken(u"KC0KD", 1);
    QVERIFY(r.hasNumber);
    QCOMPARE(r.number, 0);
    QCOMPARE(r.durationAfter(8), qint16(0));  // 0 is a duration too (never completed)
    // Only ASCII digits: a full-width or Arabic-Indic digit is a stray character.
    r = readToken(QStringLiteral("KC８TZ"), 1);
    QVERIFY(!r.hasNumber);
    QCOMPARE(r.end, 2);
    r = readToken(QStringLiteral("KC٣TZ"), 1);
    QVERIFY(!r.hasNumber);
    // A digit then a letter: one digit only.
    r = readToken(u"KC8K", 1);
    QCOMPARE(r.number, 8);
    QCOMPARE(r.end, 3);
    QVERIFY(r.hasNumber);
    QCOMPARE(r.durationAfter(5), qint16(8));
}

void ScoreReaderTest::endOfText()
{
    // "KC" alone: nothing follows, the end is the token's first character.
    ReadResult r = readToken(u"KC", 1);
    QCOMPARE(r.token, QStringLiteral("KC"));
    QVERIFY(!r.hasNumber);
    QCOMPARE(r.end, 1);
    r = readToken(u"KC", 2);
    QCOMPARE(r.token, QStringLiteral("C"));
    QCOMPARE(kindOf(r), TokenKind::Unrecognised);
    // Exactly one character after the token: a digit is its number.
    r = readToken(u"KC8", 1);
    QCOMPARE(r.number, 8);
    QCOMPARE(r.end, 3);
    r = readToken(u"KCX", 1);
    QVERIFY(!r.hasNumber);
    QCOMPARE(r.end, 2);
    // A two-digit number ending the text.
    r = readToken(u"TZKC16", 3);
    QCOMPARE(r.number, 16);
    QCOMPARE(r.end, 6);
}

void ScoreReaderTest::positionsOutsideTheText()
{
    ReadResult r = readToken(u"KC8", 0);  // read from 1
    QCOMPARE(r.token, QStringLiteral("KC"));
    QCOMPARE(r.end, 3);
    r = readToken(u"KC8", -5);
    QCOMPARE(r.token, QStringLiteral("KC"));
    r = readToken(u"KC8", 4);
    QVERIFY(r.token.isEmpty());
    QVERIFY(!r.hasNumber);
    QCOMPARE(r.end, 4);
    r = readToken(u"KC8", 1000000);
    QVERIFY(r.token.isEmpty());
    QCOMPARE(kindOf(r), TokenKind::Unrecognised);
}

void ScoreReaderTest::workedExample()
{
    const QString score = QStringLiteral("YQ12XZ8KGKEKDKC32XZ8KDWBWAWG32XZ8KBKAKBKG12KA4KF8KEKD4KEKFKEKG12"
                                         "XZ80YQ12VS1KA1HE15YQ8JP1KE4JP99KG32TZ\r\n");
    struct Expect {
        const char *token;
        int number;  // -1: none
        TokenKind kind;
        int duration;
    };
    const Expect expected[] = {
        {"YQ", 12, TokenKind::Instruments, 12}, {"XZ", 8, TokenKind::Rest, 8},
        {"KG", -1, TokenKind::Note, 8},         {"KE", -1, TokenKind::Note, 8},
        {"KD", -1, TokenKind::Note, 8},         {"KC", 32, TokenKind::Note, 32},
        {"XZ", 8, TokenKind::Rest, 8},          {"KD", -1, TokenKind::Note, 8},
        {"WB", -1, TokenKind::Note, 8},         {"WA", -1, TokenKind::Note, 8},
        {"WG", 32, TokenKind::Note, 32},        {"XZ", 8, TokenKind::Rest, 8},
        {"KB", -1, TokenKind::Note, 8},         {"KA", -1, TokenKind::Note, 8},
        {"KB", -1, TokenKind::Note, 8},         {"KG", 12, TokenKind::Note, 12},
        {"KA", 4, TokenKind::Note, 4},          {"KF", 8, TokenKind::Note, 8},
        {"KE", -1, TokenKind::Note, 8},         {"KD", 4, TokenKind::Note, 4},
        {"KE", -1, TokenKind::Note, 4},         {"KF", -1, TokenKind::Note, 4},
        {"KE", -1, TokenKind::Note, 4},         {"KG", 12, TokenKind::Note, 12},
        {"XZ", 80, TokenKind::Rest, 80},        {"YQ", 12, TokenKind::Instruments, 12},
        {"VS", 1, TokenKind::Tempo, 1},         {"KA", 1, TokenKind::Note, 1},
        {"HE", 15, TokenKind::Note, 15},        {"YQ", 8, TokenKind::Instruments, 8},
        {"JP", 1, TokenKind::Rhythm, 1},        {"KE", 4, TokenKind::Note, 4},
        {"JP", 99, TokenKind::Rhythm, 99},      {"KG", 32, TokenKind::Note, 32},
        {"TZ", -1, TokenKind::End, 32},
    };
    int pos = 1;
    qint16 duration = 0;
    for (const Expect &e : expected) {
        const ReadResult r = readToken(score, pos);
        duration = r.durationAfter(duration);
        const QByteArray where = QByteArray("at ") + QByteArray::number(pos) + " " + e.token;
        QVERIFY2(r.token == QLatin1String(e.token), where.constData());
        QVERIFY2(r.hasNumber == (e.number >= 0), where.constData());
        if (e.number >= 0)
            QVERIFY2(r.number == e.number, where.constData());
        QVERIFY2(kindOf(r) == e.kind, where.constData());
        QVERIFY2(duration == e.duration, where.constData());
        pos = r.end + 1;
    }
    QCOMPARE(noteOffset(u"HE"), 40);
    QCOMPARE(score.mid(pos - 1), QStringLiteral("\r\n"));  // never read: TZ ends the playing
}

void ScoreReaderTest::noteCodes()
{
    QCOMPARE(noteOffset(u"LC"), 0);
    QCOMPARE(noteOffset(u"WD"), 14);
    QCOMPARE(noteOffset(u"KC"), 24);
    QCOMPARE(noteOffset(u"MG"), 55);
    QCOMPARE(noteOffset(u"MA"), 57);  // the keyboard's highest key plays back
    QCOMPARE(noteOffset(u"MB"), -1);
    QCOMPARE(noteOffset(u"kc"), -1);
    QCOMPARE(noteOffset(u"K"), -1);
    QCOMPARE(noteOffset(u"KCX"), -1);
    QCOMPARE(classify(u"MA"), TokenKind::Note);
    QCOMPARE(classify(u"MB"), TokenKind::Unrecognised);

    // Of all pairs of capitals, exactly the 33 notes and MA are notes, each
    // offset once, all on white keys.
    QSet<int> offsets;
    int notes = 0;
    for (char a = 'A'; a <= 'Z'; ++a) {
        for (char b = 'A'; b <= 'Z'; ++b) {
            const QString token = QString(QChar(a)) + QChar(b);
            const int offset = noteOffset(token);
            if (offset < 0)
                continue;
            ++notes;
            offsets.insert(offset);
            QVERIFY(QStringLiteral("LWKHM").contains(QChar(a)));
            QVERIFY(offset >= 0 && offset < 65);
            QVERIFY(!QSet<int>({1, 3, 6, 8, 10}).contains(offset % 12));
        }
    }
    QCOMPARE(notes, 34);
    QCOMPARE(offsets.size(), 34);
}

void ScoreReaderTest::commandKinds()
{
    for (const char *bad : {"", "T", "tz", "ZT", "T Z", " TZ", "12", "xz"})
        QVERIFY2(classify(QString::fromLatin1(bad)) == TokenKind::Unrecognised, bad);
    // Numbers outside a command's range are the player's business: the kind stays.
    QCOMPARE(kindOf(readToken(u"VS13", 1)), TokenKind::Tempo);
    QCOMPARE(kindOf(readToken(u"YQ13", 1)), TokenKind::Instruments);
    QCOMPARE(kindOf(readToken(u"YX7", 1)), TokenKind::Effect);
    QCOMPARE(kindOf(readToken(u"JP0", 1)), TokenKind::Rhythm);
}

void ScoreReaderTest::chordNumberRange()
{
    for (int n = 1; n <= 6; ++n)
        QCOMPARE(kindOf(readToken(QStringLiteral("HX%1KC").arg(n), 1)), TokenKind::Chord);
    for (const char *bad : {"HX0KC", "HX7KC", "HX99KC", "HXKC8", "HX07KC"})
        QVERIFY2(kindOf(readToken(QString::fromLatin1(bad), 1)) == TokenKind::Unrecognised, bad);
    // The import skips HX whatever its number.
    QCOMPARE(classify(readToken(u"HX7KC", 1).token), TokenKind::Chord);
}

void ScoreReaderTest::lengthLimit()
{
    QCOMPARE(kMaxScoreLength, 32767);
    QString score(32767, QChar('X'));
    QVERIFY(withinLengthLimit(score));
    score += 'Z';
    QVERIFY(!withinLengthLimit(score));
    QVERIFY(withinLengthLimit(QString()));
    QVERIFY(tooLongMessage().contains(QStringLiteral("32767")));
    // Reading near the end of a text of the largest length stays in range.
    const ReadResult r = readToken(score, 32767);
    QCOMPARE(r.token, QStringLiteral("XZ"));
    QCOMPARE(r.end, 32767);
}
