#include "SongTestSupport.h"
#include "TestMain.h"

#include "headless/ScoreRender.h"
#include "performance/MelodyVoices.h"
#include "platform/dialogs/UserDialogs.h"
#include "score/ScoreFiles.h"
#include "songs/ScoreTimeline.h"

#include <QDir>
#include <QTest>

namespace {

using ScoreTimeline::Kind;

QString describe(const ScoreTimeline::Timeline &t)
{
    QStringList out;
    for (const ScoreTimeline::Event &e : t.events) {
        switch (e.kind) {
        case Kind::Note:
            out << QStringLiteral("N%1@%2+%3%4%5")
                       .arg(e.offset)
                       .arg(e.start)
                       .arg(e.length)
                       .arg(e.chord ? QStringLiteral("h%1").arg(e.chord) : QString())
                       .arg(e.held ? "!" : "");
            break;
        case Kind::Rest:
            out << QStringLiteral("R@%1+%2%3").arg(e.start).arg(e.length).arg(e.held ? "!" : "");
            break;
        default: {
            static const char *const names[] = {"", "", "VS", "YQ", "JP", "YX"};
            out << QStringLiteral("%1%2@%3").arg(names[int(e.kind)]).arg(e.number).arg(e.start);
        }
        }
    }
    static const char *const endings[] = {"end", "text end", "error", "halted", "held"};
    out << QString::fromLatin1(endings[int(t.ending)]);
    if (t.ending != ScoreTimeline::Ending::End && t.ending != ScoreTimeline::Ending::TextEnd)
        out.last() += QStringLiteral(" %1%2").arg(t.endPosition).arg(t.errorToken);
    return out.join(' ');
}

class Quiet : public Notifier {
public:
    void message(const QString &, const QString &) override {}
};

struct Sounded {
    qint64 onMs;
    qint64 offMs;
    int note;
};

// Channel 0 as the player sounds it.
QVector<Sounded> channelZero(const ScoreRender::Performance &p)
{
    QVector<Sounded> out;
    int open = -1;
    for (const TimedMidiMessage &m : p.messages) {
        const int status = m.message.status;
        const int note = m.message.data1 & 0x7F;
        const int velocity = m.message.data2 & 0x7F;
        if (status == 0x90 && velocity > 0) {
            open = int(out.size());
            out.append({m.ns / 1000000, -1, note});
        } else if ((status == 0x80 || status == 0x90) && open >= 0 && out[open].note == note) {
            out[open].offMs = m.ns / 1000000;
            open = -1;
        }
    }
    return out;
}

// The notes of a timeline in milliseconds: every unit lasts the eighth of a
// beat of the tempo in force.
QVector<Sounded> timelineNotes(const ScoreTimeline::Timeline &t)
{
    QVector<QPair<int, int>> tempi{{0, 83}};
    for (const ScoreTimeline::Event &e : t.events) {
        if (e.kind == Kind::Tempo)
            tempi.append({e.start, MelodyVoices::eighthBeatMsFor(60 + 5 * (e.number - 1))});
    }
    const auto ms = [&tempi](int unit) {
        qint64 total = 0;
        for (int i = 0; i < tempi.size(); ++i) {
            const int from = tempi[i].first;
            const int to = i + 1 < tempi.size() ? qMin(unit, tempi[i + 1].first) : unit;
            if (to > from)
                total += qint64(to - from) * tempi[i].second;
        }
        return total;
    };
    QVector<Sounded> out;
    for (const ScoreTimeline::Event &e : t.events) {
        if (e.kind == Kind::Note)
            out.append({ms(e.start), ms(e.start + e.length), 36 + e.offset});
    }
    return out;
}

}  // namespace

