#include "EditorRig.h"
#include "TestMain.h"

#include "editor/model/EditFile.h"
#include "editor/model/MeasureHeader.h"

#include <QDir>
#include <QRandomGenerator>

namespace {

QByteArray lines(const QStringList &list)
{
    QByteArray out;
    for (const QString &l : list)
        out += l.toLatin1() + "\r\n";
    return out;
}

QString dashes(int n) { return QString(n, QLatin1Char('-')); }

// A random edit of measures 0..total: melody cells, beats and some stored headers.
void randomEdit(EditorRig &rig, QRandomGenerator &rng, int total)
{
    const QStringList cells{QStringLiteral("KC"), QStringLiteral("MG"), QStringLiteral("XZ"), QStringLiteral("TZ"),
                            QStringLiteral("--"), QStringLiteral("LA"), QStringLiteral("H"), QStringLiteral("ma")};
    EditorControls &c = rig.controls();
    for (int m = 0; m <= total; ++m) {
        rig.show(m);
        for (int r = 0; r < 5; ++r) {
            QString text;
            const int n = int(rng.bounded(rig.model.StepCount() + 1));
            for (int k = 0; k < n; ++k)
                text += cells[int(rng.bounded(cells.size()))];
            rig.enterMelody(r, text.left(c.melodyMaxLength()));
        }
        for (int r = 5; r < 10; ++r) {
            for (int s = 0; s < rig.model.StepCount(); ++s)
                c.clickBox(r, s, rng.bounded(3) == 0);
        }
        if (rng.bounded(2)) {
            c.selectInstrument(int(rng.bounded(10)), int(rng.bounded(47)));
            c.setVolumeText(int(rng.bounded(10)), QString::number(rng.bounded(130)));
            c.selectTempo(int(rng.bounded(13)));
            c.BCXJ();
        }
    }
    rig.model.MeasureTotal = total;
}

}  // namespace

class EditFileTest : public QObject {
    Q_OBJECT
private slots:
    void oneEmptyMeasure()
    {
        EditorRig rig;
        rig.t.dialogs.saveAnswers << rig.t.path(QStringLiteral("empty.lnk"));
        rig.c.files.saveClicked();
        QCOMPARE(rig.t.dialogs.saveRequests.size(), 1);
        QCOMPARE(rig.t.dialogs.saveRequests[0].filter, QStringLiteral("乐谱编辑|*.lnk"));
        QVERIFY(rig.t.dialogs.saveRequests[0].confirmOverwrite);
        QStringList expected{QStringLiteral("0000")};
        for (int r = 0; r < 5; ++r)
            expected << dashes(32);
        for (int r = 0; r < 5; ++r)
            expected << dashes(16);
        QCOMPARE(EditorRig::readAll(rig.t.path(QStringLiteral("empty.lnk"))), lines(expected));
    }

