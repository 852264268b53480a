#include "TestMain.h"

#include "PracticeRig.h"

#include "practice/PracticeCommand.h"
#include "practice/PracticeHistory.h"

#include <QDateTime>
#include <QTest>
#include <QTextStream>

using namespace Practice;
using practicetest::writeFile;
using practicetest::writeTake;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Result tempoResult()
{
    return grade(Mode::Tempo, 80, {{0, 60}, {500, 62}}, {{10, 60}, {470, 62}, {900, 70}});
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run command(const QStringList &arguments, const QString &folder = QString())
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = PracticeCommand::run(QStringList{QStringLiteral("dzq")} + arguments, folder, out, err);
    out.flush();
    err.flush();
    return r;
}

}  // namespace

class PracticeHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void linesHoldTheFigures();
    void appendingKeepsEveryLine();
    void whatCannotBeReadIsNeverReplaced();
    void namesWithCommasAndQuotes();
    void commandPrintsOneJsonLine();
    void commandRefusesBadInput_data();
    void commandRefusesBadInput();
};

void PracticeHistoryTest::linesHoldTheFigures()
{
    const QDateTime when(QDate(2024, 3, 5), QTime(8, 9, 10));
    QCOMPARE(History::line(when, QStringLiteral("小星星"), tempoResult()),
             QStringLiteral("2024-03-05 08:09:10,小星星,跟节奏,80,2,2,1,0,66.7,-10.0,20.0"));
    const Result wait = grade(Mode::Wait, 100, {{0, 60}, {500, 62}}, {{0, 60}, {1, 61}});
    QCOMPARE(History::line(when, QStringLiteral("a"), wait), QStringLiteral("2024-03-05 08:09:10,a,等待,100,2,1,1,1,33.3,,"));
    // 跟节奏 without a hit has no timing either.
    const Result none = grade(Mode::Tempo, 100, {{0, 60}}, {});
    QVERIFY(History::line(when, QStringLiteral("a"), none).endsWith(QStringLiteral(",0.0,,")));
}

void PracticeHistoryTest::appendingKeepsEveryLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(History::fileName());
    QString reason;
    QVERIFY(History::append(dir.path(), QStringLiteral("first"), &reason));
    const QByteArray bom("\xEF\xBB\xBF");
    QCOMPARE(fileBytes(path), bom + History::header().toUtf8() + "\r\nfirst\r\n");
    QVERIFY(History::append(dir.path(), QStringLiteral("second"), &reason));
    QCOMPARE(fileBytes(path), bom + History::header().toUtf8() + "\r\nfirst\r\nsecond\r\n");
    // A line someone left open is closed first, not joined to the new one.
    QVERIFY(!writeFile(path, fileBytes(path) + "half").isEmpty());
    QVERIFY(History::append(dir.path(), QStringLiteral("third"), &reason));
    QVERIFY(fileBytes(path).endsWith("second\r\nhalf\r\nthird\r\n"));
    // No temporary copy is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

