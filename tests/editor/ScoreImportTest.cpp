#include "EditorRig.h"
#include "TestMain.h"

#include "editor/model/ScoreImport.h"

namespace {

// "step:cell" for every cell of row 0 that is not "--", and whether row 1 is the same.
QStringList placed(const EditorModel &m, bool *rowsAlike)
{
    QStringList out;
    *rowsAlike = true;
    for (int a = 0; a < m.StepCount() * (m.MeasureTotal + 1); ++a) {
        const QString cell = m.StepCells(a, 0);
        if (cell != m.StepCells(a, 1))
            *rowsAlike = false;
        if (cell != QLatin1String("--"))
            out << QStringLiteral("%1:%2").arg(a).arg(cell);
    }
    return out;
}

}  // namespace

class ScoreImportTest : public QObject {
    Q_OBJECT
private slots:
    void scan_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<int>("measureTotal");
        QTest::addColumn<int>("duration");
        QTest::newRow("worked example") << QByteArray("YQ12XZ8KGKEKDKC32") << "0:XZ 4:KG 8:KE 12:KD 16:KC" << 2 << 32;
        QTest::newRow("with the end mark")
            << QByteArray("YQ12XZ8KGKEKDKC32TZ") << "0:XZ 4:KG 8:KE 12:KD 16:KC 32:TZ" << 3 << 32;
        QTest::newRow("command digits set the duration") << QByteArray("YQ12KCKD") << "0:KC 6:KD" << 0 << 12;
        QTest::newRow("duration 3 is one step") << QByteArray("KC3KD") << "0:KC 1:KD" << 0 << 3;
        QTest::newRow("duration 1 is overwritten") << QByteArray("KC1KD2KE") << "0:KD 1:KE" << 0 << 2;
        QTest::newRow("duration 0") << QByteArray("KC0KDKE4KF") << "0:KE 2:KF" << 0 << 4;
        QTest::newRow("last digit of the text") << QByteArray("KC4KG8") << "0:KC 2:KG" << 0 << 8;
        QTest::newRow("MA is placed") << QByteArray("MA4KC") << "0:MA 2:KC" << 0 << 4;
        QTest::newRow("unknown pairs are skipped") << QByteArray("ZZ4kc8KC") << "0:KC" << 0 << 8;
        QTest::newRow("line breaks") << QByteArray("KC\r\n8KD\n4\rKE") << "0:KC 4:KD 6:KE" << 0 << 4;
        QTest::newRow("nothing after TZ") << QByteArray("KC8TZKD") << "0:KC 4:TZ" << 0 << 8;
        QTest::newRow("empty file") << QByteArray() << "" << 0 << 0;
    }
    void scan()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, cells);
        QFETCH(int, measureTotal);
        QFETCH(int, duration);
        EditorRig rig;
        rig.t.dialogs.openAnswers << rig.write(QStringLiteral("score.txt"), file);
        rig.c.files.importClicked();
        QCOMPARE(rig.t.dialogs.openRequests[0].filter, QStringLiteral("编辑记录txt|*.txt"));
        QVERIFY(rig.t.dialogs.messages.isEmpty());
        bool alike = false;
        QCOMPARE(placed(rig.model, &alike).join(QLatin1Char(' ')), cells);
        QVERIFY(alike);
        QCOMPARE(int(rig.model.MeasureTotal), measureTotal);
        QCOMPARE(int(rig.model.ImportDuration), duration);
        // Rows 0 and 1 are whole, rows 2..4 stay empty; measure 0 is shown.
        QCOMPARE(rig.model.RowTexts(0, 1).size(), 32);
        QCOMPARE(rig.model.RowTexts(0, 2), QString());
        QCOMPARE(rig.controls().melodyText(0), rig.model.RowTexts(0, 0));
        QCOMPARE(rig.controls().scrollMaximum(), measureTotal);
    }

    void durationCarriesOverAndOldCellsDoNot()
    {
        EditorRig rig;
        // An earlier edit left beats and notes in measure 3.
        rig.show(3);
        rig.enterMelody(2, QStringLiteral("KC"));
        rig.controls().clickBox(5, 1, true);
        rig.model.MeasureTotal = 0;
        rig.c.files.importScoreFile(rig.write(QStringLiteral("a.txt"), "KC8"));
        QCOMPARE(int(rig.model.ImportDuration), 8);
        rig.c.files.importScoreFile(rig.write(QStringLiteral("b.txt"), QByteArray("KD").repeated(32)));
        QCOMPARE(int(rig.model.MeasureTotal), 8);
        QCOMPARE(rig.model.StepCells(4, 0), QStringLiteral("KD"));
        QCOMPARE(rig.model.RowTexts(3, 2), QString());
        QVERIFY(rig.model.StepCells(48, 2).isEmpty());
        QVERIFY(rig.model.StepCells(49, 5).isEmpty());
    }

    void longScoresAreCut_data()
    {
        QTest::addColumn<int>("notes");
        QTest::addColumn<bool>("cut");
        QTest::newRow("100 measures and the end") << 100 << false;
        QTest::newRow("101 measures") << 101 << true;
    }
    void longScoresAreCut()
    {
        QFETCH(int, notes);
        QFETCH(bool, cut);
        EditorRig rig;
        QByteArray score("KC32");
        score += QByteArray("KD").repeated(notes - 1) + "TZ";
        QVERIFY(rig.c.files.importScoreFile(rig.write(QStringLiteral("long.txt"), score)));
        QCOMPARE(int(rig.model.MeasureTotal), 99);
        QCOMPARE(rig.model.StepCells(1584, 0), QStringLiteral("KD"));
        QCOMPARE(rig.t.dialogs.messages.size(), cut ? 1 : 0);
        if (cut)
            QVERIFY(rig.t.dialogs.messages[0].contains(QStringLiteral("只导入了前100个小节")));
    }

    void unreadableFileSaysSo()
    {
        EditorRig rig;
        QVERIFY(!rig.c.files.importScoreFile(rig.t.path(QStringLiteral("missing.txt"))));
        QCOMPARE(rig.t.dialogs.messages.size(), 1);
        QCOMPARE(int(rig.model.MeasureTotal), 0);
    }
};

DZQ_REGISTER_TEST(ScoreImportTest)
#include "ScoreImportTest.moc"
