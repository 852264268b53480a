#include "RhythmTests.h"

#include <QTest>

namespace {

const QString kOpenError = QStringLiteral("打开节奏文件出错，请检查！");

// Built-in 1 with the header characters at `pos` replaced.
QString builtIn1With(int pos, const QString &chars)
{
    QString text = RhythmPattern::builtInRhythmText(1);
    text.replace(pos, chars.size(), chars);
    return text;
}

// Expected colour of cell i from the colour table (red set per signature).
QSet<int> redCells(int k)
{
    if (k == 0)
        return {0, 1, 4, 5, 8, 9, 12, 13, 16};
    if (k == 1)
        return {0, 1, 2, 6, 7, 8, 12, 13, 14, 16};
    return {0, 1, 2, 3, 8, 9, 10, 11, 16};
}

void checkColours(const RhythmPattern &p, int k)
{
    const QSet<int> red = redCells(k);
    for (int i = 0; i <= 16; ++i) {
        if (k == 1 && i == 15)
            continue;  // hidden, keeps whatever it had
        const CellColour want = red.contains(i) ? CellColour::Red : CellColour::Yellow;
        QVERIFY2(p.cellColour(i) == want, qPrintable(QStringLiteral("signature %1 cell %2").arg(k).arg(i)));
    }
    QCOMPARE(p.isCellVisible(15), k != 1);
}

}  // namespace

void RhythmPatternTest::textLengthRule()
{
    RhythmRig rig;
    rig.applyBuiltIn(7);
    const QString before = patternSnapshot(rig.pattern, rig.t.state);

    // 79 characters: header and cells complete, but refused.
    QVERIFY(!rig.apply(RhythmPattern::builtInRhythmText(1).left(79)));
    QCOMPARE(rig.t.dialogs.messages, QStringList{kOpenError});
    QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);
    QVERIFY(!rig.apply(QString()));
    QCOMPARE(rig.t.dialogs.messages.size(), 2);

    // 80 characters (a three-character title) is applied.
    QVERIFY(rig.apply(RhythmPattern::builtInRhythmText(1).left(80)));
    QCOMPARE(rig.t.dialogs.messages.size(), 2);
    QCOMPARE(rig.pattern.Instrument(3), qint16(0x1B));
    QVERIFY(rig.pattern.Cells(3, 4));
}

void RhythmPatternTest::badHeadersAreRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("volume 08") << builtIn1With(0, "08");
    QTest::newRow("volume FF") << builtIn1With(0, "FF");
    QTest::newRow("signature 03") << builtIn1With(2, "03");
    QTest::newRow("row A drum 2F") << builtIn1With(4, "2F");
    QTest::newRow("row D drum 2F") << builtIn1With(10, "2F");
    QTest::newRow("not hex") << builtIn1With(6, "0G");
    QTest::newRow("blank") << builtIn1With(0, " 5");
    QTest::newRow("sign") << builtIn1With(2, "-0");
    QTest::newRow("fullwidth digits") << builtIn1With(0, QStringLiteral("０５"));
    QTest::newRow("cells in the header") << QStringLiteral("*---*---*---") + RhythmPattern::builtInRhythmText(1).mid(12);
}

void RhythmPatternTest::badHeadersAreRefused()
{
    QFETCH(QString, text);
    RhythmRig rig;
    rig.applyBuiltIn(7);
    rig.t.clearSent();
    const QString before = patternSnapshot(rig.pattern, rig.t.state);
    QVERIFY(!rig.apply(text));
    QCOMPARE(rig.t.dialogs.messages, QStringList{kOpenError});
    QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);
    QVERIFY(rig.t.sent().isEmpty());
}

