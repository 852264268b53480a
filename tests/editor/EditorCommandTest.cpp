#include "EditorRig.h"
#include "TestMain.h"

#include "headless/EditorRender.h"
#include "headless/RenderCommand.h"
#include "headless/ConsoleNotifier.h"
#include "editor/model/MeasureHeader.h"

#include <QTextStream>

namespace {

struct Run {
    int status = 0;
    QString out;
    QString err;
};

Run dzq(const QStringList &arguments)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = RenderCommand::run(QStringList{QStringLiteral("dzq")} + arguments, QString(), out, err);
    return r;
}

QStringList fileLines(const QString &path)
{
    QString text = QString::fromLatin1(EditorRig::readAll(path));
    QStringList l = text.split(QStringLiteral("\r\n"));
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

}  // namespace

class EditorCommandTest : public QObject {
    Q_OBJECT
private slots:
    void importWritesWhatTheEditorSaves_data()
    {
        QTest::addColumn<QStringList>("time");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("measures");
        QTest::newRow("2/4 by default") << QStringList() << 16 << 4;
        QTest::newRow("3/4") << QStringList{QStringLiteral("--time"), QStringLiteral("3/4")} << 24 << 3;
        QTest::newRow("4/4") << QStringList{QStringLiteral("--time"), QStringLiteral("4/4")} << 32 << 2;
    }
    void importWritesWhatTheEditorSaves()
    {
        QFETCH(QStringList, time);
        QFETCH(int, steps);
        QFETCH(int, measures);
        EditorRig rig;  // only for its folder
        const QString score = rig.write(QStringLiteral("s.txt"), "YQ12XZ8KGKEKDKC32TZ");
        const QString edit = rig.t.path(QStringLiteral("e.lnk"));
        const Run r = dzq(QStringList{QStringLiteral("--import"), score, QStringLiteral("-o"), edit} + time);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        const QStringList l = fileLines(edit);
        QCOMPARE(l.size(), 11 * measures);
        QCOMPARE(l[0], QStringLiteral("0000"));
        QCOMPARE(l[1].size(), 2 * steps);
        QVERIFY(l[1].startsWith(QStringLiteral("XZ------KG------KE------KD------")));
        QCOMPARE(l[2], l[1]);
        QCOMPARE(l[3], QString(2 * steps, QLatin1Char('-')));
        QCOMPARE(l[10], QString(steps, QLatin1Char('-')));
        QCOMPARE(l[11], QStringLiteral("0001"));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown time") << QStringList{"--import", "s.txt", "-o", "e.lnk", "--time", "5/4"};
        QTest::newRow("no output") << QStringList{"--import", "s.txt"};
        QTest::newRow("missing score") << QStringList{"--import", "/nonexistent/s.txt", "-o", "/tmp/e.lnk"};
        QTest::newRow("both") << QStringList{"--import", "s.txt", "--render", "e.lnk", "-o", "x.mid"};
        QTest::newRow("missing edit") << QStringList{"--render", "/nonexistent/e.lnk", "-o", "/tmp/x.mid"};
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QVERIFY(RenderCommand::requested(QStringList{QStringLiteral("dzq")} + arguments));
        const Run r = dzq(arguments);
        QCOMPARE(r.status, 1);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(r.out.isEmpty());
    }

    void renderPlaysAHandWrittenEdit()
    {
        EditorRig rig;
        // Measure 0: stored settings (row 0 on "41.小提琴", key D, tempo 120),
        // a note and a beat; measure 1 a rest.
        MeasureSettings s = rig.controls().currentSettings();
        s.programs[0] = 40;
        s.keyIndex = 2;
        s.tempoIndex = 12;
        QStringList l{MeasureHeader::compose(0, s), QStringLiteral("KC") + QString(30, QLatin1Char('-'))};
        for (int r = 1; r < 5; ++r)
            l << QString(32, QLatin1Char('-'));
        l << QStringLiteral("O---O---O---O---");
        for (int r = 6; r < 10; ++r)
            l << QString(16, QLatin1Char('-'));
        l << QStringLiteral("0001") << QStringLiteral("XZ") + QString(30, QLatin1Char('-'));
        QByteArray bytes;
        for (const QString &line : l)
            bytes += line.toLatin1() + "\n";  // written by hand: LF only
        const QString edit = rig.write(QStringLiteral("hand.lnk"), bytes);

        QTextStream errors(stderr);
        ConsoleNotifier notices(errors);
        ScoreRender::Performance p;
        QString error;
        QVERIFY2(EditorRender::play(edit, notices, &p, &error), qPrintable(error));
        // Program changes of channels 0..4 first, at time 0; channel 0 plays 40.
        QVERIFY(p.messages.size() > 10);
        QCOMPARE(p.messages[0].ns, qint64(0));
        bool violin = false;
        for (const auto &m : p.messages)
            violin = violin || m.message.packed() == RecordingMidiBackend::program(0, 40);
        QVERIFY(violin);
        QVector<qint64> notesOn;
        QVector<qint64> drums;
        for (const auto &m : p.messages) {
            if (m.message.status == 0x90 && m.message.data2 > 0) {
                QCOMPARE(int(m.message.data1), 24 + 38);
                notesOn << m.ns / 1000000;
            }
            if (m.message.status == 0x99)
                drums << m.ns / 1000000;
        }
        QCOMPARE(notesOn, QVector<qint64>{0});
        QCOMPARE(drums, (QVector<qint64>{0, 4 * 125, 8 * 125, 12 * 125}));
        QCOMPARE(p.endNs, qint64(32 * 125) * 1000000);

        const QString midi = rig.t.path(QStringLiteral("out.mid"));
        const Run r = dzq({QStringLiteral("--render"), edit, QStringLiteral("-o"), midi});
        QCOMPARE(r.status, 0);
        QVERIFY(EditorRig::readAll(midi).startsWith("MThd"));
    }
};

DZQ_REGISTER_TEST(EditorCommandTest)
#include "EditorCommandTest.moc"