void PracticeHistoryTest::whatCannotBeReadIsNeverReplaced()
{
    QTemporaryDir dir;
    // A folder where the record should be: refused, left as it is.
    QVERIFY(QDir(dir.path()).mkdir(History::fileName()));
    QString reason;
    QVERIFY(!History::append(dir.path(), QStringLiteral("line"), &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(QFileInfo(dir.filePath(History::fileName())).isDir());
    // A folder that is not there: no file is made anywhere else.
    QVERIFY(!History::append(dir.filePath(QStringLiteral("没有")), QStringLiteral("line"), &reason));
}

void PracticeHistoryTest::namesWithCommasAndQuotes()
{
    QTemporaryDir dir;
    const QString odd = QStringLiteral("歌,\"名\"");
    const QDateTime when = QDateTime::currentDateTime();
    QString reason;
    QVERIFY(History::append(dir.path(), History::line(when, odd, tempoResult()), &reason));
    QVERIFY(History::append(dir.path(), History::line(when, QStringLiteral("别的"), tempoResult()), &reason));
    const Result full = grade(Mode::Wait, 100, {{0, 60}}, {{0, 60}});
    QVERIFY(History::append(dir.path(), History::line(when, odd, full), &reason));
    const QStringList lines = practicetest::recordLines(dir.path());
    QVERIFY(lines.first().contains(QStringLiteral(",\"歌,\"\"名\"\"\",")));
    QCOMPARE(History::fields(lines.first()).value(1), odd);
    QCOMPARE(History::accuracies(dir.path(), odd), (QVector<double>{66.7, 100.0}));
    QVERIFY(History::accuracies(dir.path(), QStringLiteral("无")).isEmpty());
}

void PracticeHistoryTest::commandPrintsOneJsonLine()
{
    QTemporaryDir dir;
    const QString score = writeFile(dir.filePath(QStringLiteral("s.txt")), "VS9KC8KD8KE8TZ\r\n");
    // 100 beats a minute: 600 ms a beat.
    const QString take = writeTake(dir.filePath(QStringLiteral("t.mid")), {{0, 60}, {640, 62}, {1100, 64}, {1300, 70}});
    Run r = command({QStringLiteral("--practice"), score, QStringLiteral("--played"), take, QStringLiteral("--mode"),
                     QStringLiteral("tempo")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("{\"mode\":\"tempo\",\"speed\":100,\"notes\":3,\"hits\":3,\"perfect\":2,\"missed\":0,"
                                   "\"extra\":1,\"accuracy\":75.0,\"timing_mean_ms\":-20.0,\"timing_sd_ms\":58.9}\n"));
    QVERIFY(r.err.isEmpty());
    r = command({QStringLiteral("--speed"), QStringLiteral("50"), QStringLiteral("--played"), take,
                 QStringLiteral("--practice"), score});
    QCOMPARE(r.out, QStringLiteral("{\"mode\":\"wait\",\"speed\":50,\"notes\":3,\"right\":3,\"wrong\":1,\"missed\":0,"
                                   "\"accuracy\":75.0}\n"));
    // Grading writes no record.
    QVERIFY(!QFile::exists(dir.filePath(History::fileName())));
    r = command({QStringLiteral("--practice"), score, QStringLiteral("--played"), take, QStringLiteral("--mode"),
                 QStringLiteral("step"), QStringLiteral("--speed"), QStringLiteral("150%")},
                dir.path());
    QVERIFY(r.out.startsWith(QStringLiteral("{\"mode\":\"step\",\"speed\":150,")));
    QVERIFY(!QFile::exists(dir.filePath(History::fileName())));
}

void PracticeHistoryTest::commandRefusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    const QString s = QStringLiteral("SCORE");
    const QString t = QStringLiteral("TAKE");
    const QString p = QStringLiteral("--practice");
    const QString d = QStringLiteral("--played");
    QTest::newRow("speed below") << QStringList{p, s, d, t, "--speed", "40"} << "速度“40”超出范围";
    QTest::newRow("speed above") << QStringList{p, s, d, t, "--speed", "151"} << "速度“151”超出范围";
    QTest::newRow("speed no number") << QStringList{p, s, d, t, "--speed", "fast"} << "速度“fast”";
    QTest::newRow("mode") << QStringList{p, s, d, t, "--mode", "free"} << "练习方式“free”无法识别";
    QTest::newRow("no score") << QStringList{d, t} << "缺少要练习的乐谱";
    QTest::newRow("twice") << QStringList{p, s, p, s, d, t} << "只能给出一次";
    QTest::newRow("stray") << QStringList{p, s, d, t, "-o", "x"} << "无法识别的参数“-o”";
    QTest::newRow("missing value") << QStringList{p, s, d} << "后面缺少文件名";
    QTest::newRow("score missing") << QStringList{p, "NONE", d, t} << "找不到乐谱文件";
    QTest::newRow("not a score") << QStringList{p, "TEXT", d, t} << "这不是乐谱";
    QTest::newRow("take not MIDI") << QStringList{p, s, d, s} << "不是可用的MIDI文件";
    QTest::newRow("take missing") << QStringList{p, s, d, "NONE"} << "找不到演奏文件";
}

void PracticeHistoryTest::commandRefusesBadInput()
{
    QTemporaryDir dir;
    QFETCH(QStringList, arguments);
    const QString score = writeFile(dir.filePath(QStringLiteral("s.txt")), "KC8TZ");
    const QString text = writeFile(dir.filePath(QStringLiteral("readme.txt")), "hello, world");
    const QString take = writeTake(dir.filePath(QStringLiteral("t.mid")), {{0, 60}});
    for (QString &a : arguments) {
        a.replace(QStringLiteral("SCORE"), score).replace(QStringLiteral("TAKE"), take);
        a.replace(QStringLiteral("TEXT"), text).replace(QStringLiteral("NONE"), dir.filePath(QStringLiteral("无")));
    }
    const Run r = command(arguments);
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    // One line that says what is wrong.
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QFETCH(QString, says);
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
}

DZQ_REGISTER_TEST(PracticeHistoryTest)
#include "PracticeHistoryTest.moc"
