#include "TestMain.h"

#include "PracticeRig.h"

#include "jianpu/NotationSheet.h"
#include "practice/PracticeScore.h"
#include "practice/PracticeTake.h"
#include "songs/midifile/MidiFile.h"
#include "songs/SongImport.h"

#include <QSet>
#include <QTest>

using namespace Practice;
using practicetest::writeFile;

namespace {

QVector<int> pitches(const Prepared &p)
{
    QVector<int> out;
    for (const Note &n : p.notes)
        out << n.pitch;
    return out;
}

QVector<double> times(const Prepared &p)
{
    QVector<double> out;
    for (const Note &n : p.notes)
        out << n.ms;
    return out;
}

// A format 0 file of `division` with the events given (delta, bytes).
QByteArray midiFile(quint16 division, const QByteArray &track)
{
    QByteArray b("MThd");
    b += QByteArray::fromHex("00000006000000010000");
    b[12] = char(division >> 8);
    b[13] = char(division & 0xFF);
    b += "MTrk";
    const QByteArray body = track + QByteArray::fromHex("00FF2F00");
    const quint32 n = quint32(body.size());
    b += char(n >> 24);
    b += char(n >> 16);
    b += char(n >> 8);
    b += char(n);
    return b + body;
}

}  // namespace

class PracticeScoreTest : public QObject {
    Q_OBJECT
private slots:
    void expectedNotesAreWhatThePlayerSounds_data();
    void expectedNotesAreWhatThePlayerSounds();
    void chordsAndRhythmAreAccompaniment();
    void scoresThatPlayOnlyInPart();
    void passagesByBar();
    void readingScoreFiles();
    void takesFollowTheFilesTempo();
};

void PracticeScoreTest::expectedNotesAreWhatThePlayerSounds_data()
{
    QTest::addColumn<QString>("score");
    QTest::addColumn<int>("tempoPosition");
    QTest::addColumn<int>("keyPosition");
    QTest::addColumn<QVector<int>>("pitches");
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<int>>("positions");

    // Start-up: 90 beats a minute, 83 ms an eighth.
    QTest::newRow("start-up tempo") << "KC8KD8KE8TZ" << -1 << -1 << QVector<int>{60, 62, 64}
                                    << QVector<double>{0, 664, 1328} << QVector<int>{1, 4, 7};
    QTest::newRow("the tempo list's tempo") << "KC8KD8TZ" << 0 << -1 << QVector<int>{60, 62}
                                            << QVector<double>{0, 1000} << QVector<int>{1, 4};
    QTest::newRow("the score's own tempo wins") << "VS9KC8KD8TZ" << 0 << -1 << QVector<int>{60, 62}
                                                << QVector<double>{0, 600} << QVector<int>{4, 7};
    QTest::newRow("the key list transposes") << "KC8WB8TZ" << -1 << 2 << QVector<int>{62, 61}
                                             << QVector<double>{0, 664} << QVector<int>{1, 4};
    QTest::newRow("repeated pitch: one note per onset") << "KC4KC4XZ4KC4TZ" << -1 << -1 << QVector<int>{60, 60, 60}
                                                        << QVector<double>{0, 332, 996} << QVector<int>{1, 4, 10};
    QTest::newRow("commands take no time") << "YQ12XZ8KG8TZ" << -1 << -1 << QVector<int>{67} << QVector<double>{664}
                                           << QVector<int>{8};
}

void PracticeScoreTest::expectedNotesAreWhatThePlayerSounds()
{
    QFETCH(QString, score);
    QFETCH(int, tempoPosition);
    QFETCH(int, keyPosition);
    ScoreRender::Start start;
    start.tempoPosition = tempoPosition;
    start.keyPosition = keyPosition;
    const Prepared p = prepare(score, QString(), start);
    QTEST(pitches(p), "pitches");
    QTEST(times(p), "times");
    QTEST(p.positions, "positions");
    QVERIFY(p.partNotice().isEmpty());
}

