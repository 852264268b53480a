#include "TestMain.h"

#include "jianpu/NotationRows.h"
#include "jianpu/NotationSheet.h"
#include "score/ScoreReader.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Notation;

namespace {

// The sheet written as a song book line: digits with ' (dot above) and ,
// (dot below), _ per underline, . for an augmentation dot, @ for a note
// held for ever, ~ before a tied note, - for a dash, !{…} for an error,
// [mark] before the cell it stands over (!mark for a red one), # for a
// marker, | and || for bar lines.
QString spell(const Sheet &sheet)
{
    QStringList words;
    for (int b = 0; b < sheet.bars.size(); ++b) {
        const Bar &bar = sheet.bars[b];
        for (int i = bar.first; i < bar.first + bar.count; ++i) {
            const Cell &c = sheet.cells[i];
            QString w;
            for (const Mark &m : c.marks)
                w += QStringLiteral("[%1%2]").arg(m.warning ? QStringLiteral("!") : QString(), m.text);
            if (c.tieFrom >= 0)
                w += '~';
            switch (c.kind) {
            case CellKind::Note:
            case CellKind::Rest:
                w += QString::number(c.digit);
                w += QString(qMax(0, c.octave), '\'') + QString(qMax(0, -c.octave), ',');
                if (c.dotted)
                    w += '.';
                w += QString(c.underlines, '_');
                if (c.held)
                    w += '@';
                break;
            case CellKind::Dash: w += '-'; break;
            case CellKind::Error: w += QStringLiteral("!{%1}").arg(c.text); break;
            case CellKind::Marker: w += '#'; break;
            }
            words << w;
        }
        const bool complete = b + 1 < sheet.bars.size() || sheet.length >= (b + 1) * sheet.barLength();
        if (bar.final)
            words << QStringLiteral("||");
        else if (complete)
            words << QStringLiteral("|");
    }
    return words.join(' ');
}

QString spell(const QString &score, int beats = 4)
{
    Options o;
    o.beatsPerBar = beats;
    return spell(read(score, o));
}

}  // namespace

class NotationSheetTest : public QObject {
    Q_OBJECT
private slots:
    void shapesOfDurations_data()
    {
        QTest::addColumn<int>("duration");
        QTest::addColumn<bool>("rest");
        QTest::addColumn<QString>("expected");
        const struct { int d; bool rest; const char *shapes; } rows[] = {
            {1, false, "1"}, {2, false, "2"}, {3, false, "2 1"}, {4, false, "4"}, {5, false, "4 1"},
            {6, false, "6"}, {7, false, "6 1"}, {8, false, "8"}, {10, false, "8 2"}, {12, false, "12"},
            {14, false, "12 2"}, {16, false, "16"}, {20, false, "16 4"}, {24, false, "24"},
            {32, false, "32"}, {36, false, "32 4"}, {99, false, "96 2 1"}, {0, false, ""},
            {12, true, "12"}, {16, true, "8 8"}, {20, true, "8 8 4"}, {14, true, "8 6"}, {3, true, "2 1"},
        };
        for (const auto &r : rows)
            QTest::addRow("%s%d", r.rest ? "rest" : "note", r.d) << r.d << r.rest << QString::fromLatin1(r.shapes);
    }
    void shapesOfDurations()
    {
        QFETCH(int, duration);
        QFETCH(bool, rest);
        QFETCH(QString, expected);
        QStringList got;
        for (int s : shapes(duration, rest))
            got << QString::number(s);
        QCOMPARE(got.join(' '), expected);
    }