void RhythmPatternTest::builtInThreeFourHasFifteenSteps()
{
    RhythmRig rig;
    rig.applyBuiltIn(4);
    QCOMPARE(rig.pattern.TimeSignature(), qint16(1));
    QCOMPARE(rig.pattern.LastStep(), qint16(14));
    QVERIFY(!rig.pattern.isCellVisible(15));
    // Row A: 36 "低音鼓" on 0 3 6 9 12; the step table follows the cells.
    for (int i = 0; i <= 14; ++i) {
        const bool set = i % 3 == 0;
        QCOMPARE(rig.pattern.Cells(0, i), set);
        QCOMPARE(rig.t.state.Steps.cell(i, 0).Sounding, qint16(set ? -1 : 0));
        QCOMPARE(rig.t.state.Steps.cell(i, 0).Message, drum(36, 100));
    }
    // Lower-case hexadecimal reads the same.
    RhythmRig lower;
    QVERIFY(lower.apply(RhythmPattern::builtInRhythmText(1).replace(11, 1, "b")));
    QCOMPARE(lower.pattern.Instrument(3), qint16(27));
}

void RhythmPatternTest::cell16OfRowC()
{
    RhythmRig rig;
    for (int r = 0; r < 4; ++r)
        rig.pattern.SetRhythmCell(r, 16, true);
    rig.applyBuiltIn(1);
    // Rows A, B and D do not store cell 16; row C does (clear in every built-in).
    QVERIFY(rig.pattern.Cells(0, 16));
    QVERIFY(rig.pattern.Cells(1, 16));
    QVERIFY(!rig.pattern.Cells(2, 16));
    QVERIFY(rig.pattern.Cells(3, 16));
    QCOMPARE(rig.t.state.Steps.cell(16, 2).Sounding, qint16(0));
    QCOMPARE(rig.t.state.Steps.cell(16, 3).Sounding, qint16(-1));

    QString text = RhythmPattern::builtInRhythmText(1);
    text[60] = QLatin1Char('*');  // row C, cell 16
    QVERIFY(rig.apply(text));
    QVERIFY(rig.pattern.Cells(2, 16));
    QCOMPARE(rig.pattern.composeRhythmText("a.bin").mid(60, 1), QString("*"));
}

void RhythmPatternTest::builtIn1AtStepZeroPlaysItTwice()
{
    RhythmRig rig;
    QCOMPARE(rig.t.state.StepIndex, qint16(0));
    rig.applyBuiltIn(1);
    // Row D's cells 4 and 12 each play step 0: rows A (35) and C (37) sound there.
    const QVector<quint32> once{drum(35, 100), drum(37, 100)};
    QCOMPARE(formatMessages(rig.t.sent()), formatMessages(once + once));
    QVERIFY(rig.t.dialogs.messages.isEmpty());

    // Applying the same text again changes no row-D cell: nothing sounds.
    rig.t.clearSent();
    rig.applyBuiltIn(1);
    QVERIFY(rig.t.sent().isEmpty());
}

void RhythmPatternTest::rowDTickPlaysTheCurrentStep()
{
    RhythmRig rig;
    rig.applyBuiltIn(7);  // 35 on 0 8 12, 44 on every even step
    rig.t.state.StepIndex = 8;
    rig.t.clearSent();
    rig.pattern.SetRhythmCell(3, 1, true);
    QCOMPARE(formatMessages(rig.t.sent()), formatMessages({drum(35, 100), drum(44, 100)}));
    QCOMPARE(rig.t.state.StepIndex, qint16(8));

    rig.t.clearSent();
    rig.pattern.SetRhythmCell(3, 1, true);   // already set
    rig.pattern.SetRhythmCell(3, 1, false);  // clearing
    rig.pattern.SetRhythmCell(0, 5, true);   // another row
    QVERIFY(rig.t.sent().isEmpty());
    QCOMPARE(rig.t.state.Steps.cell(1, 3).Sounding, qint16(0));
    QCOMPARE(rig.t.state.Steps.cell(5, 0).Sounding, qint16(-1));
}

