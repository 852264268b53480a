#include "ProgramRun.h"
#include "SongTestSupport.h"
#include "TestMain.h"

#include "headless/ScoreRender.h"
#include "platform/dialogs/UserDialogs.h"
#include "score/ScoreFiles.h"
#include "songs/midifile/MidiFile.h"
#include "songs/SongMelody.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

class Quiet : public Notifier {
public:
    void message(const QString &, const QString &) override {}
};

// One run of the program per export, several at a time.
struct Job {
    QStringList arguments;
    int status = -1;
    QString err;
};

void runAll(QVector<Job> &jobs, const QProcessEnvironment &env)
{
    constexpr int kAtOnce = 4;
    for (int first = 0; first < jobs.size(); first += kAtOnce) {
        QVector<QProcess *> running;
        for (int i = first; i < qMin(first + kAtOnce, int(jobs.size())); ++i) {
            auto *p = new QProcess;
            p->setProcessEnvironment(env);
            p->start(QStringLiteral(DZQ_BINARY), jobs[i].arguments);
            running << p;
        }
        for (int i = 0; i < running.size(); ++i) {
            QProcess *p = running[i];
            Job &job = jobs[first + i];
            if (p->waitForFinished(60000) && p->exitStatus() == QProcess::NormalExit)
                job.status = p->exitCode();
            job.err = QString::fromUtf8(p->readAllStandardError());
            delete p;
        }
    }
}

QString readScore(const QString &path)
{
    QString score;
    QString error;
    ScoreFiles::readScore(path, &score, &error);
    return score;
}

void writeScore(const QString &path, const QString &score)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(score.toLatin1() + "\r\n");
}

int captured(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern).match(text).captured(1).toInt();
}

}  // namespace

