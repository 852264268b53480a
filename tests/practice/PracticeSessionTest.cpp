#include "TestMain.h"

#include "PracticeRig.h"

#include "practice/PracticeSession.h"

#include <QSignalSpy>
#include <QTest>

using namespace Practice;
using practicetest::recordFigures;
using practicetest::recordLines;

namespace {

constexpr qint64 kMs = 1000000;
// Start-up's tempo: 83 ms an eighth, 664 ms a beat of KC8.
constexpr qint64 kBeatMs = 664;
const QString kScale = QStringLiteral("KC8KD8KE8TZ");

// A practice session on the performance group of a test session.
struct SessionRig : practicetest::PerformanceRig {
    PracticeSession s{t.ctx, c.voices};

    explicit SessionRig(const QString &score = kScale, int beatsPerBar = 4)
    {
        s.setScore(score, QStringLiteral("练习曲"), ScoreRender::Start(), beatsPerBar);
        t.clearSent();
    }
    void at(qint64 ms) { t.clock.run(ms * kMs); }
    void play(int offset)
    {
        s.press(offset);
        s.release(offset);
    }
    // Note-ons sent on a channel, with their times.
    QVector<std::pair<qint64, int>> noteOns(int channel) const
    {
        QVector<std::pair<qint64, int>> out;
        for (const RecordingMidiBackend::Sent &m : t.midi.sent) {
            const MidiMessage msg = MidiMessage::unpack(m.message);
            if (msg.isNoteOn() && msg.channel() == channel)
                out << std::pair<qint64, int>{m.dueNs < 0 ? -1 : m.dueNs / kMs, msg.data1};
        }
        return out;
    }
    // Notes of channels 0..5 and 9 started and not ended.
    int hanging() const
    {
        QSet<int> sounding;
        for (quint32 m : t.midi.messages()) {
            const MidiMessage msg = MidiMessage::unpack(m);
            if (msg.isNoteOn())
                sounding.insert(msg.channel() << 8 | msg.data1);
            else if (msg.isNoteOff())
                sounding.remove(msg.channel() << 8 | msg.data1);
        }
        return int(sounding.size());
    }
    QStringList record() const { return recordLines(t.folder.path()); }
};

}  // namespace

class PracticeSessionTest : public QObject {
    Q_OBJECT
private slots:
    void waitingRunIsJudgedAndRecorded();
    void stepMovesOnAfterAWrongNote();
    void tempoCountsInAndJudgesOnTime();
    void tempoAtHalfSpeed();
    void accompanimentWaitsWithTheMelody();
    void demonstrationPlaysThePassage();
    void unfinishedRunsRecordNothing();
    void midiKeyboardIsJudgedOnThePitchThatSounds();
    void passageOfChosenBars();
    void loopStartsAgain();
    void namesOfTheKeyToPress();
};

void PracticeSessionTest::waitingRunIsJudgedAndRecorded()
{
    SessionRig r;
    QCOMPARE(r.s.state(), PracticeSession::State::Ready);
    QCOMPARE(r.s.currentNote(), 0);
    QSignalSpy judged(&r.s, &PracticeSession::judged);
    r.play(24);  // A: do, the first note starts the run
    QCOMPARE(r.s.state(), PracticeSession::State::Running);
    r.at(3000);
    r.play(27);  // wrong: it sounds, the score stays
    QCOMPARE(r.s.currentNote(), 1);
    QCOMPARE(judged.last().at(1).toBool(), false);
    QVERIFY(r.noteOns(0).contains(std::pair<qint64, int>{3000, 63}));
    r.play(26);
    r.play(28);
    QCOMPARE(r.s.state(), PracticeSession::State::Finished);
    QCOMPARE(r.s.lastResult().right, 3);
    QCOMPARE(r.record().size(), 1);
    QCOMPARE(recordFigures(r.record().first()), QStringLiteral("等待,100,3,3,1,0,75.0,,"));
    QVERIFY(r.record().first().section(QLatin1Char(','), 1, 1) == QStringLiteral("练习曲"));
    QCOMPARE(r.s.history(), QVector<double>{75.0});
    QCOMPARE(r.s.outcome(1), Outcome::Right);
    // A finished run: the next note begins a new one.
    r.play(24);
    QCOMPARE(r.s.state(), PracticeSession::State::Running);
    QCOMPARE(r.hanging(), 0);
}

void PracticeSessionTest::stepMovesOnAfterAWrongNote()
{
    SessionRig r;
    r.s.setMode(Mode::Step);
    r.play(24);
    r.play(29);
    QCOMPARE(r.s.outcome(1), Outcome::Wrong);
    QCOMPARE(r.s.currentNote(), 2);
    r.play(28);
    QCOMPARE(r.s.state(), PracticeSession::State::Finished);
    QCOMPARE(recordFigures(r.record().first()), QStringLiteral("逐音,100,3,2,1,0,66.7,,"));
}

