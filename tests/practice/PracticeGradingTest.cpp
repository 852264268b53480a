#include "TestMain.h"

#include "practice/PracticeGrading.h"

#include <QTest>

using namespace Practice;

namespace {

using Notes = QVector<Note>;

// do re mi fa, half a second apart
const Notes kScale{{0, 60}, {500, 62}, {1000, 64}, {1500, 65}};

Notes played(std::initializer_list<std::pair<double, int>> notes)
{
    Notes out;
    for (const auto &[ms, pitch] : notes)
        out << Note{ms, pitch};
    return out;
}

}  // namespace

class PracticeGradingTest : public QObject {
    Q_OBJECT
private slots:
    void waitAndStep_data();
    void waitAndStep();
    void tempo_data();
    void tempo();
    void speedScalesTheExpectedTimes();
    void jsonKeepsItsKeyOrder();
    void roundingToOneDecimal();
    void liveGraderMarksWhatBecameOfEachNote();
};

void PracticeGradingTest::waitAndStep_data()
{
    QTest::addColumn<bool>("step");
    QTest::addColumn<Notes>("take");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("wrong");
    QTest::addColumn<int>("missed");
    QTest::addColumn<QString>("accuracy");

    const Notes perfect = played({{0, 60}, {400, 62}, {900, 64}, {2000, 65}});
    QTest::newRow("wait: every note right, whatever the time") << false << perfect << 4 << 0 << 0 << "100.0";
    QTest::newRow("step: every note right") << true << perfect << 4 << 0 << 0 << "100.0";
    // A wrong note: wait stays on re, step moves past it.
    const Notes slip = played({{0, 60}, {400, 61}, {600, 62}, {900, 64}, {1200, 65}});
    QTest::newRow("wait: a wrong note, then the right one") << false << slip << 4 << 1 << 0 << "80.0";
    QTest::newRow("step: a wrong note takes the place of re") << true << slip << 1 << 4 << 0 << "20.0";
    const Notes instead = played({{0, 60}, {400, 61}, {900, 64}, {1200, 65}});
    QTest::newRow("step: one note played wrong") << true << instead << 3 << 1 << 0 << "75.0";
    QTest::newRow("wait: stopped after two notes") << false << played({{0, 60}, {10, 62}}) << 2 << 0 << 2 << "50.0";
    QTest::newRow("step: stopped after one note") << true << played({{0, 60}}) << 1 << 0 << 3 << "25.0";
    QTest::newRow("wait: nothing played") << false << Notes() << 0 << 0 << 4 << "0.0";
    QTest::newRow("wait: a note after the end is wrong")
        << false << played({{0, 60}, {1, 62}, {2, 64}, {3, 65}, {4, 67}}) << 4 << 1 << 0 << "80.0";
    // A chord struck where one note is expected: lower pitch first.
    const Notes chord = played({{0, 60}, {500, 66}, {500, 62}, {500, 59}, {1000, 64}, {1500, 65}});
    QTest::newRow("wait: a chord over re") << false << chord << 4 << 2 << 0 << "66.7";
    QTest::newRow("step: a chord over re") << true << chord << 1 << 5 << 0 << "16.7";
    // The file's order does not matter: time does.
    const Notes shuffled = played({{900, 64}, {0, 60}, {2000, 65}, {400, 62}});
    QTest::newRow("wait: notes out of file order") << false << shuffled << 4 << 0 << 0 << "100.0";
    QTest::newRow("wait: a repeated wrong note counts each time")
        << false << played({{0, 60}, {1, 63}, {2, 63}, {3, 62}, {4, 64}, {5, 65}}) << 4 << 2 << 0 << "66.7";
}

void PracticeGradingTest::waitAndStep()
{
    QFETCH(bool, step);
    QFETCH(Notes, take);
    const Result r = grade(step ? Mode::Step : Mode::Wait, 100, kScale, take);
    QCOMPARE(r.notes, 4);
    QTEST(r.right, "right");
    QTEST(r.wrong, "wrong");
    QTEST(r.missed, "missed");
    QTEST(oneDecimal(r.accuracy), "accuracy");
    QVERIFY(!r.timed);
}