    void scores_data()
    {
        QTest::addColumn<QString>("score");
        QTest::addColumn<int>("beats");
        QTest::addColumn<QString>("expected");
        const struct { const char *name; const char *score; int beats; const char *expected; } rows[] = {
            {"twinkle 4/4", "YQ1KC8KCKGKGKAKAKG16KF8KFKEKEKDKDKC16TZ", 4,
             "[组合一]1 1 5 5 | 6 6 5 - | 4 4 3 3 | 2 2 1 - ||"},
            {"twinkle 2/4", "KC8KCKGKGKAKAKG16TZ", 2, "1 1 | 5 5 | 6 6 | 5 - ||"},
            {"3/4", "KC8KDKEKFKG16TZ", 3, "1 2 3 | 4 5 - ||"},
            {"octave dots", "LC8WDKEHFMGMATZ", 4, "1,, 2, 3 4' | 5'' 6'' ||"},
            {"underlines and dots", "KC6KD2KE12KF4KG4TZ", 4, "1._ 2__ 3. 4_ 5_ ||"},
            {"eighths of a beat", "KC1KD1KE2KF4TZ", 2, "1___ 2___ 3__ 4_ ||"},
            {"dashes", "KC16KD24KE32TZ", 4, "1 - 2 - | ~2 3 - - | ~3 ||"},
            {"long note over bars", "KC48TZ", 4, "1 - - - | ~1 - ||"},
            {"tie across a bar line", "KC24KD16TZ", 4, "1 - - 2 | ~2 ||"},
            {"odd values tied", "KC20KD3KE5TZ", 4, "1 - ~1_ 2__ ~2___ 3_ ~3___ ||"},
            {"dotted note over the bar", "KC8KD12TZ", 2, "1 2 | ~2_ ||"},
            {"rests", "XZ16KC8XZ12KD4TZ", 4, "0 0 1 0 | 0_ 2_ ||"},
            {"long rest", "XZ80TZ", 4, "0 0 0 0 | 0 0 0 0 | 0 0 ||"},
            {"current duration", "KC4KDKEKFTZ", 2, "1_ 2_ 3_ 4_ ||"},
            {"command sets the duration", "YQ5KCTZ", 4, "[组合五]1_ ~1___ ||"},
            {"held note", "KC0TZ", 4, "1@ ||"},
            {"tempo before the first note goes to the header", "VS9KC8VS1KD8TZ", 4, "1 [♩=60]2 ||"},
            {"bad tempo is red", "KC8VS0KD8VS13KE8TZ", 4, "1 [!VS0]2 [!VS13]3 ||"},
            {"chords", "HX1KC8HX5KD8TZ", 4, "[和弦1.3.5]1 [和弦5.7.2]2 ||"},
            {"rhythms", "JP1KC8JP10KD8JP99KE8JP0KF8TZ", 4, "[2/4节奏1]1 [节奏文件1]2 [节奏停]3 4 ||"},
            {"instrument combinations", "YQ12KC8YQ13KD8YQKE8TZ", 4, "[组合十二]1 [组合七]2 [组合七]3 ||"},
            {"effect after a note holds it", "KC8YX6TZ", 4, "1 [编钟]~1. ||"},
            {"effect after a rest", "XZ8YX2TZ", 4, "0 [木鱼]0_ ||"},
            {"effect at the start", "YX1KC8TZ", 4, "[铜钹]0__ 1 ||"},
            {"effects 5 and 7", "KC8YX5TZ", 4, "1 [海浪声]~1 - - | ~1 - ||"},
            {"unknown effect and rhythm are skipped", "YX7KCJP0TZ", 4, "1._ ~1___ ||"},
            {"marks at the end", "KC8YQ3", 4, "1 [组合三]#"},
            {"a space", "KC8 KD8TZ", 4, "1 !{ } 2 ||"},
            {"lower case", "kc8KD8TZ", 4, "!{kc8} 2 ||"},
            {"chord out of range", "HX7KC8HXKD8TZ", 4, "!{HX7} 1 !{HX} 2 ||"},
            {"stray third digit", "KC123KD8TZ", 4, "1. !{3} 2 ||"},
            {"recording in progress", "KC8KD", 4, "1 2"},
            {"ends on a number", "KC8KD4", 4, "1 2_"},
            {"one letter left", "KC8K", 4, "1 !{K}"},
            {"played on after the end", "KC8TZ0KC4KCKGKGTZ", 4, "1 || 1_ 1_ 5_ 5_ ||"},
            {"end at a bar line", "KC32TZKD8", 2, "1 - | ~1 - || 2"},
            {"marks before the end", "KC8YQ3TZ", 4, "1 [组合三]# ||"},
            {"empty", "", 4, ""},
        };
        for (const auto &r : rows)
            QTest::newRow(r.name) << QString::fromUtf8(r.score) << r.beats << QString::fromUtf8(r.expected);
    }
    void scores()
    {
        QFETCH(QString, score);
        QFETCH(int, beats);
        QFETCH(QString, expected);
        QCOMPARE(spell(score, beats), expected);
    }