void RhythmPatternTest::instrumentChangeLeavesStep16()
{
    RhythmRig rig;
    QCOMPARE(rig.pattern.LastStep(), qint16(16));
    rig.pattern.SetRhythmVolume(5);  // as at start-up: steps 0..16, no drum yet
    QCOMPARE(rig.t.state.Steps.cell(16, 0).Message, drum(34, 100));
    rig.t.state.Steps.cell(3, 0).Velocity = 77;

    rig.pattern.SetRhythmInstrument(0, 3);
    for (int step = 0; step <= 15; ++step) {
        QCOMPARE(rig.t.state.Steps.cell(step, 0).Note, qint16(38));
        QCOMPARE(rig.t.state.Steps.cell(step, 0).Message, drum(38, 100));
    }
    QCOMPARE(rig.t.state.Steps.cell(3, 0).Velocity, qint16(77));  // not written
    QCOMPARE(rig.t.state.Steps.cell(16, 0).Note, qint16(0));
    QCOMPARE(rig.t.state.Steps.cell(16, 0).Message, drum(34, 100));
    QCOMPARE(rig.t.state.Steps.cell(0, 1).Message, drum(34, 100));  // other rows untouched
}

void RhythmPatternTest::volumeRewritesStepsUpToLastStep()
{
    RhythmRig rig;
    rig.applyBuiltIn(4);  // 3/4, row A 36
    const StepCell step15 = rig.t.state.Steps.cell(15, 0);
    rig.pattern.SetRhythmVolume(7);
    QCOMPARE(rig.pattern.volumeNumber(), qint16(120));
    for (int step = 0; step <= 14; ++step) {
        QCOMPARE(rig.t.state.Steps.cell(step, 0).Velocity, qint16(120));
        QCOMPARE(rig.t.state.Steps.cell(step, 0).Message, drum(36, 120));
        QCOMPARE(rig.t.state.Steps.cell(step, 3).Message, drum(36, 120));
    }
    QCOMPARE(rig.t.state.Steps.cell(15, 0).Message, step15.Message);
    QCOMPARE(rig.t.state.Steps.cell(15, 0).Velocity, step15.Velocity);
}

void RhythmPatternTest::composeHeaderAndTitle()
{
    RhythmRig rig;
    // Before any drum is chosen the rows are written as 00.
    const QString fresh = rig.pattern.composeRhythmText("x.bin");
    QCOMPARE(fresh.left(12), QString("050000000000"));
    QCOMPARE(fresh.mid(12, 65), QString(65, QLatin1Char('-')));

    rig.pattern.SetRhythmVolume(5);
    rig.pattern.SelectTimeSignature(2);
    const int drums[4] = {0, 3, 9, 27};
    for (int r = 0; r < 4; ++r)
        rig.pattern.SetRhythmInstrument(r, drums[r]);
    QCOMPARE(rig.pattern.composeRhythmText("x.bin").left(12), QString("05020003091B"));

    const QString text = rig.pattern.composeRhythmText("1-24.bin");
    QCOMPARE(text.size(), 93);
    QCOMPARE(text.right(16), QString("1-24.bin        "));

    struct Case {
        const char *name;
        const char *title;
    };
    const Case cases[] = {
        {"/home/user/演奏记录/1-24.bin", "1-24.bin        "},
        {"  padded.bin  ", "padded.bin      "},
        {"abcdefghijklmnopqrstuvwxyz.bin", "abcdefghijklmnop"},
        {"exactly16chars.b", "exactly16chars.b"},
        {"tab\there.bin", "tab here.bin    "},
        {"一二三四五六七八九十甲乙丙丁戊己庚辛.bin", "一二三四五六七八九十甲乙丙丁戊己"},
        {"我的节奏.bin", "我的节奏.bin        "},
    };
    for (const Case &c : cases) {
        const QString t = rig.pattern.composeRhythmText(QString::fromUtf8(c.name));
        QCOMPARE(t.size(), 93);
        QCOMPARE(t.mid(77), QString::fromUtf8(c.title));
    }
    // A character outside the basic plane is never cut in half.
    const QString emoji = rig.pattern.composeRhythmText(QString(15, 'a') + QString::fromUtf8("😀.bin"));
    QCOMPARE(emoji.size(), 93);
    QVERIFY(!emoji.back().isHighSurrogate());
}