// Against MuseScore 3, a notation program that is not ours: our MusicXML
// files must open in it and sound there as our own MIDI export does, and
// its MIDI files must come in as scores.
class MuseScoreTest : public QObject {
    Q_OBJECT
private:
    QString mscore_;
    QTemporaryDir dir_;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir_.path());
        env.insert("XDG_RUNTIME_DIR", dir_.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }

    // One MuseScore run converting every (in, out) pair; its messages.
    QString museScore(const QVector<QPair<QString, QString>> &conversions)
    {
        QJsonArray jobs;
        for (const auto &[in, out] : conversions)
            jobs.append(QJsonObject{{"in", in}, {"out", out}});
        const QString jobFile = dir_.filePath("job.json");
        QFile f(jobFile);
        if (!f.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write the job file");
        f.write(QJsonDocument(jobs).toJson());
        f.close();
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(mscore_, {"-j", jobFile});
        if (!p.waitForFinished(300000))
            p.kill();
        return QString::fromUtf8(p.readAll());
    }

private slots:
    void initTestCase()
    {
        mscore_ = QStandardPaths::findExecutable("mscore3");
        if (mscore_.isEmpty())
            QSKIP("MuseScore 3 (mscore3) is not installed");
        QVERIFY(dir_.isValid());
    }

    // Our MIDI file and our MusicXML of one score open in MuseScore with the
    // same bars and the same time signature, whatever the beat option.
    void ourMidiAndMusicXmlHaveTheSameBars()
    {
        QStringList scores;
        for (const char *name : {"两只老虎.txt", "小星星.txt", "欢乐颂.txt"})
            scores << readScore(QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录/") + QString::fromUtf8(name));
        scores << QStringLiteral("VS1KC8KD4VS12KE12KF16VS4KG24TZ");
        const QStringList times{"2/4", "3/4", "4/4"};
        QVector<Job> jobs;
        QVector<QPair<QString, QString>> conversions;
        for (int i = 0; i < scores.size(); ++i) {
            for (const QString &time : times) {
                const QString base = dir_.filePath(QStringLiteral("b%1-%2").arg(i).arg(time.left(1)));
                writeScore(base + ".txt", scores[i]);
                jobs.append({{"--render", base + ".txt", "-o", base + ".mid", "--time", time}, -1, QString()});
                jobs.append({{"--render", base + ".txt", "-o", base + ".musicxml", "--time", time}, -1, QString()});
                conversions.append({base + ".mid", base + ".mid.mscx"});
                conversions.append({base + ".musicxml", base + ".xml.mscx"});
            }
        }
        runAll(jobs, environment());
        for (const Job &job : jobs)
            QVERIFY2(job.status == 0, qPrintable(job.arguments.join(' ') + '\n' + job.err));
        museScore(conversions);
        // The first staff's bars and its first time signature.
        const auto bars = [](const QString &path, int *beats) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                return -1;
            const QString text = QString::fromUtf8(f.readAll());
            // The part names its staff first; the music comes last.
            const int first = text.lastIndexOf(QStringLiteral("<Staff id=\"1\">"));
            const int end = text.indexOf(QStringLiteral("</Staff>"), first);
            const QString staff = text.mid(first, end - first);
            *beats = captured(staff, "<sigN>(\\d+)</sigN>");
            return int(staff.count(QStringLiteral("<Measure")));
        };
        for (const auto &[in, out] : std::as_const(conversions)) {
            if (!in.endsWith(".mid"))
                continue;
            int midiBeats = 0;
            int xmlBeats = 0;
            const int midiBars = bars(out, &midiBeats);
            const int xmlBars = bars(QString(out).replace(".mid.mscx", ".xml.mscx"), &xmlBeats);
            QVERIFY2(midiBars > 0 && midiBars == xmlBars, qPrintable(QStringLiteral("%1: %2 against %3 bars").arg(in).arg(midiBars).arg(xmlBars)));
            QCOMPARE(midiBeats, xmlBeats);
            QCOMPARE(midiBeats, in.section('-', -1).left(1).toInt());
        }
    }

    // Our demo scores and seeded random scores, in all keys and measures:
    // MuseScore's MIDI of our MusicXML holds channel 0 of our MIDI export.
    void scoresSoundTheSameInMuseScore()
    {
        QStringList scores;
        for (const char *name : {"两只老虎.txt", "小星星.txt", "欢乐颂.txt"})
            scores << readScore(QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录/") + QString::fromUtf8(name));
        std::mt19937 rng(2718);
        for (int i = 0; i < 240; ++i) {
            QString s = randomScore(rng, 4 + i % 45);
            if (i % 20 == 7)
                s.replace(s.size() - 2, 2, "QQ");  // an error ends it
            else if (i % 20 == 13)
                s.replace(s.size() - 2, 2, "VS0");  // it halts
            scores << s;
        }
        QVector<Job> jobs;
        QVector<int> keys;
        QVector<QPair<QString, QString>> conversions;
        for (int i = 0; i < scores.size(); ++i) {
            const QString base = dir_.filePath(QStringLiteral("s%1").arg(i));
            writeScore(base + ".txt", scores[i]);
            QStringList xml{"--render", base + ".txt", "-o", base + ".musicxml"};
            const int key = i % 4 == 1 ? i % 12 : 0;
            if (key)
                xml << "--key" << QStringList{"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"}[key];
            if (i % 4 == 2)
                xml << "--time" << (i % 8 == 2 ? "3/4" : "2/4");
            keys << key;
            jobs.append({xml, -1, QString()});
            jobs.append({{"--render", base + ".txt", "-o", base + ".mid"}, -1, QString()});
            conversions.append({base + ".musicxml", base + ".ms.mid"});
        }
        runAll(jobs, environment());
        for (const Job &job : jobs)
            QVERIFY2(job.status == 0 || job.status == 2, qPrintable(job.arguments.join(' ') + '\n' + job.err));

        const QString said = museScore(conversions);
        QVERIFY2(!said.contains("not a valid MusicXML") && !said.contains("Error"), qPrintable(said));

        double worst = 0;
        int notes = 0;
        for (int i = 0; i < scores.size(); ++i) {
            const QString base = dir_.filePath(QStringLiteral("s%1").arg(i));
            const HeardSong ours = heardSong(base + ".mid");
            const HeardSong theirs = heardSong(base + ".ms.mid");
            QVERIFY2(ours.loaded && theirs.loaded, qPrintable(scores[i]));
            QVector<HeardNote> melody;
            for (const HeardNote &n : ours.notes) {
                if (n.channel == 0)
                    melody << n;
            }
            const QString where = QStringLiteral("score %1: %2").arg(i).arg(scores[i]);
            QVERIFY2(melody.size() == theirs.notes.size(), qPrintable(where));
            for (int k = 0; k < melody.size(); ++k) {
                const HeardNote &a = melody[k];
                const HeardNote &b = theirs.notes[k];
                QVERIFY2(a.pitch + keys[i] == b.pitch, qPrintable(where + QStringLiteral(" note %1").arg(k)));
                const double off = qMax(std::fabs(a.onMs - b.onMs), std::fabs(a.offMs - b.offMs));
                worst = qMax(worst, off);
                // Well within the unit (62 ms or more): a few milliseconds of
                // MuseScore's early note-offs and tick rounding.
                QVERIFY2(off <= 3.0, qPrintable(where + QStringLiteral(" note %1 off by %2 ms").arg(k).arg(off)));
            }
            notes += int(melody.size());
        }
        qInfo("%d scores, %d notes, largest difference %.2f ms", int(scores.size()), notes, worst);
    }

    // MuseScore's own demos, converted to MIDI by MuseScore, come in as
    // scores that play; every note starts within a unit of the source's
    // highest note there, and its pitch is that note's or the key's and
    // range's rules say why not.
    void museScoreDemosBecomeScores()
    {
        const QStringList found = QDir("/usr/share").entryList({"mscore3-*"}, QDir::Dirs);
        QVERIFY2(!found.isEmpty(), "MuseScore's demos are missing");
        const QDir demos("/usr/share/" + found.first() + "/demos");
        const QStringList names{"Reunion.mscz", "Fugue_1.mscx"};
        QVector<QPair<QString, QString>> conversions;
        for (const QString &name : names)
            conversions.append({demos.filePath(name), dir_.filePath(name + ".mid")});
        const QString said = museScore(conversions);
        for (const QString &name : names) {
            const QString midi = dir_.filePath(name + ".mid");
            QVERIFY2(QFile::exists(midi), qPrintable(said));
            const ProgramRun run = runProgram({"--import", midi, "-o", midi + ".txt"}, environment());
            QVERIFY2(run.status == 0, qPrintable(run.err));
            const QString score = readScore(midi + ".txt");

            Quiet quiet;
            const ScoreRender::Performance played = ScoreRender::play(score, QString(), quiet);
            QCOMPARE(played.ending, ScoreRender::Ending::Ended);
            const ScoreTimeline::Timeline t = ScoreTimeline::read(score);
            QCOMPARE(t.ending, ScoreTimeline::Ending::End);

            const int part = captured(run.err, "旋律取自第(\\d+)轨");
            const int moved = captured(run.err, "(\\d+)个音不在");
            const int folded = captured(run.err, "(\\d+)个音超出五个八度");
            const int together = captured(run.err, "(\\d+)个同时发声的较低音");
            const int tooShort = captured(run.err, "(\\d+)个音太短");
            const int dropped = together + tooShort;
            const QString keyName = QRegularExpression("调：([A-G]#?)。").match(run.err).captured(1);
            const int key = int(QStringList{"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"}.indexOf(keyName));
            QVERIFY(part > 0 && key >= 0);

            // The source part: the part-th track with notes, on the score's
            // grid through the song's tempo map.
            const HeardSong source = heardSong(midi);
            MidiSong song;
            QString error;
            QVERIFY2(MidiFile::read(midi, &song, &error), qPrintable(error));
            const SongMelody::Grid grid(song);
            QVector<int> tracks;
            for (const HeardNote &n : source.notes) {
                if (!tracks.contains(n.track))
                    tracks << n.track;
            }
            std::sort(tracks.begin(), tracks.end());
            const int track = tracks.value(part - 1);
            QMap<qint64, QVector<int>> struck;  // onset unit -> the pitches struck there
            int partNotes = 0;
            for (const HeardNote &n : source.notes) {
                if (n.track != track)
                    continue;
                ++partNotes;
                struck[std::llround(grid.unitsAt(n.onPulses))] << n.pitch;
            }
            QCOMPARE(t.notes + dropped, partNotes);
            int movedSeen = 0;
            int foldedSeen = 0;
            int choices = 0;  // units where more than one pitch could be the one kept
            for (const ScoreTimeline::Event &e : t.events) {
                if (e.kind != ScoreTimeline::Kind::Note)
                    continue;
                QVERIFY2(struck.contains(e.start), qPrintable(QStringLiteral("%1: no source note at unit %2").arg(name).arg(e.start)));
                // The nearest of the pitches struck there is the one kept.
                int diff = 1000;
                int semitones = 1000;
                for (int pitch : struck.value(e.start)) {
                    const int d = 36 + key + e.offset - pitch;
                    const int st = ((d % 12) + 18) % 12 - 6;
                    if (qAbs(st) < qAbs(semitones) || (qAbs(st) == qAbs(semitones) && qAbs(d) < qAbs(diff))) {
                        diff = d;
                        semitones = st;
                    }
                }
                choices += struck.value(e.start).size() > 1 ? 1 : 0;
                QVERIFY(qAbs(semitones) <= 1);
                movedSeen += semitones != 0;
                foldedSeen += diff != semitones;
            }
            QVERIFY(movedSeen <= moved && moved - movedSeen <= choices);
            QVERIFY(foldedSeen <= folded && folded - foldedSeen <= choices);
            qInfo("%s: part %d, key %s, %d notes (%d lower ones left out), %d moved onto the scale, %d folded into range",
                  qPrintable(name), part, qPrintable(keyName), t.notes, dropped, moved, folded);
        }
    }

    // Our demo scores out to MusicXML, through MuseScore to MIDI, and back
    // in: the same melody, note for note.
    void demoScoresComeBackThroughMuseScore()
    {
        QVector<QPair<QString, QString>> conversions;
        QStringList scores;
        for (const char *name : {"两只老虎", "小星星", "欢乐颂"}) {
            const QString txt = QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录/%1.txt").arg(QString::fromUtf8(name));
            const QString xml = dir_.filePath(QStringLiteral("%1.musicxml").arg(QString::fromUtf8(name)));
            QCOMPARE(runProgram({"--render", txt, "-o", xml}, environment()).status, 0);
            conversions.append({xml, xml + ".mid"});
            scores << readScore(txt);
        }
        museScore(conversions);
        for (int i = 0; i < conversions.size(); ++i) {
            const QString midi = conversions[i].second;
            const ProgramRun run = runProgram({"--import", midi, "-o", midi + ".txt"}, environment());
            QVERIFY2(run.status == 0, qPrintable(run.err));
            QVERIFY(run.err.contains(QRegularExpression("^调：C。$", QRegularExpression::MultilineOption)));
            QCOMPARE(melodyOf(readScore(midi + ".txt")), melodyOf(scores[i]));
        }
    }
};

DZQ_REGISTER_TEST(MuseScoreTest)
#include "MuseScoreTest.moc"