    void header()
    {
        Options o;
        o.tempo = 75;
        QCOMPARE(read(QStringLiteral("KC8TZ"), o).tempo, 75);
        QCOMPARE(read(QStringLiteral("YQ3VS12KC8TZ"), o).tempo, 115);
        QCOMPARE(read(QStringLiteral("KC8VS12KC8TZ"), o).tempo, 75);
        QCOMPARE(keyText(0), QStringLiteral("1=C"));
        QCOMPARE(keyText(11), QStringLiteral("1=B"));
        QCOMPARE(beatsForTimeSignature(0), 2);
        QCOMPARE(beatsForTimeSignature(2), 4);
        QCOMPARE(beatsForText(QStringLiteral("3/4")), 3);
        QCOMPARE(beatsForText(QStringLiteral("5/4")), 0);
    }

    void userRhythmNames()
    {
        Options o;
        o.rhythmFileName = [](int n) { return n == 10 ? QStringLiteral("慢摇") : QString(); };
        const Sheet s = read(QStringLiteral("JP10KC8JP11KD8TZ"), o);
        QCOMPARE(s.cells[0].marks.value(0).text, QStringLiteral("慢摇"));
        QCOMPARE(s.cells[1].marks.value(0).text, QStringLiteral("节奏文件2"));
    }

    void errorsAreCountedWithTheirPlace()
    {
        const Sheet s = read(QStringLiteral("KC8XX8KD8TZ"));
        QCOMPARE(s.errorCount, 1);
        QCOMPARE(s.firstErrorPosition, 4);
        const Cell &e = s.cells[1];
        QCOMPARE(e.kind, CellKind::Error);
        QCOMPARE(e.text, QStringLiteral("XX8"));
        QVERIFY(e.toolTip.startsWith(QStringLiteral("乐谱中出现错误，请修改！")));
        QCOMPARE(read(QStringLiteral("KC8TZ")).errorCount, 0);
        // What follows "TZ" is never played: shown, but no fault of the music.
        const Sheet after = read(QStringLiteral("KC8TZ\r\nhello"));
        QCOMPARE(after.errorCount, 0);
        QCOMPARE(after.cells.last().kind, CellKind::Error);
        QVERIFY(after.cells.last().afterEnd);
        // A long run of rubbish is cut short on the staff.
        const Sheet junk = read(QString(40, QLatin1Char('?')) + QStringLiteral("KC8TZ"));
        QCOMPARE(junk.errorCount, 1);
        QVERIFY(junk.cells[0].text.size() <= 13);
        QCOMPARE(junk.cells[0].sourceLength, 40);
    }

    // A score longer than the player takes is read up to that length, never
    // into a token that runs past it; the rest is one red mark.
    void longScoresAreReadUpToTheLimit_data()
    {
        QTest::addColumn<QString>("score");
        QTest::addColumn<int>("cutAt");  // 0: read whole
        const int limit = ScoreReader::kMaxScoreLength;
        // "KC8" × n fills 3n characters; the limit is 3 × 10922 + 1.
        const QString full = QStringLiteral("KC8").repeated(10922);
        QTest::newRow("at the limit") << full + QStringLiteral("8") << 0;
        QTest::newRow("one over") << full + QStringLiteral("TZ") << limit;
        QTest::newRow("a number past it") << full.left(limit - 2) + QStringLiteral("KD12TZ") << limit - 1;
        QTest::newRow("a token past it") << full.left(limit - 1) + QStringLiteral("KD8") << limit;
        QTest::newRow("rubbish past it") << full + QStringLiteral("??") + QString(100000, QLatin1Char('x')) << limit;
    }