void RhythmPatternTest::composeMatchesEveryBuiltIn()
{
    for (int n = 1; n <= 9; ++n) {
        RhythmRig rig;
        rig.applyBuiltIn(n);
        QCOMPARE(rig.pattern.composeRhythmText(RhythmPattern::builtInRhythmFileName(n)), savedText(n));
    }
}

void RhythmPatternTest::gridColoursFollowTimeSignature()
{
    RhythmRig rig;
    RhythmPattern &p = rig.pattern;
    for (int i = 0; i <= 16; ++i)
        QVERIFY(p.cellColour(i) == CellColour::Red);  // copies of cell 0
    p.BZXS();
    checkColours(p, 0);

    p.SelectTimeSignature(1);
    checkColours(p, 1);
    QVERIFY(p.cellColour(15) == CellColour::Yellow);  // kept from 2/4 while hidden
    p.SelectTimeSignature(2);
    checkColours(p, 2);
    QVERIFY(p.cellColour(15) == CellColour::Yellow);
    p.SelectTimeSignature(0);
    checkColours(p, 0);

    // Choosing a signature changes neither the cells nor the step table.
    rig.pattern.SetRhythmCell(0, 15, true);
    const StepCell before = rig.t.state.Steps.cell(15, 0);
    p.SelectTimeSignature(1);
    QVERIFY(p.Cells(0, 15));
    QCOMPARE(rig.t.state.Steps.cell(15, 0).Sounding, before.Sounding);
}

void RhythmPatternTest::outOfRangeEditsAreIgnored()
{
    RhythmRig rig;
    rig.applyBuiltIn(2);
    rig.t.clearSent();
    const QString before = patternSnapshot(rig.pattern, rig.t.state);
    rig.pattern.SetRhythmCell(4, 0, true);
    rig.pattern.SetRhythmCell(-1, 0, true);
    rig.pattern.SetRhythmCell(3, 17, true);
    rig.pattern.SetRhythmCell(3, -1, true);
    rig.pattern.SetRhythmInstrument(0, 47);
    rig.pattern.SetRhythmInstrument(0, -1);
    rig.pattern.SetRhythmInstrument(4, 0);
    rig.pattern.SetRhythmVolume(8);
    rig.pattern.SetRhythmVolume(-1);
    rig.pattern.SelectTimeSignature(3);
    rig.pattern.SelectTimeSignature(-1);
    QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);
    QVERIFY(rig.t.sent().isEmpty());
    QVERIFY(!rig.pattern.Cells(9, 99));
    QCOMPARE(rig.pattern.Instrument(9), qint16(-1));
}

void RhythmPatternTest::builtInNames()
{
    const QStringList names{"2/4节奏1", "2/4节奏2", "2/4节奏3", "3/4节奏1", "3/4节奏2",
                            "3/4节奏3", "4/4节奏1", "4/4节奏2", "4/4节奏3"};
    const QStringList files{"1-24.bin", "2-24.bin", "3-24.bin", "34-1.bin", "34-2.bin",
                            "34-3.bin", "44-5.bin", "44-4.bin", "44-2.bin"};
    for (int n = 1; n <= 9; ++n) {
        QCOMPARE(RhythmPattern::builtInRhythmName(n), names[n - 1]);
        QCOMPARE(RhythmPattern::builtInRhythmFileName(n), files[n - 1]);
    }
    QVERIFY(RhythmPattern::builtInRhythmText(0).isEmpty());
    QVERIFY(RhythmPattern::builtInRhythmText(10).isEmpty());
    const QStringList drums = RhythmPattern::drumList();
    QCOMPARE(drums.size(), 47);
    QCOMPARE(drums.first(), QString("低音大鼓"));
    QCOMPARE(drums.last(), QString("三角铃-开音"));
    QCOMPARE(RhythmPattern::volumeList(),
             QStringList({"50", "60", "70", "80", "90", "100", "110", "120"}));
}
