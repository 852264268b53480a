#include "SongTestSupport.h"
#include "TestMain.h"

#include "songs/SongImport.h"

#include <QTest>

namespace {

// 90 beats a minute, 480 ticks a quarter: a score unit is 60 ticks.
MidiBuilder song90()
{
    MidiBuilder b(1, 480);
    b.track().tempo(0, 666667).keySignature(0);
    b.track().name("Lead");
    return b;
}

SongImportResult imported(const MidiBuilder &b, int part = 0)
{
    MidiSong song;
    QString error;
    if (!MidiFile::parse(b.bytes(), &song, &error))
        qWarning() << error;
    return SongImport::convert(song, part);
}

}  // namespace

// A song written as a score: tokens, numbers, tempo commands, limits.
class SongImportTest : public QObject {
    Q_OBJECT
private slots:
    void melodyBecomesNotesRestsAndTheEnd()
    {
        MidiBuilder b = song90();
        b.note(0, 480, 60).note(480, 480, 62).note(960, 960, 64).note(2400, 480, 67);
        const SongImportResult r = imported(b);
        QVERIFY(r.ok);
        QCOMPARE(r.score, QString("VS7KC8KDKE16XZ8KGTZ"));
        QCOMPARE(r.keyPosition, 0);
        QCOMPARE(r.notes, 4);
        QCOMPARE(r.fileBytes(), QByteArray("VS7KC8KDKE16XZ8KGTZ\r\n"));
        const QString summary = r.summary();
        QVERIFY2(summary.contains("旋律取自第1轨“Lead”，共4个音符。"), qPrintable(summary));
        QVERIFY(summary.contains("速度：乐曲每分钟90拍，乐谱用VS7（每分钟90拍）。"));
        QVERIFY(summary.contains("调：C。0个音不在C调音阶上，已移到最近的音级；0个音超出五个八度，已移入五个八度之内。"));
    }

    void longNotesAndRestsAreSplitAtNinetyNine()
    {
        MidiBuilder b = song90();
        b.note(0, 130 * 60, 60).note(380 * 60, 480, 62);
        const SongImportResult r = imported(b);
        QCOMPARE(r.score, QString("VS7KC99XZ31XZ99XZXZ52KD8TZ"));
        QCOMPARE(r.shortened, 1);
        QCOMPARE(r.lines.size(), 3);  // four bars of 4/4 a line
        QCOMPARE(r.lines.join(QString()), r.score);
        QVERIFY(r.summary().contains("1个音长于99个时值单位，已截短。"));
    }

    void tempoChangesAndKeyAndHalving()
    {
        MidiBuilder b = song90();
        b.tempo(960, 600000).note(0, 480, 62).note(480, 480, 64).note(960, 480, 66).note(1440, 480, 62);
        SongImportResult r = imported(b);
        QCOMPARE(r.score, QString("VS7KC8KDVS9KE8KCTZ"));  // D major, KeyBase 38
        QCOMPARE(r.keyPosition, 2);

        MidiBuilder fast(1, 480);
        fast.track().tempo(0, 500000).note(0, 480, 60).note(480, 240, 62).note(720, 240, 64);
        r = imported(fast);
        QCOMPARE(r.score, QString("VS1KC4KD2KETZ"));
        QVERIFY(r.summary().contains("乐曲每分钟120拍，乐谱用VS1（每分钟60拍），时值缩短为原来的1/2。"));
    }