    void longScoresAreReadUpToTheLimit()
    {
        QFETCH(QString, score);
        QFETCH(int, cutAt);
        const Sheet s = read(score);
        QCOMPARE(s.cutPosition, cutAt);
        if (cutAt == 0) {
            QCOMPARE(s.errorCount, 0);
            return;
        }
        // Up to the cut exactly what the part before it reads as; then the mark.
        const Sheet before = read(score.left(cutAt - 1));
        QCOMPARE(s.cells.size(), before.cells.size() + 1);
        QCOMPARE(s.cells[s.cells.size() - 2].position, before.cells.last().position);
        const Cell &mark = s.cells.last();
        QCOMPARE(mark.kind, CellKind::Error);
        QCOMPARE(mark.position, cutAt);
        QCOMPARE(mark.sourceLength, int(score.size()) - cutAt + 1);
        QVERIFY(mark.text.size() <= 13);
        QVERIFY2(mark.toolTip.contains(QStringLiteral("乐谱太长")), qPrintable(mark.toolTip));
        QCOMPARE(s.errorCount, 1);
        QCOMPARE(s.firstErrorPosition, cutAt);
        // The mark counts even after "TZ": the player refuses the whole score.
        const Sheet ended = read(QStringLiteral("KC8TZ") + QString(40000, QLatin1Char('K')));
        QCOMPARE(ended.errorCount, 1);
        QCOMPARE(ended.cutPosition, ScoreReader::kMaxScoreLength);
    }

    // The player shows its place by score position: the view finds the
    // cells of the token there.
    void cellsOfAPosition()
    {
        const Sheet s = read(QStringLiteral("YQ1KC8KD16KE8TZ"));
        auto range = [&](int p) {
            const auto r = s.cellsAt(p);
            return QStringLiteral("%1-%2").arg(r.first).arg(r.second);
        };
        QCOMPARE(range(1), QStringLiteral("0-0"));  // the command: no cell of its own
        QCOMPARE(range(4), QStringLiteral("0-1"));
        QCOMPARE(range(5), QStringLiteral("0-1"));  // the player selects the second letter
        QCOMPARE(range(7), QStringLiteral("1-3"));  // head and dash
        QCOMPARE(range(10), QStringLiteral("1-3"));
        QCOMPARE(range(11), QStringLiteral("3-4"));
        QCOMPARE(range(14), QStringLiteral("0-0"));
        QCOMPARE(range(99), QStringLiteral("0-0"));
    }

    // Whatever the text: cells in time order, inside their bars, ties to
    // earlier note heads, positions inside the text.
    void randomTextsKeepTheStructure()
    {
        QRandomGenerator rng(1717);
        const QString alphabet = QStringLiteral("KCDEFGABLWHMXZTVSYQJPHX0123456789 k\r\n");
        const QStringList pieces{QStringLiteral("KC8"), QStringLiteral("HA20"), QStringLiteral("XZ12"),
                                 QStringLiteral("YX5"), QStringLiteral("VS0"), QStringLiteral("HX3"),
                                 QStringLiteral("LB99"), QStringLiteral("MA"), QStringLiteral("KD0")};
        for (int round = 0; round < 400; ++round) {
            QString score;
            const int n = int(rng.bounded(60));
            for (int i = 0; i < n; ++i)
                score += rng.bounded(3) == 0 ? QString(alphabet[int(rng.bounded(int(alphabet.size())))])
                                             : pieces[int(rng.bounded(int(pieces.size())))];
            Options o;
            o.beatsPerBar = 2 + int(rng.bounded(3));
            const Sheet s = read(score, o);
            int time = 0;
            int lastPosition = 0;
            int cellsInBars = 0;
            for (int i = 0; i < s.cells.size(); ++i) {
                const Cell &c = s.cells[i];
                if (c.afterEnd && c.start != time) {
                    // The music after "TZ" begins a new bar.
                    QVERIFY(c.start > time && c.start % s.barLength() == 0);
                    time = c.start;
                }
                QCOMPARE(c.start, time);
                QVERIFY2(c.start % s.barLength() + c.length <= s.barLength(), qPrintable(score));
                QCOMPARE(c.bar, c.start / s.barLength());
                QVERIFY(c.position >= lastPosition);
                QVERIFY(c.position >= 1 && c.position <= score.size());
                QVERIFY(c.tieFrom < i);
                if (c.tieFrom >= 0)
                    QCOMPARE(s.cells[c.tieFrom].kind, CellKind::Note);
                time += c.length;
                lastPosition = c.position;
            }
            for (const Bar &b : s.bars)
                cellsInBars += b.count;
            QCOMPARE(cellsInBars, int(s.cells.size()));
            QCOMPARE(s.length, time);
        }
    }
};

