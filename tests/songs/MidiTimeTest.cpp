#include "ExportTestSupport.h"
#include "SongTestSupport.h"
#include "TestMain.h"

#include "headless/RenderCommand.h"
#include "headless/ScoreExport.h"
#include "score/ScoreFiles.h"
#include "score/ScoreLanguage.h"
#include "score/ScoreReader.h"
#include "songs/midifile/MidiFileWriter.h"
#include "songs/SongImport.h"

#include <QTemporaryDir>
#include <QTest>

#include <random>

namespace {

QStringList demoScores()
{
    QStringList scores;
    for (const char *name : {"两只老虎.txt", "小星星.txt", "欢乐颂.txt"}) {
        QString score;
        QString error;
        ScoreFiles::readScore(QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录/") + QString::fromUtf8(name), &score,
                              &error);
        scores << score;
    }
    return scores;
}

struct Written {
    ScoreExport::Result result;
    QByteArray bytes;
    MidiFileContents file;
};

Written exportMidi(const QTemporaryDir &dir, const QString &score, int beats = 4, int key = -1,
                   qint64 limitMs = 60000)
{
    NoticeList notices;
    ScoreExport::Options options;
    options.limitNs = limitMs * 1000000;
    options.beatsPerBar = beats;
    options.keyPosition = key;
    const QString path = dir.filePath(QStringLiteral("t.mid"));
    QFile::remove(path);
    Written w;
    w.result = ScoreExport::exportScore(score, path, ScoreExport::Kind::Midi, dir.path(), notices, options);
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        w.bytes = f.readAll();
    w.file = readMidiFile(path);
    return w;
}

// The melody of a score as the import gives it back: notes and rests with
// their durations spelt out, a tempo command only where the tempo changes,
// a rest after a rest joined to it, an effect's wait added to what sounds
// before it; instruments, rhythm, chords and effects have no place there.
QStringList tempoAndMelody(const QString &score)
{
    QStringList out;
    int tempo = 7;  // start-up's 90
    int duration = 0;
    int pos = 1;
    while (pos <= score.size()) {
        const ScoreReader::ReadResult r = ScoreReader::readToken(score, pos);
        pos = r.end + 1;
        // A command's number is the next duration too.
        duration = r.durationAfter(qint16(duration));
        switch (ScoreReader::kindOf(r)) {
        case ScoreReader::TokenKind::Tempo:
            if (r.number != tempo)
                out << QStringLiteral("VS%1").arg(r.number);
            tempo = r.number;
            break;
        case ScoreReader::TokenKind::Effect:
            if (!out.isEmpty() && r.number >= 1 && r.number <= 6) {
                const QStringList last = out.last().split(QLatin1Char(':'));
                out.last() = last[0] + QLatin1Char(':') + QString::number(last[1].toInt() + (r.number == 5 ? 40 : 2 * r.number));
            }
            break;
        case ScoreReader::TokenKind::Note:
        case ScoreReader::TokenKind::Rest:
            if (r.token == QLatin1String("XZ") && !out.isEmpty() && out.last().startsWith(QLatin1String("XZ:"))) {
                out.last() = QStringLiteral("XZ:%1").arg(out.last().mid(3).toInt() + duration);
                break;
            }
            out << r.token + QLatin1Char(':') + QString::number(duration);
            break;
        case ScoreReader::TokenKind::End:
            return out;
        default:
            break;
        }
    }
    return out;
}

// Notes and rests only, a tempo change now and then, starting and ending on
// a note.
QString randomMelody(std::mt19937 &rng, int events)
{
    static const char *const letters = "CDEFGAB";
    static const char *const octaves = "LWKHM";
    const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int durations[] = {1, 2, 3, 4, 6, 8, 8, 12, 16, 24, 32};
    QString s;
    int tempo = 7;
    bool rest = false;
    for (int i = 0; i < events; ++i) {
        if (i > 0 && i + 1 < events && pick(0, 7) == 0) {
            int vs = pick(1, 12);
            if (vs == tempo)
                vs = vs % 12 + 1;
            s += QStringLiteral("VS%1").arg(vs);
            tempo = vs;
        }
        rest = i > 0 && i + 1 < events && !rest && pick(0, 5) == 0;
        const int octave = pick(0, 4);
        s += rest ? QStringLiteral("XZ")
                  : QString(QLatin1Char(octaves[octave])) + QLatin1Char(letters[pick(0, octave == 4 ? 4 : 6)]);
        s += QString::number(durations[pick(0, 10)]);
    }
    return s + QStringLiteral("TZ");
}

}  // namespace