    void saveAndOpenRandomEdits_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("total");
        QTest::newRow("2/4") << 0 << 5;
        QTest::newRow("3/4") << 1 << 2;
        QTest::newRow("4/4, measures 0-3") << 2 << 3;
    }
    void saveAndOpenRandomEdits()
    {
        QFETCH(int, option);
        QFETCH(int, total);
        QRandomGenerator rng(quint32(1234 + option));
        EditorRig rig;
        rig.controls().selectTimeSignature(option);
        randomEdit(rig, rng, total);
        const QString path = rig.t.path(QStringLiteral("edit.lnk"));
        QVERIFY(rig.c.files.BCBJWJ(path));

        EditorRig other;
        other.t.dialogs.openAnswers << path;
        other.c.files.openClicked();
        QCOMPARE(other.t.dialogs.openRequests[0].filter, QStringLiteral("编辑记录|*.lnk"));
        QVERIFY(other.t.dialogs.messages.isEmpty());
        QCOMPARE(int(other.model.MeasureTotal), total);
        QCOMPARE(int(other.model.MeasureLastStep), 15 + 8 * option);
        QCOMPARE(other.controls().timeSignature(), option);
        for (int m = 0; m <= total; ++m) {
            QCOMPARE(other.model.MeasureHeaders(m), rig.model.MeasureHeaders(m));
            for (int r = 0; r < 10; ++r)
                QCOMPARE(other.model.RowTexts(m, r), rig.model.RowTexts(m, r));
        }
        for (int a = 0; a < rig.model.StepCount() * (total + 1); ++a) {
            for (int r = 0; r < 10; ++r)
                QCOMPARE(other.model.StepCells(a, r), rig.model.StepCells(a, r));
        }
        // Measure 0 is shown, with the settings of its header when it has one.
        QCOMPARE(other.controls().melodyText(0), rig.model.RowTexts(0, 0));
        QCOMPARE(other.controls().XJXSS(), QStringLiteral("实际小节数是(1-2)小节"));
        QCOMPARE(other.controls().scrollMaximum(), total);
        for (int s = 0; s < other.model.StepCount(); ++s)
            QCOMPARE(other.controls().boxTicked(7, s), rig.model.StepCells(s, 7) == QLatin1String("O"));
    }

    void storedSettingsComeBackWhenTheMeasureIsShown()
    {
        EditorRig rig;
        rig.show(1);
        rig.controls().selectInstrument(0, 41);
        rig.controls().setVolumeText(0, QStringLiteral("100"));
        rig.controls().selectKey(2);
        rig.controls().selectTempo(8);
        rig.controls().BCXJ();
        rig.model.MeasureTotal = 1;
        const QString path = rig.t.path(QStringLiteral("settings.lnk"));
        QVERIFY(rig.c.files.BCBJWJ(path));

        EditorRig other;
        QVERIFY(other.c.files.openEditFile(path));
        QCOMPARE(other.controls().instrument(0), 15);  // measure 0 has no settings
        other.show(1);
        QCOMPARE(other.controls().instrument(0), 41);
        QCOMPARE(other.controls().volumeText(0), QStringLiteral("100"));
        QCOMPARE(int(other.t.state.KeyBase), 38);
        QCOMPARE(int(other.model.StepInterval), 150);
    }

    void shortFilesAndShortLines()
    {
        EditorRig rig;
        QStringList l{QStringLiteral("0000"), QStringLiteral("KCKD")};  // a short melody line
        l[1] = QStringLiteral("KC") + dashes(30);
        for (int i = 2; i < 11; ++i)
            l << (i < 6 ? QStringLiteral("KD") : QStringLiteral("O"));
        l << QStringLiteral("0001") << QStringLiteral("MG") << QStringLiteral("XZ") << QStringLiteral("M");
        QCOMPARE(l.size(), 15);
        QVERIFY(rig.c.files.openEditFile(rig.write(QStringLiteral("15.lnk"), lines(l))));
        QCOMPARE(int(rig.model.MeasureTotal), 1);
        QCOMPARE(rig.model.StepCells(1, 1), QStringLiteral("--"));
        QCOMPARE(rig.model.StepCells(16, 0), QStringLiteral("MG"));
        QCOMPARE(rig.model.StepCells(17, 0), QStringLiteral("--"));
        QCOMPARE(rig.model.StepCells(16, 2), QStringLiteral("M"));
        QCOMPARE(rig.model.StepCells(16, 3), QStringLiteral("--"));
        QVERIFY(rig.model.StepCells(16, 5).isEmpty());
        QCOMPARE(rig.model.MeasureHeaders(1), QStringLiteral("0001"));
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        const QByteArray measure = lines({QStringLiteral("0000"), dashes(32)});
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("是空的");
        QTest::newRow("empty melody line") << lines({QStringLiteral("0000"), QString()}) << QStringLiteral("是空的");
        QTest::newRow("40 characters") << lines({QStringLiteral("0000"), dashes(40)}) << QStringLiteral("40个字符");
        QTest::newRow("1601 lines") << measure + QByteArray("-\r\n").repeated(1599) << QStringLiteral("1601行");
        // 101 measures of 2/4 do not fit the 1600 steps.
        QTest::newRow("101 measures") << measure + QByteArray("-\r\n").repeated(1101 - 2)
                                      << QStringLiteral("101个小节");
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        EditorRig rig;
        rig.enterMelody(0, QStringLiteral("KC"));
        rig.model.MeasureTotal = 2;
        QVERIFY(!rig.c.files.openEditFile(rig.write(QStringLiteral("bad.lnk"), bytes)));
        QCOMPARE(rig.t.dialogs.messages.size(), 1);
        QVERIFY2(rig.t.dialogs.messages[0].contains(says), qPrintable(rig.t.dialogs.messages[0]));
        QVERIFY(rig.t.dialogs.messages[0].contains(QStringLiteral("不能打开")));
        QCOMPARE(int(rig.model.MeasureTotal), 0);
        QVERIFY(rig.model.StepCells(0, 0).isEmpty());
        QCOMPARE(rig.controls().melodyText(0), QString());
    }

    void missingFileAndCancelledDialogs()
    {
        EditorRig rig;
        QVERIFY(!rig.c.files.openEditFile(rig.t.path(QStringLiteral("none.lnk"))));
        QCOMPARE(rig.t.dialogs.messages.size(), 1);

        rig.enterMelody(0, QStringLiteral("KC"));
        rig.c.files.openClicked();  // cancelled: the edit is empty all the same (and kept)
        QVERIFY(rig.model.StepCells(0, 0).isEmpty());
        rig.c.files.saveClicked();  // cancelled: nothing is written
        QCOMPARE(rig.t.dialogs.messages.size(), 2);
        QCOMPARE(QDir(rig.t.folder.path()).entryList(QDir::Files).size(), 1);
    }

    // An edit no file holds is kept in the record folder wherever the
    // editor would drop it: leaving, a cancelled open; a MIDI song given to
    // the import is refused and the edit stays.
    void workNoFileHoldsIsKept()
    {
        EditorRig rig;
        QString told;
        rig.c.tellMainWindow = [&](const QString &line) { told = line; };
        const auto kept = [&] {
            return QDir(rig.t.folder.path()).entryList({QStringLiteral("编辑-*.lnk")}, QDir::Files);
        };

        rig.enterMelody(0, QStringLiteral("KCKD"));
        const QString song = rig.write(QStringLiteral("歌.mid"), QByteArray("MThd\0\0\0\6\0\0\0\1\1\xE0", 14));
        rig.t.dialogs.openAnswers << song;
        rig.c.files.importClicked();
        QCOMPARE(rig.model.StepCells(0, 0), QStringLiteral("KC"));
        QVERIFY(!rig.c.files.importScoreFile(song));
        QCOMPARE(rig.model.StepCells(1, 0), QStringLiteral("KD"));
        QCOMPARE(rig.t.dialogs.messages.size(), 2);
        QVERIFY(rig.t.dialogs.messages[0].contains(QStringLiteral("是MIDI歌曲，不是乐谱文件")));
        QVERIFY(kept().isEmpty());

        rig.c.files.openClicked();  // cancelled
        QCOMPARE(kept().size(), 1);
        QCOMPARE(rig.t.dialogs.messages.last(), QStringLiteral("未保存的编辑已存入“演奏记录”：") + kept()[0]);
        QVERIFY(EditorRig::readAll(rig.t.path(kept()[0])).contains("KCKD----"));

        rig.enterMelody(0, QStringLiteral("KE"));
        rig.c.leave();
        QCOMPARE(kept().size(), 2);
        QVERIFY(told.startsWith(QStringLiteral("未保存的编辑已存入“演奏记录”：编辑-")));
        QVERIFY(rig.c.files.keepUnsaved().isEmpty());  // kept once only

        // Saved, then left: nothing to keep.
        rig.c.open();
        told.clear();
        rig.enterMelody(0, QStringLiteral("KG"));
        rig.t.dialogs.saveAnswers << rig.t.path(QStringLiteral("mine.lnk"));
        rig.c.files.saveClicked();
        rig.c.leave();
        QVERIFY(told.isEmpty());
        QCOMPARE(kept().size(), 2);
    }

    void failedSaveSaysSoAndKeepsTheOldFile()
    {
        EditorRig rig;
        const QString path = rig.write(QStringLiteral("old.lnk"), "old");
        rig.enterMelody(0, QStringLiteral("\U0001F600"));  // no GBK for this one
        QVERIFY(!rig.c.files.BCBJWJ(path));
        QCOMPARE(EditorRig::readAll(path), QByteArray("old"));
        QVERIFY(!rig.c.files.BCBJWJ(rig.t.path(QStringLiteral("no/such/folder/x.lnk"))));
        QCOMPARE(rig.t.dialogs.messages.size(), 2);
        QVERIFY(rig.t.dialogs.messages[1].startsWith(QStringLiteral("保存编辑文件")));
    }
};

DZQ_REGISTER_TEST(EditFileTest)
#include "EditFileTest.moc"