void PracticeGradingTest::tempo_data()
{
    QTest::addColumn<Notes>("expected");
    QTest::addColumn<Notes>("take");
    QTest::addColumn<QVector<int>>("counts");  // hits, perfect, missed, extra
    QTest::addColumn<QString>("accuracy");
    QTest::addColumn<QString>("mean");  // empty: no timing
    QTest::addColumn<QString>("sd");

    QTest::newRow("on time") << kScale << played({{0, 60}, {500, 62}, {1000, 64}, {1500, 65}})
                             << QVector<int>{4, 4, 0, 0} << "100.0" << "0.0" << "0.0";
    // The window's edges belong to it: 150 hits, 50 is perfect.
    QTest::newRow("edges of the windows")
        << kScale << played({{150, 60}, {350, 62}, {1050, 64}, {1448, 65}}) << QVector<int>{4, 1, 0, 0}
        << "100.0" << "-0.5" << "112.0";
    QTest::newRow("just outside") << kScale << played({{-151, 60}, {651, 62}, {1000, 64}, {1551, 65}})
                                  << QVector<int>{2, 1, 2, 2} << "33.3" << "25.5" << "25.5";
    QTest::newRow("perfect ends at 50") << kScale << played({{50, 60}, {449, 62}, {1051, 64}, {1548, 65}})
                                        << QVector<int>{4, 2, 0, 0} << "100.0" << "24.5" << "43.6";
    QTest::newRow("wrong pitch on time is extra, the note missed")
        << kScale << played({{0, 60}, {500, 61}, {1000, 64}, {1500, 65}}) << QVector<int>{3, 3, 1, 1} << "60.0"
        << "0.0" << "0.0";
    QTest::newRow("nothing played") << kScale << Notes() << QVector<int>{0, 0, 4, 0} << "0.0" << "" << "";
    QTest::newRow("only wrong notes") << kScale << played({{0, 70}, {500, 71}}) << QVector<int>{0, 0, 4, 2}
                                      << "0.0" << "" << "";
    // Repeated pitches: each note takes the earliest unmatched note in reach.
    const Notes repeated{{0, 60}, {200, 60}, {400, 60}};
    QTest::newRow("repeated pitch: the earliest in reach")
        << repeated << played({{190, 60}}) << QVector<int>{1, 1, 2, 0} << "33.3" << "-10.0" << "0.0";
    QTest::newRow("repeated pitch: two quick notes take two notes")
        << repeated << played({{100, 60}, {110, 60}}) << QVector<int>{2, 0, 1, 0} << "66.7" << "5.0" << "95.0";
    QTest::newRow("repeated pitch: one note once") << repeated << played({{0, 60}, {0, 60}, {200, 60}, {400, 60}})
                                                   << QVector<int>{3, 3, 0, 1} << "75.0" << "0.0" << "0.0";
    // A chord where one note is expected: the right note hits, the rest are extra.
    QTest::newRow("chord over one note") << Notes{{0, 60}} << played({{0, 67}, {0, 60}, {0, 64}})
                                         << QVector<int>{1, 1, 0, 2} << "33.3" << "0.0" << "0.0";
}

void PracticeGradingTest::tempo()
{
    QFETCH(Notes, expected);
    QFETCH(Notes, take);
    QFETCH(QVector<int>, counts);
    QFETCH(QString, mean);
    const Result r = grade(Mode::Tempo, 100, expected, take);
    QCOMPARE(r.notes, int(expected.size()));
    QCOMPARE((QVector<int>{r.hits, r.perfect, r.missed, r.extra}), counts);
    QTEST(oneDecimal(r.accuracy), "accuracy");
    QCOMPARE(r.timed, !mean.isEmpty());
    if (r.timed) {
        QCOMPARE(oneDecimal(r.timingMeanMs), mean);
        QTEST(oneDecimal(r.timingSdMs), "sd");
    }
}

