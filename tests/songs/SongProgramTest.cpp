#include "ProgramRun.h"
#include "SongTestSupport.h"
#include "TestContext.h"
#include "TestMain.h"

#include "controllers/mainwindow/MainWindowControllers.h"
#include "controllers/PerformanceControllers.h"
#include "rhythm/RhythmPattern.h"
#include "score/ScoreFiles.h"
#include "songs/midifile/MidiFile.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

QProcessEnvironment privateEnvironment(const QTemporaryDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.insert("XDG_RUNTIME_DIR", dir.path());
    return env;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A song of two parts at 90 beats a minute.
MidiBuilder twoParts()
{
    MidiBuilder b(1, 480);
    b.track().tempo(0, 666667).keySignature(0);
    b.track().name("Lead").note(0, 480, 60).note(480, 480, 62).note(960, 960, 64).note(2400, 480, 67);
    b.track().name("Bass").note(0, 960, 36);
    return b;
}

QString demoScore(const QString &name)
{
    QString score;
    QString error;
    ScoreFiles::readScore(QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录/") + name, &score, &error);
    return score;
}

}  // namespace

// Both directions on the program itself, and through the main window's
// "打开" and "导出".
class SongProgramTest : public QObject {
    Q_OBJECT
private slots:
    void importsASongFromTheCommandLine()
    {
        QTemporaryDir dir;
        const QString song = dir.filePath("歌.mid");
        QVERIFY(twoParts().save(song));
        ProgramRun r = runProgram({"--import", song, "-o", dir.filePath("歌.txt")}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains("：4个音符，19个字符。"), qPrintable(r.out));
        QVERIFY(r.err.contains("  第1轨“Lead”：4个音符，通道1\n  第2轨“Bass”：1个音符，通道1\n"));
        QVERIFY(r.err.contains("旋律取自第1轨“Lead”"));
        QVERIFY(r.err.contains("演奏时请把“音调”选为C。"));
        QCOMPARE(fileBytes(dir.filePath("歌.txt")), QByteArray("VS7KC8KDKE16XZ8KGTZ\r\n"));

        r = runProgram({"--import", song, "--track", "2", "-o", dir.filePath("低音.TXT")}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        QCOMPARE(fileBytes(dir.filePath("低音.TXT")), QByteArray("VS7LC16TZ\r\n"));

        // A score is still imported into an edit file as before.
        QFile score(dir.filePath("s.txt"));
        QVERIFY(score.open(QIODevice::WriteOnly));
        score.write("KC8KD8TZ\r\n");
        score.close();
        r = runProgram({"--import", score.fileName(), "-o", dir.filePath("e.lnk")}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        QVERIFY(QFile::exists(dir.filePath("e.lnk")));
    }

    // A song whose tempo changes, imported and played back: every note
    // starts when it did in the song (the tempo commands' steps allow a
    // few per cent).
    void aSongWithTempoChangesStaysInTime()
    {
        QTemporaryDir dir;
        MidiBuilder b(1, 480);
        b.track().tempo(0, 666667).tempo(8 * 480, 428571).tempo(24 * 480, 1071429);  // 90, 140, 56
        b.track().name("Melody");
        for (int i = 0; i < 28; ++i)
            b.note(i * 480, 470, 60 + i % 8);
        QVERIFY(b.save(dir.filePath("a.mid")));
        ProgramRun r = runProgram({"--import", dir.filePath("a.mid"), "-o", dir.filePath("a.txt")}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        r = runProgram({"--render", dir.filePath("a.txt"), "-o", dir.filePath("b.mid")}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        const HeardSong source = heardSong(dir.filePath("a.mid"));
        const HeardSong back = heardSong(dir.filePath("b.mid"));
        QVERIFY(source.loaded && back.loaded);
        QVector<double> onsets;  // the melody's voice only: one note an onset
        for (const HeardNote &n : back.notes) {
            if (n.channel == 0)
                onsets << n.onMs;
        }
        QCOMPARE(onsets.size(), source.notes.size());
        for (int i = 0; i < onsets.size(); ++i) {
            const double want = source.notes[i].onMs;
            QVERIFY2(std::fabs(onsets[i] - onsets[0] - want) <= 30 + want * 0.02,
                     qPrintable(QStringLiteral("note %1: %2 ms, in the song %3 ms").arg(i).arg(onsets[i] - onsets[0]).arg(want)));
        }
    }

    // A song in A flat comes back at its pitch when its score is played in
    // the key the import names.
    void anImportedSongPlaysBackAtItsPitch()
    {
        QTemporaryDir dir;
        MidiBuilder b(1, 480);
        b.track().tempo(0, 666667).keySignature(-4);
        b.track().name("Melody");
        const int pitches[] = {68, 70, 72, 73, 75, 77, 79, 80, 56};
        for (int i = 0; i < 9; ++i)
            b.note(i * 480, 480, pitches[i]);
        QVERIFY(b.save(dir.filePath("a.mid")));
        ProgramRun r = runProgram({"--import", dir.filePath("a.mid"), "-o", dir.filePath("a.txt")}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("演奏时请把“音调”选为G#。"), qPrintable(r.err));
        r = runProgram({"--render", dir.filePath("a.txt"), "--key", "g#", "-o", dir.filePath("b.mid")}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        QVector<int> heard;
        for (const HeardNote &n : heardSong(dir.filePath("b.mid")).notes) {
            if (n.channel == 0)
                heard << n.pitch;
        }
        QCOMPARE(heard, (QVector<int>{68, 70, 72, 73, 75, 77, 79, 80, 56}));
    }

    void mistakesAndRefusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("not MIDI") << QStringList{"--import", "fake.mid", "-o", "x.txt"}
                                  << "无法导入MIDI文件“fake.mid”：这不是MIDI文件";
        QTest::newRow("no notes") << QStringList{"--import", "empty.mid", "-o", "x.txt"} << "没有音符";
        QTest::newRow("damaged track") << QStringList{"--import", "damaged.mid", "-o", "x.txt"}
                                       << "无法导入MIDI文件“damaged.mid”：MIDI文件已损坏，读不到任何音符，没有可以导入的旋律：\n"
                                          "第2轨从开头就已损坏";
        QTest::newRow("too big") << QStringList{"--import", "big.mid", "-o", "x.txt"} << "MIDI文件太大";
        QTest::newRow("no such part") << QStringList{"--import", "song.mid", "--track", "3", "-o", "x.txt"}
                                      << "第2轨“Bass”：1个音符，通道1\nMIDI文件中没有第3轨，只有第1到第2轨。";
        QTest::newRow("bad part") << QStringList{"--import", "song.mid", "--track", "二", "-o", "x.txt"}
                                  << "音轨号“二”无效";
        QTest::newRow("edit file") << QStringList{"--import", "song.mid", "-o", "x.lnk"}
                                   << "MIDI文件要导入为乐谱文件（-o 乐谱文件.txt）。";
        QTest::newRow("time") << QStringList{"--import", "song.mid", "-o", "x.txt", "--time", "3/4"}
                              << "--time 不能用于导入MIDI文件";
        QTest::newRow("track of a score") << QStringList{"--import", "s.txt", "--track", "1", "-o", "x.lnk"}
                                          << "--track 只能用于导入MIDI文件";
        QTest::newRow("key of an import") << QStringList{"--import", "song.mid", "--key", "D", "-o", "x.txt"}
                                          << "--key 只能用于导出（--render 乐谱文件.txt -o 输出文件）。";
        QTest::newRow("key of an edit file") << QStringList{"--render", "e.lnk", "--key", "D", "-o", "x.mid"}
                                             << "--key 不能用于编辑文件：编辑文件自带音调。";
        QTest::newRow("bad key") << QStringList{"--render", "s.txt", "--key", "H", "-o", "x.musicxml"}
                                 << "音调“H”无法识别";
        QTest::newRow("bad time") << QStringList{"--render", "s.txt", "--time", "5/4", "-o", "x.musicxml"}
                                  << "拍号“5/4”无法识别";
        QTest::newRow("edit file to MusicXML") << QStringList{"--render", "e.lnk", "-o", "x.musicxml"}
                                               << "MusicXML只能从乐谱文件（.txt）导出。";
    }
    void mistakesAndRefusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        QFile fake("fake.mid");
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("KC8TZ");
        fake.close();
        MidiBuilder empty(1, 480);
        empty.track().tempo(0, 500000);
        QVERIFY(empty.save("empty.mid"));
        QByteArray damaged = empty.track().note(0, 480, 60).bytes();
        damaged[damaged.lastIndexOf("MTrk")] = 'X';
        QFile damagedFile("damaged.mid");
        QVERIFY(damagedFile.open(QIODevice::WriteOnly) && damagedFile.write(damaged) > 0);
        damagedFile.close();
        QVERIFY(twoParts().save("song.mid"));
        QFile big("big.mid");
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(MidiFile::kMaxFileBytes + 100));
        big.close();
        QFile score("s.txt");
        QVERIFY(score.open(QIODevice::WriteOnly));
        score.write("KC8TZ");
        score.close();
        const ProgramRun r = runProgram(arguments, privateEnvironment(dir));
        QDir::setCurrent(QDir::tempPath());
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("x.txt")) && !QFile::exists(dir.filePath("x.musicxml")));
    }

    void exportsMusicXmlFromTheCommandLine()
    {
        QTemporaryDir dir;
        const QString score = QStringLiteral(DZQ_SOURCE_DIR "/data/演奏记录/欢乐颂.txt");
        const QString out = dir.filePath("欢乐颂.musicxml");
        ProgramRun r = runProgram({"--render", score, "-o", out, "--time", "3/4", "--key", "d"}, privateEnvironment(dir));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains("：62个音符，"), qPrintable(r.out));
        const QByteArray xml = fileBytes(out);
        QVERIFY(xml.contains("<fifths>2</fifths>") && xml.contains("<beats>3</beats>"));
        QVERIFY(xml.contains("<work-title>欢乐颂</work-title>"));

        QFile bad(dir.filePath("bad.txt"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("KC8KD8\r\nQQ\r\n");
        bad.close();
        r = runProgram({"--render", bad.fileName(), "-o", dir.filePath("bad.xml")}, privateEnvironment(dir));
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("乐谱中出现错误，请修改！\n出错的位置：第7个字符“QQ”。"), qPrintable(r.err));
        QVERIFY(QFile::exists(dir.filePath("bad.xml")));
    }

    // Our own MIDI files say 120 beats a minute whatever the score's tempo
    // (one tick a millisecond); a score played at 60, whose unit is 125 ms,
    // comes back as it was written.
    void demoScoresAt60ComeBackFromOurOwnMidiFiles()
    {
        QTemporaryDir dir;
        for (const char *name : {"两只老虎.txt", "小星星.txt", "欢乐颂.txt"}) {
            const QString score = "VS1" + demoScore(QString::fromUtf8(name)).replace(QRegularExpression("VS\\d+"), "VS1");
            QFile f(dir.filePath("a.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(score.toLatin1());
            f.close();
            ProgramRun r = runProgram({"--render", f.fileName(), "-o", dir.filePath("a.mid")}, privateEnvironment(dir));
            QCOMPARE(r.status, 0);
            r = runProgram({"--import", dir.filePath("a.mid"), "-o", dir.filePath("b.txt")}, privateEnvironment(dir));
            QCOMPARE(r.status, 0);
            QVERIFY2(r.err.contains(QRegularExpression("^调：C。$", QRegularExpression::MultilineOption)), qPrintable(r.err));
            QString back;
            QString error;
            QVERIFY(ScoreFiles::readScore(dir.filePath("b.txt"), &back, &error));
            QVERIFY(back.startsWith("VS1"));
            QCOMPARE(melodyOf(back), melodyOf(score));
        }
    }

    void openingAMidiFileInTheMainWindow()
    {
        TestContext t;
        PerformanceControllers p(t.ctx, t.window);
        MainWindowControllers main(t.ctx, t.window, p);
        main.initialise();
        QVERIFY(twoParts().save(t.path("歌.mid")));
        MidiBuilder d(1, 480);
        d.track().tempo(0, 500000).note(0, 480, 62).note(480, 480, 66).note(960, 480, 69).note(1440, 480, 73);
        QVERIFY(d.save(t.path("d.midi")));

        t.dialogs.openAnswers << t.path("d.midi");
        p.scoreFiles.openClicked();
        QCOMPARE(t.dialogs.openRequests[0].filter, QString("乐谱记录txt|*.txt|MIDI文件|*.mid;*.midi;*.kar"));
        QCOMPARE(t.window.Text3(), QString("VS1KC4KEKGKBTZ"));
        QCOMPARE(t.state.ScoreText, t.window.Text3());
        QCOMPARE(p.voices.keyPosition(), 2);  // the key list at D
        QCOMPARE(int(t.state.KeyBase), 38);
        QCOMPARE(t.window.LastFilePath, t.path("d.midi"));
        QCOMPARE(t.window.FJWZ(), QString("成功导入MIDI文件。。。"));
        const QString box = t.dialogs.messages.last();
        QVERIFY2(box.startsWith("已导入MIDI文件“d.midi”。\n旋律取自第1轨，共4个音符。"), qPrintable(box));
        QVERIFY(box.contains("\n调：D。\n"));
        QVERIFY(box.endsWith("“音调”已设为D，点击“试听”演奏。"));
        QVERIFY(!p.player.ScorePlaying());
        QCOMPARE(int(p.pattern.TimeSignature()), 0);  // the song names no time: the beat stays

        // Played as any score: the song sounds in D.
        p.player.playClicked();
        QVERIFY(p.player.ScorePlaying());
        QVERIFY(t.sent().contains((70u << 16) | (62u << 8) | 0x90u));

        // A file that is no MIDI file: a message and an empty score box.
        QFile fake(t.path("fake.mid"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("KC8TZ");
        fake.close();
        t.dialogs.openAnswers << fake.fileName();
        p.scoreFiles.openClicked();
        QVERIFY(t.dialogs.messages.last().startsWith("无法导入MIDI文件“fake.mid”。\n这不是MIDI文件"));
        QCOMPARE(t.window.Text3(), QString());

        // A waltz sets the rhythm's beat to 3/4.
        MidiBuilder waltz(1, 480);
        waltz.track().tempo(0, 500000).at(0, MidiBuilder::bytesOf({0xFF, 0x58, 4, 3, 2, 24, 8}));
        waltz.track().note(0, 480, 67).note(480, 480, 64).note(960, 480, 64);
        QVERIFY(waltz.save(t.path("waltz.mid")));
        t.dialogs.openAnswers << t.path("waltz.mid");
        p.scoreFiles.openClicked();
        QCOMPARE(int(p.pattern.TimeSignature()), 1);
        QVERIFY2(t.dialogs.messages.last().contains("拍子：3/4。\n") && t.dialogs.messages.last().contains("节奏的拍子已设为3/4，“音调”已设为G"),
                 qPrintable(t.dialogs.messages.last()));
    }

    // A song of several parts goes through the part list: "试听" plays a
    // part on the first voice through the program's output and stops with
    // the list; the part taken is imported; a cancel changes nothing; a song
    // of one part (drums aside) is taken at once.
    void choosingThePartOfASong()
    {
        TestContext t;
        PerformanceControllers p(t.ctx, t.window);
        MainWindowControllers main(t.ctx, t.window, p);
        main.initialise();
        QVERIFY(twoParts().save(t.path("two.mid")));
        int shown = 0;
        int answer = 0;
        QStringList names;
        int first = 0;
        bool heard = false;
        main.songOpening.setChooser([&](const SongOpening::PartChoice &choice) {
            ++shown;
            first = choice.song.part;
            names.clear();
            for (const SongMelody::Part &part : choice.song.parts)
                names << part.name;
            t.clearSent();
            choice.listen(2);  // the bass: C2 for two beats at 90 per minute
            heard = choice.listening() && t.sent() == QVector<quint32>{(100u << 16) | (36u << 8) | 0x90u};
            t.clock.advanceMs(1340);
            heard = heard && t.sent().contains((36u << 8) | 0x80u) && !choice.listening();
            choice.listen(1);
            t.clock.advanceMs(100);  // the lead is still sounding when the list closes
            return answer;
        });

        t.window.setText3(QStringLiteral("KC8TZ"));
        t.window.LastFilePath = QStringLiteral("before.txt");
        main.songOpening.open(t.path("two.mid"));
        QCOMPARE(shown, 1);
        QCOMPARE(names, QStringList({"Lead", "Bass"}));
        QCOMPARE(first, 1);
        QVERIFY2(heard, qPrintable(QString::number(t.sent().size())));
        QCOMPARE(t.window.Text3(), QString("KC8TZ"));
        QCOMPARE(t.window.LastFilePath, QString("before.txt"));
        QCOMPARE(t.sent().count((60u << 8) | 0x80u), 1);  // nothing left sounding

        answer = 2;
        main.songOpening.open(t.path("two.mid"));
        QVERIFY2(t.window.Text3().startsWith("VS"), qPrintable(t.window.Text3()));
        QVERIFY(t.dialogs.messages.last().contains("旋律取自第2轨"));
        QCOMPARE(t.window.LastFilePath, t.path("two.mid"));

        MidiBuilder one(1, 480);
        one.track().tempo(0, 500000).note(0, 480, 60).note(480, 480, 62);
        one.track().note(0, 480, 38, 9).note(480, 480, 38, 9);
        QVERIFY(one.save(t.path("one.mid")));
        main.songOpening.open(t.path("one.mid"));
        QCOMPARE(shown, 2);
        QVERIFY(t.window.Text3().contains("KD"));
    }

    void exportingMusicXmlFromTheMainWindow()
    {
        TestContext t;
        PerformanceControllers p(t.ctx, t.window);
        MainWindowControllers main(t.ctx, t.window, p);
        main.initialise();
        p.voices.selectKey(9);  // A
        p.pattern.SelectTimeSignature(1);
        t.window.setText3("hx1kc8kd8TZ");
        t.dialogs.saveAnswers << t.path("曲.musicxml");
        QVERIFY(main.exporter.DcMidiClicked());
        QCOMPARE(t.dialogs.saveRequests[0].filter,
                 QString("MIDI文件|*.mid|WAV声音文件|*.wav|MusicXML乐谱（打谱软件）|*.musicxml"));
        const QByteArray xml = fileBytes(t.path("曲.musicxml"));
        QVERIFY(xml.contains("<fifths>3</fifths>") && xml.contains("<beats>3</beats>"));
        QVERIFY(xml.contains("<root-step>A</root-step>"));
        QVERIFY(xml.contains("<work-title>曲</work-title>"));
        QCOMPARE(t.window.FJWZ(), QString("成功导出MusicXML文件。。。"));
    }
};

DZQ_REGISTER_TEST(SongProgramTest)
#include "SongProgramTest.moc"