void PracticeScoreTest::chordsAndRhythmAreAccompaniment()
{
    const Prepared p = prepare(QStringLiteral("JP1HX1KC16KD16TZ"), QString(), ScoreRender::Start());
    QCOMPARE(pitches(p), (QVector<int>{60, 62}));
    int chordNotes = 0;
    int drums = 0;
    for (const TimedMidiMessage &m : p.accompaniment) {
        const MidiMessage msg = m.message;
        QVERIFY2(msg.channel() > 2, "a melody channel in the accompaniment");
        chordNotes += msg.isNoteOn() && msg.channel() >= 3 && msg.channel() <= 5 ? 1 : 0;
        drums += msg.isNoteOn() && msg.channel() == Midi::kPercussionChannel ? 1 : 0;
    }
    QCOMPARE(chordNotes, 3);
    QVERIFY(drums > 4);
    // Only what ends a sounding note: no note-offs of chords that never sounded.
    QSet<int> on;
    for (const TimedMidiMessage &m : p.accompaniment) {
        const MidiMessage msg = m.message;
        if (msg.isNoteOn())
            on.insert(msg.channel() << 8 | msg.data1);
        else if (msg.isNoteOff())
            QVERIFY2(on.remove(msg.channel() << 8 | msg.data1), "a note-off of a note not sounding");
    }
    QVERIFY(prepare(QStringLiteral("KC8KD8TZ"), QString(), ScoreRender::Start()).accompaniment.isEmpty());
    // The melody for a demonstration: each note-on once, whatever the voices.
    int melodyOns = 0;
    for (const TimedMidiMessage &m : p.melody)
        melodyOns += m.message.isNoteOn() ? 1 : 0;
    QCOMPARE(melodyOns, 2);
}

void PracticeScoreTest::scoresThatPlayOnlyInPart()
{
    // An error after two notes: they are practised, and it is said.
    const Prepared error = prepare(QStringLiteral("KC8KD8QQ8"), QString(), ScoreRender::Start());
    QCOMPARE(error.notes.size(), 2);
    QVERIFY(error.partNotice().contains(QStringLiteral("第7个字符")));
    // A recorded score ends in a code without a number: every note plays.
    QCOMPARE(prepare(QStringLiteral("KC5KD"), QString(), ScoreRender::Start()).notes.size(), 2);
    // Text that is no score, and a score without notes.
    const Prepared text = prepare(QStringLiteral("hello"), QString(), ScoreRender::Start());
    QVERIFY(!text.practisable());
    QVERIFY(text.emptyReason().startsWith(QStringLiteral("这不是乐谱")));
    const Prepared rests = prepare(QStringLiteral("XZ8TZ"), QString(), ScoreRender::Start());
    QVERIFY(!rests.practisable());
    QCOMPARE(rests.emptyReason(), QStringLiteral("乐谱中没有要弹的音符。"));
    // A halt: the notes before it.
    const Prepared halted = prepare(QStringLiteral("KC8VS0KD8TZ"), QString(), ScoreRender::Start());
    QCOMPARE(halted.notes.size(), 1);
    QVERIFY(!halted.partNotice().isEmpty());
}

void PracticeScoreTest::passagesByBar()
{
    // 2/4: two beats a bar, two notes of a beat each; a rest opens bar 3.
    const QString score = QStringLiteral("KC8KD8KE8KF8XZ8KG8KA8KB8TZ");
    const Prepared p = prepare(score, QString(), ScoreRender::Start());
    Notation::Options options;
    options.beatsPerBar = 2;
    const Notation::Sheet sheet = Notation::read(score, options);
    QCOMPARE(noteBars(p, sheet), (QVector<int>{0, 0, 1, 1, 2, 3, 3}));

    const Passage whole = passage(p, sheet, 0, 3);
    QCOMPARE(whole.firstNote, 0);
    QCOMPARE(whole.noteCount, 7);
    QCOMPARE(whole.startMs, 0.0);
    QCOMPARE(whole.endMs, double(p.endNs) / 1e6);
    QCOMPARE(whole.eighthMs, 83);

    // Bar 3 begins with its rest, not with its note.
    const Passage third = passage(p, sheet, 2, 2);
    QCOMPARE(third.firstNote, 4);
    QCOMPARE(third.noteCount, 1);
    QCOMPARE(third.startMs, 4 * 664.0);
    QCOMPARE(third.endMs, 6 * 664.0);
    QVERIFY(passage(p, sheet, 4, 5).isEmpty());
}