void PracticeSessionTest::tempoCountsInAndJudgesOnTime()
{
    SessionRig r;
    r.s.setMode(Mode::Tempo);
    r.play(24);  // before the start: it sounds, nothing is judged
    QCOMPARE(r.s.state(), PracticeSession::State::Ready);
    r.t.clearSent();
    r.s.start();
    QCOMPARE(r.s.state(), PracticeSession::State::CountIn);
    QCOMPARE(r.s.countInBeat(), 1);
    r.at(4 * kBeatMs - 1);
    QCOMPARE(r.s.countInBeat(), 4);
    // One bar of 4/4 at the first note's tempo, high click first.
    QCOMPARE(r.noteOns(9), (QVector<std::pair<qint64, int>>{{0, 76}, {664, 77}, {1328, 77}, {1992, 77}}));
    const qint64 start = 4 * kBeatMs;
    r.at(start);
    QCOMPARE(r.s.state(), PracticeSession::State::Running);
    r.at(start + 20);
    r.play(24);
    r.at(start + kBeatMs / 2);
    QVERIFY(r.s.fill() > 0.45 && r.s.fill() < 0.55);
    r.at(start + kBeatMs - 30);
    r.play(26);
    // mi is never played: missed once its window has closed, and the run ends.
    r.at(start + 2 * kBeatMs + 149);
    QCOMPARE(r.s.state(), PracticeSession::State::Running);
    r.at(start + 2 * kBeatMs + 200);
    QCOMPARE(r.s.state(), PracticeSession::State::Finished);
    QCOMPARE(r.s.outcome(2), Outcome::Missed);
    QCOMPARE(recordFigures(r.record().first()), QStringLiteral("跟节奏,100,3,2,0,1,66.7,-5.0,25.0"));
    QCOMPARE(r.hanging(), 0);
}

void PracticeSessionTest::tempoAtHalfSpeed()
{
    SessionRig r(kScale, 2);
    r.s.setMode(Mode::Tempo);
    r.s.setSpeed(50);
    r.s.start();
    const qint64 beat = 2 * kBeatMs;
    r.at(2 * beat);
    QCOMPARE(r.noteOns(9), (QVector<std::pair<qint64, int>>{{0, 76}, {beat, 77}}));
    for (int i = 0; i < 3; ++i) {
        r.at(2 * beat + i * beat + 10);
        r.play(24 + 2 * i);
    }
    QCOMPARE(r.s.state(), PracticeSession::State::Finished);
    QCOMPARE(r.s.lastResult().perfect, 3);
    QCOMPARE(r.s.lastResult().speed, 50);
}

void PracticeSessionTest::accompanimentWaitsWithTheMelody()
{
    // A rhythm and a chord under do (two beats) and re.
    SessionRig r(QStringLiteral("JP1HX1KC16KD16TZ"));
    r.s.start();
    r.at(5000);
    QVERIFY(r.noteOns(9).isEmpty());  // its first step belongs with do
    QVERIFY(r.noteOns(3).isEmpty());
    r.play(24);
    QCOMPARE(r.noteOns(3).size(), 1);  // the chord sounds with do
    r.at(5000 + 2 * kBeatMs - 10);
    const int drums = int(r.noteOns(9).size());
    QVERIFY(drums >= 4);
    // Waiting on re: the rhythm waits too.
    r.at(20000);
    QCOMPARE(r.noteOns(9).size(), drums);
    r.play(26);
    QCOMPARE(r.s.state(), PracticeSession::State::Finished);
    // The last note's accompaniment plays on to the end, then stops.
    r.at(21000);
    QVERIFY(r.noteOns(9).size() > drums);
    r.at(40000);
    QCOMPARE(r.hanging(), 0);

    // Played ahead of the music: what lay between is skipped, not crowded in.
    r.t.clearSent();
    r.s.start();
    r.play(24);
    const int atDo = int(r.noteOns(9).size());
    r.at(r.t.clock.nowNs() / kMs + 100);
    r.play(26);
    QVERIFY(r.noteOns(9).size() <= atDo + 3);
}