// Our MIDI files keep the score's time (beats, bars, key) and still place
// every message on the millisecond it was sent.
class MidiTimeTest : public QObject {
    Q_OBJECT
private slots:
    // Rhythms, chords, effects, tempo changes, stops off the beat: each
    // message converts back through the tempo map to its very millisecond.
    void everyMessageKeepsItsMillisecond()
    {
        QTemporaryDir dir;
        QStringList scores = demoScores();
        scores << QStringLiteral("KC8VS1KD8VS12KE3YX5KF1VS3JP1KG5TZ")
               << QStringLiteral("JP1KC0TZ")   // never ends: cut at the limit, off the beat
               << QStringLiteral("KC0TZ")      // stalls: stopped two seconds later
               << QStringLiteral("KC8VS0KD8");  // halts
        std::mt19937 rng(4242);
        for (int i = 0; i < 40; ++i)
            scores << randomScore(rng, 10 + i);
        for (const QString &score : std::as_const(scores)) {
            const Written w = exportMidi(dir, score, 4, -1, 7777);
            QVERIFY2(w.file.loaded, qPrintable(score));
            QCOMPARE(w.file.ppqn, 480);
            const QVector<TimedMidiMessage> &sent = w.result.performance.messages;
            QVERIFY2(w.file.events.size() == sent.size(), qPrintable(score));
            for (int i = 0; i < sent.size(); ++i) {
                const qint64 ms = (sent[i].ns + 500000) / 1000000;
                QVERIFY2(w.file.events[i].ms == ms && w.file.events[i].message == sent[i].message.packed(),
                         qPrintable(QStringLiteral("%1: message %2 at %3 ms, file %4").arg(score).arg(i).arg(ms).arg(
                             w.file.events[i].ms)));
            }
            QCOMPARE(w.file.lengthMs, int((w.result.performance.endNs + 500000) / 1000000));
        }
    }

    // A tempo event of the beat at the start and at every VS; the units of
    // the score are 60 ticks.
    void tempoAtEveryTempoCommand()
    {
        QTemporaryDir dir;
        const Written w = exportMidi(dir, QStringLiteral("KC8VS1KD4VS1KE2VS12KF1TZ"));
        const QVector<QPair<int, int>> expected{
            {0, 8000 * 83}, {480, 8000 * 125}, {720, 8000 * 125}, {840, 8000 * ScoreLanguage::eighthBeatMsOf(12)}};
        QCOMPARE(w.file.tempos, expected);
        QCOMPARE(w.file.lengthPulses, 900);
        // Stopped off the beat (at the time limit, 1000 ms: not on the 83/60 ms
        // ticks): from the unit before it, one tick a millisecond.
        const Written cut = exportMidi(dir, QStringLiteral("JP1KC0TZ"), 4, -1, 1000);
        QCOMPARE(cut.file.tempos, (QVector<QPair<int, int>>{{0, 664000}, {720, 480000}}));
        QCOMPARE(cut.file.lengthPulses, 724);
        QCOMPARE(cut.file.lengthMs, 1000);
        QCOMPARE(cut.file.events.last().ms, 1000);
        // One at the start, the score's own.
        QCOMPARE(exportMidi(dir, QStringLiteral("VS1KC8TZ")).file.tempos, (QVector<QPair<int, int>>{{0, 8000 * 125}}));
    }

    // The bars of the beat option and the key signature of the key played in
    // (flat twins for the black keys, F# with its sharps).
    void barsAndKeyInTheFile_data()
    {
        QTest::addColumn<int>("beats");
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("C 4/4") << 4 << -1 << QByteArray::fromHex("ff580404021808ff59020000");
        QTest::newRow("D 3/4") << 3 << 2 << QByteArray::fromHex("ff580403021808ff59020200");
        QTest::newRow("Eb 2/4") << 2 << 3 << QByteArray::fromHex("ff580402021808ff5902fd00");
        QTest::newRow("F# 4/4") << 4 << 6 << QByteArray::fromHex("ff580404021808ff59020600");
    }
    void barsAndKeyInTheFile()
    {
        QFETCH(int, beats);
        QFETCH(int, key);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const Written w = exportMidi(dir, QStringLiteral("KC8TZ"), beats, key);
        // Header of 14 bytes, track header of 8, then each event at delta 0.
        QCOMPARE(w.bytes.mid(22, 14).toHex(), "00" + expected.left(7).toHex() + "00" + expected.mid(7).toHex());
    }

