#include "TestMain.h"

#include "PracticeRig.h"

#include "headless/CommandLine.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

using CommandLine::Action;

namespace {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

// The built program with no display at all: grading and mistakes need none.
ProgramRun runWithoutDisplay(const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DZQ_BINARY), arguments);
    ProgramRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace

// "--practice" for the window, "--played" for grading, on the real program.
class PracticeCommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void windowOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("errorPart");  // empty: runs
        QTest::newRow("score") << QStringList{"--practice", "a.txt"} << "" << "" << "";
        QTest::newRow("mode and speed") << QStringList{"--speed", "80", "--practice", "a.txt", "--mode", "tempo"}
                                        << "tempo" << "80" << "";
        QTest::newRow("mode alone") << QStringList{"--mode", "tempo"} << "" << "" << "只能和“--practice”一起使用";
        QTest::newRow("speed alone") << QStringList{"--speed", "80", "a.txt"} << "" << "" << "“--speed”只能和";
        QTest::newRow("two scores") << QStringList{"--practice", "a.txt", "b.txt"} << "" << "" << "只能打开一个乐谱文件";
        QTest::newRow("no file") << QStringList{"--practice"} << "" << "" << "“--practice”后面缺少乐谱文件名";
        QTest::newRow("twice") << QStringList{"--practice", "a.txt", "--mode", "wait", "--mode", "step"} << ""
                               << "" << "“--mode”只能给出一次";
    }
    void windowOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, errorPart);
        const CommandLine::Parsed p = CommandLine::parse(QStringList{QStringLiteral("dzq")} + arguments);
        if (!errorPart.isEmpty()) {
            QCOMPARE(p.action, Action::Error);
            QVERIFY2(p.error.contains(errorPart), qPrintable(p.error));
            return;
        }
        QCOMPARE(p.action, Action::Run);
        QCOMPARE(p.practicePath, QDir::current().absoluteFilePath(QStringLiteral("a.txt")));
        QVERIFY(p.scorePath.isEmpty());
        QTEST(p.practiceMode, "mode");
        QTEST(p.practiceSpeed, "speed");
    }

    void theProgramGradesWithoutADisplay()
    {
        QTemporaryDir dir;
        const QString score = practicetest::writeFile(dir.filePath(QStringLiteral("s.txt")), "KC8KD8TZ");
        const QString take = practicetest::writeTake(dir.filePath(QStringLiteral("t.mid")), {{0, 60}, {600, 62}});
        ProgramRun r = runWithoutDisplay({QStringLiteral("--practice"), score, QStringLiteral("--played"), take,
                                          QStringLiteral("--mode"), QStringLiteral("tempo")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("{\"mode\":\"tempo\",\"speed\":100,\"notes\":2,\"hits\":2,\"perfect\":1,"
                                       "\"missed\":0,\"extra\":0,\"accuracy\":100.0,\"timing_mean_ms\":-32.0,"
                                       "\"timing_sd_ms\":32.0}\n"));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));

        r = runWithoutDisplay({QStringLiteral("--practice"), score, QStringLiteral("--played"), take,
                               QStringLiteral("--speed"), QStringLiteral("200")});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);

        // The window's own mistakes are told before any window, as every mistake is.
        r = runWithoutDisplay({QStringLiteral("--practice"), score, QStringLiteral("--mode"), QStringLiteral("free")});
        QCOMPARE(r.status, CommandLine::kUsageError);
        QVERIFY2(r.err.contains(QStringLiteral("练习方式“free”无法识别")), qPrintable(r.err));
        r = runWithoutDisplay({QStringLiteral("--practice"), score, QStringLiteral("--speed"), QStringLiteral("45")});
        QCOMPARE(r.status, CommandLine::kUsageError);
        QVERIFY2(r.err.contains(QStringLiteral("速度“45”超出范围")), qPrintable(r.err));
        // --help tells how to practise.
        r = runWithoutDisplay({QStringLiteral("--help")});
        QVERIFY(r.out.contains(QStringLiteral("--practice")) && r.out.contains(QStringLiteral("--played")));
    }
};

DZQ_REGISTER_TEST(PracticeCommandLineTest)
#include "PracticeCommandLineTest.moc"