    void aPartCanBeChosen()
    {
        MidiBuilder b = song90();
        b.note(0, 480, 72).note(480, 480, 74);
        b.track().name("Bass").note(0, 960, 36);
        SongImportResult r = imported(b, 2);
        QCOMPARE(r.part, 2);
        QCOMPARE(r.score, QString("VS7LC16TZ"));
        QCOMPARE(r.partLines(), (QStringList{"第1轨“Lead”：2个音符，通道1", "第2轨“Bass”：1个音符，通道1"}));
        r = imported(b, 3);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QString("MIDI文件中没有第3轨，只有第1到第2轨。"));
    }

    void songsWithoutAMelodyAreRefused()
    {
        MidiBuilder empty = song90();
        QCOMPARE(imported(empty).error, QString("MIDI文件中没有音符，没有可以导入的旋律。"));
        MidiBuilder drums = song90();
        drums.note(0, 120, 36, 9).note(240, 120, 38, 9);
        QCOMPARE(imported(drums).error, QString("MIDI文件中只有打击乐，没有可以作为旋律的音轨。"));
        QVERIFY(imported(drums, 1).ok);  // chosen on purpose, it is taken
    }

    // Damage that leaves no note says so, naming the track; a mark of
    // another name beside the tracks is no damage.
    void aSongDamagedFromATracksStartSaysSo_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QByteArray song = song90().note(0, 480, 60).bytes();
        const qsizetype second = song.lastIndexOf("MTrk");
        QByteArray dataFirst = song;
        dataFirst[second + 8] = char(0x3C);  // the first delta a data byte: no status before it
        dataFirst[second + 9] = char(0x40);
        QTest::newRow("first event") << dataFirst << "第2轨从开头就已损坏（数据字节前没有状态字节）";
        QByteArray markHit = song;
        markHit[second] = char(0);
        QTest::newRow("track mark") << markHit << "第2轨从开头就已损坏（音轨标记“MTrk”变成了“%00Trk”）";
        QByteArray oneLetter = song;
        oneLetter[second + 3] = 'x';
        QTest::newRow("one letter") << oneLetter << "第2轨从开头就已损坏（音轨标记“MTrk”变成了“MTrx”）";
    }
    void aSongDamagedFromATracksStartSaysSo()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        MidiSong song;
        QString error;
        QVERIFY2(MidiFile::parse(bytes, &song, &error), qPrintable(error));
        QCOMPARE(song.damagedTracks, QVector<int>{2});
        const SongImportResult r = SongImport::convert(song);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith("MIDI文件已损坏，读不到任何音符") && r.error.contains(message), qPrintable(r.error));

        // A track after the damaged one keeps its number, and is read.
        const QByteArray third = MidiBuilder::chunk("MTrk", MidiBuilder::bytesOf({0, 0x90, 62, 64, 60, 0x80, 62, 0}));
        bytes[13] = 3;
        QVERIFY(MidiFile::parse(bytes + third, &song, &error));
        QCOMPARE(song.tracks.size(), 3);
        QCOMPARE(song.tracks[2].notes.size(), 1);
        QVERIFY(SongImport::convert(song).ok);
    }

    void otherChunksBesideTheTracksAreNoDamage()
    {
        QByteArray song = song90().note(0, 480, 60).bytes();
        song.insert(song.lastIndexOf("MTrk"), MidiBuilder::chunk("XFIH", "abc"));
        MidiSong s;
        QString error;
        QVERIFY(MidiFile::parse(song, &s, &error));
        QVERIFY(s.damagedTracks.isEmpty());
        QVERIFY(s.warnings.isEmpty());
        QCOMPARE(s.noteCount(), 1);
    }

    // Rests up to the longest score and no note: refused, not "imported".
    void aFirstNoteBeyondTheLongestScoreIsRefused()
    {
        MidiBuilder b = song90();
        b.at(1 << 27, MidiBuilder::bytesOf({0xFF, 0x01, 1, 'x'})).note(qint64(1) << 28, 480, 60);
        const SongImportResult r = imported(b);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.startsWith("MIDI文件的第一个音符离开头太远"), qPrintable(r.error));
        MidiBuilder near = song90();
        near.note(60 * 700000, 480, 60);  // rests "XZ99" of 700000 units: about 28300 characters
        QVERIFY(imported(near).ok);
    }

    void theScoreNeverExceedsWhatThePlayerReads()
    {
        MidiBuilder b = song90();
        for (int i = 0; i < 20000; ++i)
            b.note(i * 60, 60, i % 2 ? 62 : 60);
        const SongImportResult r = imported(b);
        QVERIFY(r.ok);
        QVERIFY(r.score.size() <= 32767 && r.score.size() > 32750);
        QVERIFY(r.score.endsWith("KDTZ") || r.score.endsWith("KCTZ"));
        QCOMPARE(r.notes + r.leftOut, 20000);
        QVERIFY(r.summary().contains(QStringLiteral("后面的%1个音没有导入").arg(r.leftOut)));
    }
};

DZQ_REGISTER_TEST(SongImportTest)
#include "SongImportTest.moc"