    // Score -> MIDI file -> import: the same melody, in its tempos, for the
    // demo scores and for seeded random melodies at every tempo.
    void importGivesTheScoreBack()
    {
        QTemporaryDir dir;
        QStringList scores = demoScores();
        std::mt19937 rng(1234);
        for (int vs = 1; vs <= 12; ++vs) {
            for (int i = 0; i < 4; ++i)
                scores << QStringLiteral("VS%1").arg(vs) + randomMelody(rng, 8 + 6 * i);
        }
        for (const QString &score : std::as_const(scores)) {
            const Written w = exportMidi(dir, score);
            QCOMPARE(w.result.status, ScoreExport::Ok);
            const SongImportResult r = SongImport::importFile(dir.filePath(QStringLiteral("t.mid")));
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.keyPosition, 0);
            QCOMPARE(r.beatsPerBar, 4);
            const QStringList back = tempoAndMelody(r.score);
            const QStringList sent = tempoAndMelody(score);
            QVERIFY2(back == sent, qPrintable(score + QStringLiteral("\n") + sent.join(' ') + QStringLiteral("\n")
                                             + back.join(' ')));
        }
    }

    // "--render SONG.mid" converts the song at once, in its own key (A: three
    // sharps) and time (3/4), into MusicXML and MIDI; --key still wins.
    void songRendersInItsOwnKeyAndTime()
    {
        QTemporaryDir dir;
        MidiBuilder b;
        b.track().tempo(0, 500000).keySignature(3).at(0, MidiBuilder::bytesOf({0xFF, 0x58, 4, 3, 2, 24, 8}));
        const int tune[] = {69, 71, 73, 74, 76, 78, 80, 81, 76, 73, 69};
        for (int i = 0; i < 11; ++i)
            b.note(i * 480, 480, tune[i]);
        const QString song = dir.filePath(QStringLiteral("waltz.mid"));
        QFile f(song);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(b.bytes());
        f.close();
        const auto run = [&](const QStringList &extra) {
            QString outText;
            QString errText;
            QTextStream out(&outText);
            QTextStream err(&errText);
            const int status =
                RenderCommand::run(QStringList{"dzq", "--render", song} + extra, dir.path(), out, err);
            return status == 0 ? QString() : errText;
        };
        QCOMPARE(run({"-o", dir.filePath("w.musicxml")}), QString());
        QFile xml(dir.filePath("w.musicxml"));
        QVERIFY(xml.open(QIODevice::ReadOnly));
        const QByteArray text = xml.readAll();
        QVERIFY(text.contains("<fifths>3</fifths>"));
        QVERIFY(text.contains("<beats>3</beats>"));

        QCOMPARE(run({"-o", dir.filePath("w.mid")}), QString());
        QFile mid(dir.filePath("w.mid"));
        QVERIFY(mid.open(QIODevice::ReadOnly));
        QCOMPARE(mid.readAll().mid(22, 14).toHex(), QByteArray("00ff58040302180800ff59020300"));
        // The tune sounds at its own pitch, one beat a note.
        const MidiFileContents played = readMidiFile(dir.filePath("w.mid"));
        QVector<int> pitches;
        for (const auto &e : played.events) {
            if ((e.message & 0xFF) == 0x90 && (e.message >> 16) > 0)
                pitches << int((e.message >> 8) & 0x7F);
        }
        QCOMPARE(pitches.value(0), 69);

        QCOMPARE(run({"-o", dir.filePath("k.mid"), "--key", "C"}), QString());
        QVERIFY(run({"-o", dir.filePath("t.mid"), "--time", "4/4"}).contains(QStringLiteral("拍子取自歌曲本身")));
    }
};

DZQ_REGISTER_TEST(MidiTimeTest)
#include "MidiTimeTest.moc"