class NotationRowsTest : public QObject {
    Q_OBJECT
private:
    static Metrics metrics()
    {
        Metrics m;
        m.noteWidth = 20;
        m.dotWidth = 6;
        m.dashWidth = 20;
        m.barWidth = 10;
        m.markGap = 4;
        m.markWidth = [](const QString &t) { return qreal(t.size() * 10); };
        m.errorWidth = [](const QString &t) { return qreal(t.size() * 8); };
        return m;
    }

private slots:
    // Bars of 4 × 20 + a bar line of 10 = 90.
    void wholeBarsPerRow()
    {
        const Sheet s = read(QStringLiteral("KC8KCKCKCKDKDKDKDKEKEKEKEKFKFKFKFKGKGKGKGTZ"));
        const QVector<Row> rows = layoutRows(s, metrics(), 200);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].cells.size(), 8);
        QCOMPARE(rows[1].cells.size(), 8);
        QCOMPARE(rows[2].cells.size(), 4);
        // Full rows are stretched to the width; the last keeps its spacing.
        QCOMPARE(rows[0].barLines.last().x, 200 - 5.0);
        QCOMPARE(rows[2].cells[1].x, 20.0);
        QVERIFY(rows[2].barLines.last().final);
        QVERIFY(!rows[0].barLines.last().final);
        // Cells stay in order and never overlap.
        for (const Row &r : rows) {
            for (int i = 1; i < r.cells.size(); ++i)
                QVERIFY(r.cells[i].x >= r.cells[i - 1].x + r.cells[i - 1].width - 1e-9);
        }
    }

    void aBarWiderThanTheRowBreaksBetweenCells()
    {
        const Sheet s = read(QStringLiteral("KC4KCKCKCKCKCKCKCTZ"));  // one bar of eight cells
        const QVector<Row> rows = layoutRows(s, metrics(), 100);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].cells.size(), 5);
        QCOMPARE(rows[0].barLines.size(), 0);
        QCOMPARE(rows[1].barLines.size(), 1);
    }

    void unfinishedBarHasNoLine()
    {
        const QVector<Row> rows = layoutRows(read(QStringLiteral("KC8KDKEKFKGKA")), metrics(), 1000);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].barLines.size(), 1);
        QVERIFY(!rows[0].barLines[0].final);
        QVERIFY(layoutRows(read(QString()), metrics(), 500).isEmpty());
    }

    void marksDoNotOverlap()
    {
        const Sheet s = read(QStringLiteral("KC8YQ5JP1KD4HX1KE4TZ"));
        const QVector<Row> rows = layoutRows(s, metrics(), 1000);
        QCOMPARE(rows[0].marks.size(), 3);
        const PlacedMark &a = rows[0].marks[0];
        const PlacedMark &b = rows[0].marks[1];
        const PlacedMark &c = rows[0].marks[2];
        QCOMPARE(a.x, rows[0].cells[1].x);  // over its note
        QCOMPARE(b.x, a.x + a.width + 4);  // pushed right of the one before
        QVERIFY(c.x >= b.x + b.width + 4);
        QCOMPARE(c.cell, 2);
    }

    void errorsTakeTheirTextsWidth()
    {
        const Sheet s = read(QStringLiteral("KC8????KD8TZ"));
        const QVector<Row> rows = layoutRows(s, metrics(), 1000);
        QCOMPARE(rows[0].cells[1].width, 4 * 8 + metrics().errorPadding);
    }
};

DZQ_TEST_MAIN(NotationSheetTest, NotationRowsTest)

#include "NotationSheetTest.moc"