void PracticeScoreTest::readingScoreFiles()
{
    QTemporaryDir dir;
    const ScoreFile missing = readScoreFile(dir.filePath(QStringLiteral("无.txt")));
    QVERIFY(!missing.ok);
    QVERIFY(missing.error.startsWith(QStringLiteral("找不到乐谱文件")));
    QVERIFY(!readScoreFile(dir.path()).ok);

    const QString text = writeFile(dir.filePath(QStringLiteral("小星星.txt")), "KC8KC8\r\nKG8KG8TZ\r\n");
    const ScoreFile score = readScoreFile(text);
    QVERIFY(score.ok);
    QCOMPARE(score.text, QStringLiteral("KC8KC8KG8KG8TZ"));
    QCOMPARE(score.name, QStringLiteral("小星星"));
    QCOMPARE(score.keyPosition, -1);

    // A MIDI song comes in as "打开" brings it: its melody and its key.
    const QString song = writeFile(dir.filePath(QStringLiteral("song.mid")),
                                   midiFile(96, QByteArray::fromHex("00903E6460803E00" "0090426460804200"
                                                                    "0090456460804500" "00903E6460803E00")));
    const ScoreFile imported = readScoreFile(song);
    QVERIFY2(imported.ok, qPrintable(imported.error));
    const SongImportResult direct = SongImport::importFile(song);
    QCOMPARE(imported.text, direct.score);
    QCOMPARE(imported.keyPosition, direct.keyPosition);
    const QString broken = writeFile(dir.filePath(QStringLiteral("broken.mid")), "MThd\x00");
    QVERIFY(!readScoreFile(broken).ok);
}

void PracticeScoreTest::takesFollowTheFilesTempo()
{
    QTemporaryDir dir;
    // 96 ticks a quarter; 120 beats a minute, then 240 from tick 96.
    const QByteArray track = QByteArray::fromHex("00FF510307A120" "00903C64" "60803C00" "00FF510303D090"
                                                 "00903E64" "60803E00" "00904064" "00904100");
    const Take take = readTake(writeFile(dir.filePath(QStringLiteral("t.mid")), midiFile(96, track)));
    QVERIFY2(take.ok, qPrintable(take.error));
    QCOMPARE(take.notes.size(), 3);  // a note-on of velocity 0 ends a note
    QCOMPARE(take.notes[0].ms, 0.0);
    QCOMPARE(take.notes[1].ms, 500.0);
    QCOMPARE(take.notes[2].ms, 750.0);

    // Frames: 25 a second, 40 ticks a frame = 1000 ticks a second.
    MidiSong smpte;
    smpte.ticksPerSecond = 1000;
    QCOMPARE(tickToMs(smpte, 1234), 1234.0);

    const Take text = readTake(writeFile(dir.filePath(QStringLiteral("t.txt")), "KC8TZ"));
    QVERIFY(!text.ok);
    QVERIFY(text.error.contains(QStringLiteral("不是可用的MIDI文件")));
    QVERIFY(readTake(dir.filePath(QStringLiteral("none.mid"))).error.startsWith(QStringLiteral("找不到演奏文件")));
}

DZQ_REGISTER_TEST(PracticeScoreTest)
#include "PracticeScoreTest.moc"