// The score as the player plays it, in units: checked on the cases the
// notation names and against the player itself.
class ScoreTimelineTest : public QObject {
    Q_OBJECT
private slots:
    void readsAsThePlayerPlays_data()
    {
        QTest::addColumn<QString>("score");
        QTest::addColumn<QString>("timeline");
        QTest::newRow("notes") << "KC8KDHE16TZ" << "N24@0+8 N26@8+8 N40@16+16 end";
        QTest::newRow("effect holds the note") << "KC8YX1KD4TZ" << "N24@0+10 YX1@8 N26@10+4 end";
        QTest::newRow("effect first") << "YX5KC8TZ" << "YX5@0 R@0+40 N24@40+8 end";
        QTest::newRow("effect number is a duration") << "YX7KCTZ" << "N24@0+7 end";
        QTest::newRow("chord waits for a note") << "HX6XZ8KC8KDTZ" << "R@0+8 N24@8+8h6 N26@16+8 end";
        QTest::newRow("tempo and combinations") << "VS12YQ13JP0JP99KC2TZ"
                                                << "VS12@0 YQ7@0 JP99@0 N24@0+2 end";
        QTest::newRow("note ends the text") << "KC8KD4" << "N24@0+8 text end";
        QTest::newRow("one letter left") << "KC8KD" << "N24@0+8 N26@8+8 error 5D";
        QTest::newRow("rest at the end") << "XZ8" << "R@0+8 error 4";
        QTest::newRow("third digit") << "KC123KD8" << "N24@0+12 error 53K";
        QTest::newRow("bad chord") << "KC8HX7KD8TZ" << "N24@0+8 error 4HX";
        QTest::newRow("halts") << "KC8VS13KD8TZ" << "N24@0+8 halted 4";
        QTest::newRow("held") << "KC8KD0KE8TZ" << "N24@0+8 N26@8+0! held 4";
        QTest::newRow("no duration yet") << "KCTZ" << "N24@0+0! held 1";
        QTest::newRow("MA plays") << "MA4TZ" << "N57@0+4 end";
        QTest::newRow("empty") << "" << "error 1";
        QTest::newRow("lower case") << "kc8TZ" << "error 1kc";
    }
    void readsAsThePlayerPlays()
    {
        QFETCH(QString, score);
        QFETCH(QString, timeline);
        QCOMPARE(describe(ScoreTimeline::read(score)), timeline);
    }

    // The demo scores and random scores played by the score player: channel
    // 0 sounds exactly the notes of the timeline, to the millisecond.
    void matchesThePlayerToTheMillisecond()
    {
        QStringList scores;
        const QDir demos(QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录"));
        for (const QString &name : demos.entryList({QStringLiteral("*.txt")})) {
            QString score;
            QString error;
            QVERIFY(ScoreFiles::readScore(demos.filePath(name), &score, &error));
            scores << score;
        }
        QCOMPARE(scores.size(), 3);
        std::mt19937 rng(77);
        for (int i = 0; i < 120; ++i)
            scores << randomScore(rng, 5 + i % 40);
        scores << "KC8KD" << "KC8VS0KD8" << "VS3KC8KD4" << "KC8YX1VS1YX2KD8XZ8YX3TZ";
        for (const QString &score : std::as_const(scores)) {
            Quiet quiet;
            const ScoreRender::Performance p = ScoreRender::play(score, QString(), quiet);
            const QVector<Sounded> heard = channelZero(p);
            const QVector<Sounded> expected = timelineNotes(ScoreTimeline::read(score));
            QCOMPARE(heard.size(), expected.size());
            for (int i = 0; i < heard.size(); ++i) {
                const QString where = QStringLiteral("%1: note %2").arg(score).arg(i);
                QVERIFY2(heard[i].note == expected[i].note, qPrintable(where));
                QVERIFY2(heard[i].onMs == expected[i].onMs, qPrintable(where));
                QVERIFY2(heard[i].offMs == expected[i].offMs, qPrintable(where));
            }
        }
    }
};

DZQ_REGISTER_TEST(ScoreTimelineTest)
#include "ScoreTimelineTest.moc"