void PracticeSessionTest::demonstrationPlaysThePassage()
{
    SessionRig r;
    r.s.demonstrate();
    QCOMPARE(r.s.state(), PracticeSession::State::Demo);
    QCOMPARE(r.s.currentNote(), 0);
    r.at(kBeatMs + 1);
    QCOMPARE(r.s.currentNote(), 1);
    r.at(10000);
    QCOMPARE(r.s.state(), PracticeSession::State::Ready);
    const auto melody = r.noteOns(0);
    QCOMPARE(melody, (QVector<std::pair<qint64, int>>{{0, 60}, {664, 62}, {1328, 64}}));
    QCOMPARE(r.hanging(), 0);
    QVERIFY(r.record().isEmpty());
    // Pressed again while it plays, it stops.
    r.s.demonstrate();
    r.s.demonstrate();
    QCOMPARE(r.s.state(), PracticeSession::State::Ready);
    QCOMPARE(r.hanging(), 0);
}

void PracticeSessionTest::unfinishedRunsRecordNothing()
{
    SessionRig r;
    r.play(24);
    r.s.restart();
    r.play(24);
    r.play(26);
    r.s.setSpeed(80);
    QCOMPARE(r.s.state(), PracticeSession::State::Ready);
    r.s.setMode(Mode::Tempo);
    r.s.start();
    r.at(3000);
    r.s.stop();
    QVERIFY(r.record().isEmpty());
    QVERIFY(!r.s.hasResult());
    QCOMPARE(r.hanging(), 0);
}

void PracticeSessionTest::midiKeyboardIsJudgedOnThePitchThatSounds()
{
    SessionRig r;
    HardwareNoteTarget &target = r.s.midiTarget();
    QCOMPARE(target.channels(), 3);
    QVERIFY(target.fullVelocity(0) > 0);
    // The key list at D: the score's do sounds at 62, the keyboard's offset 24 too.
    r.c.voices.selectKey(2);
    r.s.setScore(kScale, QString(), [] {
        ScoreRender::Start s;
        s.keyPosition = 2;
        return s;
    }(), 4);
    QCOMPARE(r.s.scoreName(), QStringLiteral("未命名乐谱"));
    target.showKey(24, true);
    target.showKey(24, false);
    QCOMPARE(r.s.outcome(0), Outcome::Right);
    target.showKey(27, true);
    QCOMPARE(r.s.currentNote(), 1);
    target.showKey(26, true);
    target.showKey(28, true);
    QCOMPARE(recordFigures(r.record().first()), QStringLiteral("等待,100,3,3,1,0,75.0,,"));
}

void PracticeSessionTest::passageOfChosenBars()
{
    // 2/4: bars of two notes; bar 3 holds only a rest.
    SessionRig r(QStringLiteral("KC8KD8KE8KF8XZ16KG8KA8TZ"), 2);
    QCOMPARE(r.s.barCount(), 4);
    QVERIFY(!r.s.setBars(2, 2));
    QVERIFY(r.s.setBars(1, 3));
    QCOMPARE(r.s.passageFirst(), 2);
    QCOMPARE(r.s.passageCount(), 4);
    QCOMPARE(r.s.currentNote(), 2);
    for (int offset : {28, 29, 31, 33})
        r.play(offset);
    QCOMPARE(recordFigures(r.record().first()), QStringLiteral("等待,100,4,4,0,0,100.0,,"));
    // 跟节奏 from bar 2: the count-in leads to mi, the passage's first note.
    r.s.setMode(Mode::Tempo);
    r.t.clearSent();
    r.s.start();
    r.at(2 * kBeatMs + 5);
    r.play(28);
    QCOMPARE(r.s.outcome(2), Outcome::Right);
}

void PracticeSessionTest::loopStartsAgain()
{
    SessionRig r;
    r.s.setLooping(true);
    for (int round = 0; round < 2; ++round) {
        for (int offset : {24, 26, 28})
            r.play(offset);
    }
    QCOMPARE(r.record().size(), 2);
    QCOMPARE(r.s.state(), PracticeSession::State::Running);
    QCOMPARE(r.s.currentNote(), 0);
}

void PracticeSessionTest::namesOfTheKeyToPress()
{
    QCOMPARE(PracticeSession::computerKey(24), QStringLiteral("A"));
    QCOMPARE(PracticeSession::computerKey(53), QStringLiteral("-"));
    QCOMPARE(PracticeSession::computerKey(57), QStringLiteral("\\"));
    QVERIFY(PracticeSession::computerKey(25).isEmpty());
    QCOMPARE(PracticeSession::degree(24), QStringLiteral("中音1"));
    QCOMPARE(PracticeSession::degree(11), QStringLiteral("最低音7"));
    QCOMPARE(PracticeSession::degree(43), QStringLiteral("高音5"));
    QCOMPARE(PracticeSession::degree(25), QStringLiteral("琴键 升C3"));
}

DZQ_REGISTER_TEST(PracticeSessionTest)
#include "PracticeSessionTest.moc"
