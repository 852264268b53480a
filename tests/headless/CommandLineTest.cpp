#include "ProgramRun.h"
#include "TestMain.h"

#include "headless/CommandLine.h"
#include "headless/RenderCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

using CommandLine::Action;

namespace {

// The program with no display at all: what it says must not need one.
ProgramRun runWithoutDisplay(const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(name);
    return runProgram(arguments, env, 20000);
}

}  // namespace

// "dzq [--midi-log FILE] [SCORE.txt]", "--help", "--version".
class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void parsesTheWindowsCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("midiLog");
        QTest::addColumn<QString>("score");
        QTest::addColumn<QString>("errorPart");
        const int run = int(Action::Run);
        const int error = int(Action::Error);
        const QString score = QDir::current().absoluteFilePath("a.txt");
        QTest::newRow("nothing") << QStringList{} << run << "" << "" << "";
        QTest::newRow("help") << QStringList{"--help"} << int(Action::Help) << "" << "" << "";
        QTest::newRow("-h beats a score") << QStringList{"a.txt", "-h"} << int(Action::Help) << "" << "" << "";
        QTest::newRow("version") << QStringList{"--version"} << int(Action::Version) << "" << "" << "";
        QTest::newRow("-v") << QStringList{"-v"} << int(Action::Version) << "" << "" << "";
        QTest::newRow("log") << QStringList{"--midi-log", "m.log"} << run << "m.log" << "" << "";
        QTest::newRow("log=") << QStringList{"--midi-log=m.log", "a.txt"} << run << "m.log" << score << "";
        QTest::newRow("score") << QStringList{"a.txt"} << run << "" << score << "";
        QTest::newRow("score after --") << QStringList{"--", "-a.txt"} << run << ""
                                        << QDir::current().absoluteFilePath("-a.txt") << "";
        QTest::newRow("unknown long") << QStringList{"--bogus"} << error << "" << "" << "“--bogus”";
        QTest::newRow("unknown short") << QStringList{"-x"} << error << "" << "" << "“-x”";
        QTest::newRow("log without file") << QStringList{"--midi-log"} << error << "" << "" << "缺少文件名";
        QTest::newRow("log empty") << QStringList{"--midi-log="} << error << "" << "" << "缺少文件名";
        QTest::newRow("log twice") << QStringList{"--midi-log", "a", "--midi-log", "b"} << error << "" << ""
                                   << "只能给出一次";
        QTest::newRow("two scores") << QStringList{"a.txt", "b.txt"} << error << "" << "" << "“b.txt”";
    }

    void parsesTheWindowsCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, midiLog);
        QFETCH(QString, score);
        QFETCH(QString, errorPart);
        const CommandLine::Parsed p = CommandLine::parse(QStringList{"dzq"} + arguments);
        QCOMPARE(int(p.action), action);
        if (p.action == Action::Run) {
            QCOMPARE(p.midiLogPath, midiLog);
            QCOMPARE(p.scorePath, QDir::cleanPath(score));
        }
        if (p.action == Action::Error) {
            QVERIFY2(p.error.contains(errorPart), qPrintable(p.error));
            QVERIFY(!p.error.contains('\n'));
        }
    }

    // --midi-in none|all|NAME: which MIDI keyboards play; all by default.
    void midiInput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("midiIn");  // empty: an error
        QTest::newRow("default") << QStringList{} << "all";
        QTest::newRow("none") << QStringList{"--midi-in", "none"} << "none";
        QTest::newRow("a name with spaces") << QStringList{"--midi-in=Keystation 49", "a.txt"} << "Keystation 49";
        QTest::newRow("missing") << QStringList{"--midi-in"} << "";
        QTest::newRow("blank") << QStringList{"--midi-in", "  "} << "";
        QTest::newRow("twice") << QStringList{"--midi-in", "a", "--midi-in", "b"} << "";
    }
    void midiInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, midiIn);
        const CommandLine::Parsed p = CommandLine::parse(QStringList{"dzq"} + arguments);
        if (midiIn.isEmpty()) {
            QCOMPARE(int(p.action), int(Action::Error));
            QVERIFY2(p.error.contains("--midi-in"), qPrintable(p.error));
            return;
        }
        QCOMPARE(int(p.action), int(Action::Run));
        QCOMPARE(p.midiIn, midiIn);
        QVERIFY(CommandLine::helpText().contains("--midi-in"));
    }

    // --soundfont FILE: the synthesizer's font, made absolute; checked when the engine loads it.
    void soundFont_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("font");  // empty: an error
        QTest::newRow("default") << QStringList{} << "-";
        QTest::newRow("relative") << QStringList{"--soundfont", "f/My.sf3", "a.txt"}
                                  << QDir::cleanPath(QDir::current().absoluteFilePath("f/My.sf3"));
        QTest::newRow("with =") << QStringList{"--soundfont=/x/y.sf2"} << "/x/y.sf2";
        QTest::newRow("missing") << QStringList{"--soundfont"} << "";
        QTest::newRow("empty") << QStringList{"--soundfont="} << "";
        QTest::newRow("twice") << QStringList{"--soundfont", "a", "--soundfont", "b"} << "";
    }
    void soundFont()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, font);
        const CommandLine::Parsed p = CommandLine::parse(QStringList{"dzq"} + arguments);
        if (font.isEmpty()) {
            QCOMPARE(int(p.action), int(Action::Error));
            QVERIFY2(p.error.contains("--soundfont"), qPrintable(p.error));
            return;
        }
        QCOMPARE(int(p.action), int(Action::Run));
        QCOMPARE(p.soundFontPath, font == "-" ? QString() : font);
        QVERIFY(CommandLine::helpText().contains("--soundfont"));
        QVERIFY(!RenderCommand::requested(QStringList{"dzq"} + arguments));
    }

    void midiLogMustBeWritable()
    {
        QTemporaryDir dir;
        QString reason;
        const QString fresh = dir.filePath("fresh.log");
        QVERIFY(CommandLine::checkWritable(fresh, &reason));
        QVERIFY(!QFileInfo::exists(fresh));  // the probe leaves nothing behind
        QFile old(dir.filePath("old.log"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("kept\n");
        old.close();
        QVERIFY(CommandLine::checkWritable(old.fileName(), &reason));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("kept\n"));
        QVERIFY(!CommandLine::checkWritable(dir.filePath("missing/x.log"), &reason));
        QVERIFY(!reason.isEmpty());
        QVERIFY(!CommandLine::checkWritable(dir.path(), &reason));  // a folder
    }

    void qtTextsAreChinese()
    {
        const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFileInfo::exists(QDir(dir).filePath("qtbase_zh_CN.qm")))
            QSKIP("Qt's translations are not installed");
        QVERIFY(CommandLine::setUpApplication(*QCoreApplication::instance()));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("dzq"));
    }

    // The program itself, with no display: it answers and exits by itself.
    void programAnswersWithoutADisplay()
    {
        ProgramRun r = runWithoutDisplay({"--help"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("用法: dzq")), qPrintable(r.out + r.err));
        QVERIFY(r.out.contains("--midi-log") && r.out.contains("--render"));

        r = runWithoutDisplay({"--version"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, CommandLine::versionText() + '\n');

        r = runWithoutDisplay({"--frobnicate"});
        QCOMPARE(r.status, CommandLine::kUsageError);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.err.contains("--frobnicate"));

        r = runWithoutDisplay({"--midi-log"});
        QCOMPARE(r.status, CommandLine::kUsageError);

        QTemporaryDir dir;
        r = runWithoutDisplay({"--midi-log", dir.filePath("no/such/folder.log")});
        QCOMPARE(r.status, CommandLine::kUsageError);
        QVERIFY2(r.err.contains(QStringLiteral("无法写入MIDI记录文件")), qPrintable(r.err));
    }
};

DZQ_REGISTER_TEST(CommandLineTest)
#include "CommandLineTest.moc"