void PracticeGradingTest::speedScalesTheExpectedTimes()
{
    // Half speed: every time twice as far; 150 %: two thirds.
    const Notes slow = atSpeed(kScale, 50);
    QCOMPARE(slow[3].ms, 3000.0);
    const Notes fast = atSpeed(kScale, 150);
    QVERIFY(qAbs(fast[1].ms - 1000.0 / 3) < 1e-9);

    const Result atHalf = grade(Mode::Tempo, 50, slow, played({{0, 60}, {1000, 62}, {2000, 64}, {3000, 65}}));
    QCOMPARE(atHalf.hits, 4);
    QCOMPARE(atHalf.speed, 50);
    // Played at the score's own tempo, half speed misses all but the first.
    const Result early = grade(Mode::Tempo, 50, slow, played({{0, 60}, {500, 62}, {1000, 64}, {1500, 65}}));
    QCOMPARE(early.hits, 1);
    QCOMPARE(early.extra, 3);
    // 150 %: 333.3 ms is on time to the hundredth; 483.4 lies just beyond 150 ms.
    const Result quick = grade(Mode::Tempo, 150, fast, played({{0, 60}, {333, 62}, {816.6, 64}, {1150, 65}}));
    QCOMPARE(quick.hits, 4);
    QCOMPARE(quick.perfect, 2);
    const Result late = grade(Mode::Tempo, 150, fast, played({{483.4, 62}}));
    QCOMPARE(late.hits, 0);
    // Waiting ignores time, at any speed.
    QCOMPARE(grade(Mode::Wait, 150, fast, played({{0, 60}, {5000, 62}, {9000, 64}, {9001, 65}})).right, 4);
}

void PracticeGradingTest::jsonKeepsItsKeyOrder()
{
    QCOMPARE(toJson(grade(Mode::Wait, 100, kScale, played({{0, 60}, {1, 61}, {2, 62}, {3, 64}, {4, 65}}))),
             QStringLiteral("{\"mode\":\"wait\",\"speed\":100,\"notes\":4,\"right\":4,\"wrong\":1,\"missed\":0,"
                            "\"accuracy\":80.0}"));
    QCOMPARE(toJson(grade(Mode::Step, 80, kScale, played({{0, 60}}))),
             QStringLiteral("{\"mode\":\"step\",\"speed\":80,\"notes\":4,\"right\":1,\"wrong\":0,\"missed\":3,"
                            "\"accuracy\":25.0}"));
    QCOMPARE(toJson(grade(Mode::Tempo, 100, kScale, played({{20, 60}, {560, 62}}))),
             QStringLiteral("{\"mode\":\"tempo\",\"speed\":100,\"notes\":4,\"hits\":2,\"perfect\":1,\"missed\":2,"
                            "\"extra\":0,\"accuracy\":50.0,\"timing_mean_ms\":40.0,\"timing_sd_ms\":20.0}"));
    QCOMPARE(toJson(grade(Mode::Tempo, 120, kScale, Notes())),
             QStringLiteral("{\"mode\":\"tempo\",\"speed\":120,\"notes\":4,\"hits\":0,\"perfect\":0,\"missed\":4,"
                            "\"extra\":0,\"accuracy\":0.0,\"timing_mean_ms\":null,\"timing_sd_ms\":null}"));
}

void PracticeGradingTest::roundingToOneDecimal()
{
    QCOMPARE(oneDecimal(200.0 / 3), QStringLiteral("66.7"));
    QCOMPARE(oneDecimal(-0.04), QStringLiteral("0.0"));
    QCOMPARE(oneDecimal(-12.46), QStringLiteral("-12.5"));
    // The double's exact value decides, a tie goes to even, as printf does.
    QCOMPARE(oneDecimal(0.15), QStringLiteral("0.1"));
    QCOMPARE(oneDecimal(2.25), QStringLiteral("2.2"));
    QCOMPARE(oneDecimal(100), QStringLiteral("100.0"));
}

void PracticeGradingTest::liveGraderMarksWhatBecameOfEachNote()
{
    Grader step(Mode::Step, kScale);
    QCOMPARE(step.play({0, 60}).verdict, Verdict::Right);
    QCOMPARE(step.play({1, 61}).expected, 1);
    QCOMPARE(step.outcome(1), Outcome::Wrong);
    QCOMPARE(step.current(), 2);

    Grader tempo(Mode::Tempo, kScale);
    QVERIFY(tempo.passTime(150).isEmpty());  // the first note's window closes after 150 ms
    QCOMPARE(tempo.passTime(150.5), QVector<int>{0});
    QCOMPARE(tempo.current(), 1);
    const Judgement j = tempo.play({520, 62});
    QCOMPARE(j.verdict, Verdict::Hit);
    QCOMPARE(j.deviationMs, 20.0);
    QVERIFY(j.perfect);
    QCOMPARE(tempo.passTime(2000), (QVector<int>{2, 3}));
    QVERIFY(tempo.done());
    QCOMPARE(tempo.result().missed, 3);
}

DZQ_REGISTER_TEST(PracticeGradingTest)
#include "PracticeGradingTest.moc"
