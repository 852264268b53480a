#include "SongTestSupport.h"
#include "TestMain.h"

#include "songs/midifile/MidiFile.h"
#include "songs/SongImport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

MidiSong parsed(const QByteArray &bytes)
{
    MidiSong song;
    QString error;
    if (!MidiFile::parse(bytes, &song, &error))
        qWarning() << error;
    return song;
}

QByteArray oneTrack(const QByteArray &events, int division = 480)
{
    return MidiBuilder::chunk("MThd", MidiBuilder::bytesOf({0, 0, 0, 1, division >> 8, division & 0xFF}))
           + MidiBuilder::chunk("MTrk", events);
}

}  // namespace

// The Standard MIDI File reader: what it takes from a file, what it reads
// around, what it refuses, and that no input makes it crash or hang.
class MidiFileTest : public QObject {
    Q_OBJECT
private slots:
    void readsTracksTemposNamesAndNotes()
    {
        MidiBuilder b(1, 480);
        b.track().tempo(0, 600000).at(0, MidiBuilder::bytesOf({0xFF, 0x58, 4, 3, 2, 24, 8})).keySignature(-2);
        b.track().name("旋律").note(0, 480, 60, 2).note(480, 240, 62, 2);
        b.track().name("Bass").note(0, 960, 36, 3).tempo(960, 500000);
        const MidiSong s = parsed(b.bytes());
        QCOMPARE(s.format, 1);
        QCOMPARE(s.ticksPerQuarter, 480);
        QCOMPARE(s.tracks.size(), 3);
        QCOMPARE(s.tracks[1].name, QString("旋律"));
        QCOMPARE(s.tracks[2].name, QString("Bass"));
        QCOMPARE(s.noteCount(), 3);
        const MidiNote &n = s.tracks[1].notes[1];
        QCOMPARE(n.start, 480);
        QCOMPARE(n.end, 720);
        QCOMPARE(int(n.pitch), 62);
        QCOMPARE(int(n.channel), 2);
        QCOMPARE(s.tempos.size(), 2);  // from every track, by tick
        QCOMPARE(s.tempos[0].microsPerQuarter, 600000);
        QCOMPARE(s.tempos[1].tick, 960);
        QCOMPARE(s.times[0].numerator, 3);
        QCOMPARE(s.times[0].denominator, 4);
        QCOMPARE(s.keys[0].sharps, -2);
        QVERIFY(s.warnings.isEmpty());
    }

    void runningStatusStrikesAgainAndOpenNotes()
    {
        // Running status with note-on velocity 0 as note-off; a system
        // exclusive event between; a note struck again while it sounds ends
        // the first; a note never released ends with the track.
        const QByteArray events = MidiBuilder::bytesOf({0x00, 0x90, 60, 64, 0x60, 60, 0, 0x00, 62, 64,  //
                                                        0x00, 0xF0, 2, 0x7E, 0xF7,                       //
                                                        0x10, 0x91, 64, 70, 0x10, 64, 70,                // strikes again
                                                        0x20, 0xFF, 0x2F, 0});
        const MidiSong s = parsed(oneTrack(events));
        const QVector<MidiNote> &n = s.tracks[0].notes;
        QCOMPARE(n.size(), 4);
        QCOMPARE(n[0].end, 0x60);
        QCOMPARE(n[1].start, 0x60);
        QCOMPARE(n[1].end, 0x60 + 0x20 + 0x20);  // to the end of the track
        QCOMPARE(n[2].end, n[3].start);
        QCOMPARE(n[3].end, 0x60 + 0x40);
        QVERIFY(s.warnings.isEmpty());
    }

    void smpteTimeIsTicksPerSecond()
    {
        const MidiSong s = parsed(oneTrack(MidiBuilder::bytesOf({0, 0x90, 60, 1, 0x7F, 0x80, 60, 0}), 0xE728));
        QCOMPARE(s.ticksPerQuarter, 0);
        QCOMPARE(s.ticksPerSecond, 1000.0);  // 25 frames of 40 ticks
    }

    void refusesWhatIsNoUsableMidiFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray header = MidiBuilder::bytesOf({0, 1, 0, 1, 1, 0xE0});
        QTest::newRow("empty") << QByteArray() << "这不是MIDI文件";
        QTest::newRow("text") << QByteArray("KC8KD8TZ\r\n") << "这不是MIDI文件";
        QTest::newRow("short header") << (QByteArray("MThd\0\0\0\5", 8) + header) << "文件头太短";
        QTest::newRow("header cut short") << (QByteArray("MThd\0\0\0\6", 8) + header.left(3)) << "文件头不完整，文件只有11个字节";
        QTest::newRow("only the mark") << QByteArray("MTh") << "文件头不完整";
        QTest::newRow("format 3") << MidiBuilder::chunk("MThd", MidiBuilder::bytesOf({0, 3, 0, 1, 1, 0xE0}))
                                  << "格式为3";
        QTest::newRow("division 0") << MidiBuilder::chunk("MThd", MidiBuilder::bytesOf({0, 1, 0, 1, 0, 0}))
                                    << "刻度数为0";
        QTest::newRow("bad smpte") << MidiBuilder::chunk("MThd", MidiBuilder::bytesOf({0, 1, 0, 1, 0xE1, 4}))
                                   << "时间单位无效";
        QTest::newRow("no track") << (MidiBuilder::chunk("MThd", header) + MidiBuilder::chunk("XFIH", "abc"))
                                  << "没有音轨";
    }
    void refusesWhatIsNoUsableMidiFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        MidiSong s;
        QString error;
        QVERIFY(!MidiFile::parse(bytes, &s, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
    }

    void damageIsReadAroundWithAWarning_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("notes");
        QTest::addColumn<QString>("warning");
        const QByteArray twoNotes = MidiBuilder::bytesOf({0, 0x90, 60, 64, 10, 0x80, 60, 0, 0, 0x90, 62, 64, 10, 0x80, 62, 0});
        QByteArray file = oneTrack(twoNotes + MidiBuilder::bytesOf({0, 0xFF, 0x2F, 0}));
        QTest::newRow("cut short") << file.left(file.size() - 6) << 2 << "文件不完整";
        QTest::newRow("five-byte length") << oneTrack(twoNotes + MidiBuilder::bytesOf({0x81, 0x81, 0x81, 0x81, 1}))
                                          << 2 << "超过四个字节";
        QTest::newRow("huge meta") << oneTrack(twoNotes + MidiBuilder::bytesOf({0, 0xFF, 1, 0x8F, 0xFF, 0xFF, 0x7F}))
                                   << 2 << "超出音轨";
        QTest::newRow("huge sysex") << oneTrack(twoNotes + MidiBuilder::bytesOf({0, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F}))
                                    << 2 << "超出音轨";
        QTest::newRow("data without status") << oneTrack(MidiBuilder::bytesOf({0, 60, 64}) + twoNotes) << 0
                                             << "没有状态字节";
        QTest::newRow("tempo 0") << oneTrack(MidiBuilder::bytesOf({0, 0xFF, 0x51, 3, 0, 0, 0}) + twoNotes) << 2
                                 << "速度为0";
        QTest::newRow("event cut") << oneTrack(twoNotes + MidiBuilder::bytesOf({0, 0x90, 64})) << 2 << "事件不完整";
        QByteArray threeSaid = oneTrack(twoNotes);
        threeSaid[11] = 3;
        QTest::newRow("tracks missing") << threeSaid << 2 << "文件头写有3个音轨，文件中只有1个";
    }
    void damageIsReadAroundWithAWarning()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, notes);
        QFETCH(QString, warning);
        MidiSong s;
        QString error;
        QVERIFY2(MidiFile::parse(bytes, &s, &error), qPrintable(error));
        QCOMPARE(s.noteCount(), notes);
        QVERIFY2(s.warnings.join('\n').contains(warning), qPrintable(s.warnings.join('\n')));
        QVERIFY(s.tempos.isEmpty() || s.tempos[0].microsPerQuarter > 0);
    }

    // Independent patterns: the first with notes is the song, with its own
    // tempo only.
    void formatTwoTakesTheFirstPattern()
    {
        MidiBuilder b(2, 480);
        b.track().tempo(0, 600000).note(0, 480, 60).note(480, 480, 62);
        b.track().tempo(0, 400000).note(0, 240, 72);
        const MidiSong s = parsed(b.bytes());
        QCOMPARE(s.noteCount(), 2);
        QCOMPARE(s.tempos.size(), 1);
        QCOMPARE(s.tempos[0].microsPerQuarter, 600000);
        QVERIFY2(s.warnings.join('\n').contains("格式2的MIDI文件，其中有2个独立的段落，只导入了第一个（第1轨）"),
                 qPrintable(s.warnings.join('\n')));
    }

    // What is there but no file says so, and a pipe is never waited on.
    void foldersPipesAndDevicesAreNoFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder") << "folder" << "是文件夹，不是文件";
        QTest::newRow("pipe") << "pipe" << "不是文件（是设备或管道）";
        QTest::newRow("device") << "device" << "不是文件（是设备或管道）";
        QTest::newRow("missing") << "missing" << "找不到文件";
    }
    void foldersPipesAndDevicesAreNoFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QString path = dir.filePath("song.mid");
        if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("song.mid"));
        } else if (kind == "pipe") {
            path = dir.filePath("song");  // no name that says MIDI: its start would be read
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            QVERIFY(!SongImport::isMidiFile(path));
        } else if (kind == "device") {
            path = "/dev/null";
        }
        const SongImportResult r = SongImport::importFile(path);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
    }

    void filesOverTheLimitAreRefusedUnread()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("big.mid"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(MidiBuilder().track().note(0, 480, 60).bytes());
        QVERIFY(f.resize(MidiFile::kMaxFileBytes + 1));
        f.close();
        const SongImportResult r = SongImport::importFile(f.fileName());
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("MIDI文件太大（4097 KB），最多只能导入4096 KB的文件"), qPrintable(r.error));
    }

    // Mangled files, always the same ones: every answer is a song or a
    // message (a hang would run into the test's time limit).
    void fuzzedFilesGiveAMessageNeverACrash()
    {
        MidiBuilder song(1, 96);
        song.track().tempo(0, 400000).name("歌");
        song.track();
        for (int i = 0; i < 60; ++i)
            song.note(i * 48, 40 + i % 3 * 20, 55 + (i * 7) % 24, i % 2 ? 0 : 9);
        const QByteArray running = oneTrack(MidiBuilder::bytesOf({0, 0x90, 60, 64, 0x60, 60, 0, 0, 62, 64, 0x60, 62, 0,
                                                                  0, 0xFF, 0x51, 3, 0, 0, 0, 0, 0xFF, 0x2F, 0}));
        const QVector<QByteArray> seeds{song.bytes(), running};
        std::mt19937 rng(20240611);
        const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        int read = 0;
        int refused = 0;
        for (int round = 0; round < 4000; ++round) {
            QByteArray b = seeds[round % seeds.size()];
            switch (pick(0, 4)) {
            case 0:  // truncated anywhere
                b.truncate(pick(0, int(b.size())));
                break;
            case 1:  // a chunk length made huge
                b[pick(0, 1) ? 4 : 18] = char(0x7F);
                break;
            case 2:  // random bytes overwritten
                for (int i = pick(1, 6); i > 0; --i)
                    b[pick(8, int(b.size()) - 1)] = char(pick(0, 255));
                break;
            case 3:  // a long variable-length run or a tempo of 0 inserted
                b.insert(pick(22, int(b.size())), pick(0, 1) ? QByteArray(pick(1, 9), char(0xFF))
                                                             : MidiBuilder::bytesOf({0, 0xFF, 0x51, 3, 0, 0, 0}));
                break;
            default:  // bytes dropped from the middle
                b.remove(pick(14, int(b.size()) - 1), pick(1, 12));
                break;
            }
            MidiSong s;
            QString error;
            if (MidiFile::parse(b, &s, &error)) {
                ++read;
                const SongImportResult r = SongImport::convert(s);
                QVERIFY(r.ok ? r.score.endsWith("TZ") : !r.error.isEmpty());
            } else {
                ++refused;
                QVERIFY(!error.isEmpty());
            }
        }
        QVERIFY2(read > 1000 && refused > 100, qPrintable(QStringLiteral("%1 %2").arg(read).arg(refused)));
    }
};

DZQ_REGISTER_TEST(MidiFileTest)
#include "MidiFileTest.moc"
