#include "ExportTestSupport.h"
#include "TestContext.h"
#include "TestMain.h"

#include "headless/ScoreExport.h"
#include "chords/SoundEffects.h"
#include "songs/midifile/MidiFileWriter.h"
#include "platform/media/OfflineRenderer.h"
#include "rhythm/RhythmPattern.h"
#include "rhythm/RhythmSequencer.h"
#include "score/ScoreReader.h"
#include "score/ScorePlayer.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

#include <sndfile.h>

#include <cmath>
#include <map>

namespace {

using R = RecordingMidiBackend;
using Timed = QVector<QPair<int, quint32>>;

QVector<quint32> onAllVoices(int note)
{
    return {R::noteOn(0, note, 70), R::noteOn(1, note, 70), R::noteOn(2, note, 70)};
}

QVector<quint32> offAllVoices(int note)
{
    return {R::noteOff(0, note), R::noteOff(1, note), R::noteOff(2, note)};
}

QVector<quint32> offChord(int a, int b, int c)
{
    return {R::noteOff(3, a), R::noteOff(4, b), R::noteOff(5, c)};
}

bool isNoteOn(quint32 m)
{
    return (m & 0xF0) == 0x90;
}

int channelOf(quint32 m)
{
    return int(m & 0x0F);
}

// The messages after start-up's program changes, with their times.
Timed scorePart(const MidiFileContents &f)
{
    Timed out;
    bool started = false;
    for (const MidiFileContents::Event &e : f.events) {
        const quint32 kind = e.message & 0xF0;
        started = started || (kind != 0xB0 && kind != 0xC0);
        if (started)
            out.append({e.ms, e.message});
    }
    return out;
}

Timed timed(int ms, const QVector<quint32> &messages)
{
    Timed out;
    for (quint32 m : messages)
        out.append({ms, m});
    return out;
}

QString formatTimed(const Timed &t)
{
    QStringList parts;
    for (const auto &p : t)
        parts << QStringLiteral("%1:%2").arg(p.first).arg(p.second, 0, 16);
    return parts.join(' ');
}

// The notes one step of a built-in rhythm sends.
QVector<quint32> builtInStep(int rhythm, int step, int *lastStep)
{
    TestContext t;
    RhythmPattern pattern(t.ctx);
    RhythmSequencer sequencer(t.ctx, t.window, pattern);
    sequencer.applyBuiltInRhythm(rhythm);
    pattern.rebuildSteps();
    *lastStep = pattern.LastStep();
    QVector<quint32> out;
    for (int cell = 0; cell <= 4; ++cell) {
        const StepCell &c = t.state.Steps.cell(step, cell);
        if (c.Sounding == -1)
            out << c.Message;
    }
    return out;
}

// A record folder with the shipped rhythm files, as the program has it.
void copyShippedRhythms(const QTemporaryDir &dir)
{
    const QDir shipped(QString::fromUtf8(DZQ_SOURCE_DIR "/data/演奏记录"));
    const QStringList names = shipped.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
    QVERIFY(!names.isEmpty());
    for (const QString &name : names)
        QFile::copy(shipped.filePath(name), dir.filePath(name));
}

QVector<int> drumTimes(const MidiFileContents &f)
{
    QVector<int> times;
    for (const auto &ev : f.events)
        if (isNoteOn(ev.message) && channelOf(ev.message) == 9 && !times.contains(ev.ms))
            times << ev.ms;
    return times;
}

struct Exported {
    ScoreExport::Result result;
    MidiFileContents file;
    QString path;
};

Exported exportMidi(const QTemporaryDir &dir, const QString &score, qint64 limitMs = 0)
{
    NoticeList notices;
    ScoreExport::Options options;
    if (limitMs > 0)
        options.limitNs = limitMs * 1000000;
    Exported e;
    copyShippedRhythms(dir);
    e.path = dir.filePath(QStringLiteral("out.mid"));
    QFile::remove(e.path);
    e.result = ScoreExport::exportScore(score, e.path, ScoreExport::Kind::Midi, dir.path(), notices, options);
    e.file = readMidiFile(e.path);
    return e;
}

}  // namespace

// A score played in virtual time and written as a MIDI file, read back with
// libsmf.
class ScoreExportTest : public QObject {
    Q_OBJECT
private slots:
    void fileHoldsEveryMessageAtItsMillisecond()
    {
        QTemporaryDir dir;
        const Exported e = exportMidi(dir, QStringLiteral("KC8KD8TZ"));
        QCOMPARE(e.result.status, ScoreExport::Ok);
        QVERIFY(e.file.loaded);
        QCOMPARE(e.file.format, 0);
        QCOMPARE(e.file.tracks, 1);
        QCOMPARE(e.file.ppqn, MidiFileWriter::kTicksPerQuarter);
        QCOMPARE(e.file.tempo, 664000);  // a beat is 8 x 83 ms at start-up's 90

        // Nothing recorded is lost on the way into the file.
        const QVector<TimedMidiMessage> &sent = e.result.performance.messages;
        QCOMPARE(e.file.events.size(), sent.size());
        for (int i = 0; i < sent.size(); ++i) {
            QCOMPARE(qint64(e.file.events[i].ms) * 1000000, sent[i].ns);
            QCOMPARE(e.file.events[i].pulses, int(sent[i].ns / 1000000 / 83 * 60));
            QCOMPARE(e.file.events[i].message, sent[i].message.packed());
        }

        // Start-up: bank select 0 and the program on channels 0..5, at 0.
        const int programs[6] = {14, 51, 78, 24, 24, 24};
        int lastProgram[6] = {-1, -1, -1, -1, -1, -1};
        for (const auto &ev : e.file.events) {
            if ((ev.message & 0xF0) != 0xC0)
                continue;
            QCOMPARE(ev.ms, 0);
            const int ch = channelOf(ev.message);
            QVERIFY(ch < 6);
            lastProgram[ch] = int(ev.message >> 8);
        }
        for (int ch = 0; ch < 6; ++ch) {
            QCOMPARE(lastProgram[ch], programs[ch]);
            const QVector<quint32> atZero = e.file.messagesAt(0);
            const int program = atZero.indexOf(R::program(ch, programs[ch]));
            QVERIFY(program > 0);
            QCOMPARE(atZero[program - 1], R::control(ch, 0, 0));
        }
        // Start-up lets a rhythm step be heard; that sound is not the score's.
        for (const auto &ev : e.file.at(0))
            QVERIFY(!(isNoteOn(ev.message) && channelOf(ev.message) == 9));

        // KC at once, KD one beat (8 x 83 ms) later, TZ after another beat.
        Timed expected = timed(0, offAllVoices(36) + offChord(36, 36, 36) + onAllVoices(60));
        expected += timed(664, offAllVoices(60) + offChord(36, 36, 36) + onAllVoices(62));
        expected += timed(1328, offAllVoices(62) + offChord(36, 36, 36));
        const Timed actual = scorePart(e.file);
        QVERIFY2(actual == expected, qPrintable(formatTimed(actual)));
        QCOMPARE(e.file.lengthMs, 1328);
        QCOMPARE(e.result.performance.endNs, qint64(1328) * 1000000);
    }

    void chordRhythmAndEffectKeepTheirTimes()
    {
        QTemporaryDir dir;
        // KC 0..664, KD ..1328, YX1 waits one 166 ms tick, KE 1494..2158,
        // the rhythm stops at 2158, KF ..2822, TZ.
        const Exported e = exportMidi(dir, QStringLiteral("HX1JP1KC8KD8YX1KE8JP99KF8TZ"));
        QCOMPARE(e.result.status, ScoreExport::Ok);
        const QVector<quint32> atZero = e.file.messagesAt(0);
        for (quint32 m : {R::noteOn(3, 60, 70), R::noteOn(4, 64, 70), R::noteOn(5, 67, 70)})
            QVERIFY(atZero.contains(m));
        const QVector<quint32> atKD = e.file.messagesAt(664);
        for (quint32 m : offChord(60, 64, 67))
            QVERIFY(atKD.contains(m));
        for (quint32 m : atKD)
            QVERIFY(!(isNoteOn(m) && channelOf(m) >= 3 && channelOf(m) <= 5));

        const SoundEffects::Effect &cymbal = SoundEffects::effectTable()[0];
        const QVector<quint32> atEffect = e.file.messagesAt(1328);
        QVERIFY(atEffect.contains(R::program(6, cymbal.program)));
        QVERIFY(atEffect.contains(R::noteOn(6, 36 + cymbal.offset, SoundEffects::kVelocity)));
        QVERIFY(e.file.messagesAt(1494).contains(R::noteOn(0, 64, 70)));
        QVERIFY(e.file.messagesAt(2158).contains(R::noteOn(0, 65, 70)));

        // While the notes run at 83 ms a tick, the rhythm steps every second
        // tick: step k at 83 + 166 k, after step 0 at the start.
        std::map<int, QVector<quint32>> drums;
        for (const auto &ev : e.file.events)
            if (isNoteOn(ev.message) && channelOf(ev.message) == 9 && ev.ms > 0)
                drums[ev.ms] << ev.message;
        int lastStep = 0;
        std::map<int, QVector<quint32>> expected;
        for (int k = 0; 83 + 166 * k < 1328; ++k) {
            const QVector<quint32> step = builtInStep(1, k % 16, &lastStep);
            if (!step.isEmpty())
                expected[83 + 166 * k] = step;
        }
        QCOMPARE(lastStep, 15);
        QVERIFY(expected.size() >= 4);
        std::map<int, QVector<quint32>> early(drums.begin(), drums.lower_bound(1328));
        QVERIFY(early == expected);
        // JP99 stops it; nothing sounds on channel 9 after that.
        QVERIFY(!drums.empty());
        QVERIFY(drums.rbegin()->first <= 2158);
        QVERIFY(!e.file.at(1494).isEmpty());
        QCOMPARE(e.file.lengthMs, 2822);
    }

    void rhythmFilesOfTheRecordFolderPlay()
    {
        QTemporaryDir dir;
        // JP10 is the first rhythm file of the folder; JP60 names no file.
        Exported e = exportMidi(dir, QStringLiteral("JP10KC16TZ"));
        QCOMPARE(e.result.status, ScoreExport::Ok);
        const QVector<int> times = drumTimes(e.file);
        QVERIFY(times.contains(0));
        QVERIFY(times.contains(83));
        QVERIFY(times.size() >= 3);
        e = exportMidi(dir, QStringLiteral("JP60KC16TZ"));
        QCOMPARE(e.result.status, ScoreExport::Ok);
        QVERIFY(drumTimes(e.file).isEmpty());
    }

    void unrecognisedTokenKeepsWhatWasPlayedBeforeIt_data()
    {
        QTest::addColumn<QString>("score");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("errorMs");
        QTest::addColumn<int>("lastNote");
        QTest::newRow("lone letter at the end") << "KC8KD" << 5 << "D" << 1328 << 62;
        QTest::newRow("third digit") << "KC123KD8" << 5 << "3K" << 996 << 60;
        QTest::newRow("token with a number") << "KC8ZZ5KD8TZ" << 4 << "ZZ" << 664 << 60;
        QTest::newRow("lower case from a file") << "kc8" << 1 << "kc" << 0 << -1;
        QTest::newRow("space") << "KC8 KD8TZ" << 4 << " K" << 664 << 60;
        QTest::newRow("command at the very end") << "KC8JP1" << 7 << "" << 664 << 60;
        QTest::newRow("empty") << "" << 1 << "" << 0 << -1;
    }

    void unrecognisedTokenKeepsWhatWasPlayedBeforeIt()
    {
        QFETCH(QString, score);
        QFETCH(int, position);
        QFETCH(QString, token);
        QFETCH(int, errorMs);
        QFETCH(int, lastNote);
        QTemporaryDir dir;
        const Exported e = exportMidi(dir, score);
        QCOMPARE(e.result.status, ScoreExport::ScoreError);
        QCOMPARE(e.result.performance.ending, ScoreRender::Ending::Error);
        QCOMPARE(e.result.performance.errorPosition, position);
        QCOMPARE(e.result.performance.errorToken, token);
        QVERIFY(e.result.message.startsWith(ScorePlayer::errorMessage()));
        if (!token.isEmpty())
            QVERIFY(e.result.message.contains(QStringLiteral("第%1个字符").arg(position)));

        QVERIFY(e.file.loaded);
        QCOMPARE(e.file.lengthMs, errorMs);
        int lastOn = -1;
        for (const auto &ev : e.file.events) {
            QVERIFY(ev.ms <= errorMs);
            if (isNoteOn(ev.message) && channelOf(ev.message) == 0)
                lastOn = int((ev.message >> 8) & 0x7F);
        }
        QCOMPARE(lastOn, lastNote);
        // The error silences the notes.
        if (lastNote >= 0)
            QVERIFY(e.file.messagesAt(errorMs).contains(R::noteOff(0, lastNote)));
    }

    void scoreThatNeverEndsStopsAtTheLimit()
    {
        QTemporaryDir dir;
        // A duration of 0 with nothing else sounding: the note is held for
        // two seconds after the tick that found the player stuck (83 ms) and
        // stopped on the next tick after that (26 ticks of 83 ms).
        Exported e = exportMidi(dir, QStringLiteral("KC0TZ"), 10000);
        QCOMPARE(e.result.status, ScoreExport::Ok);
        QCOMPARE(e.result.performance.ending, ScoreRender::Ending::Stalled);
        QVERIFY(e.result.notice.contains(QStringLiteral("时值为0")));
        QVERIFY(e.result.notice.contains(QStringLiteral("2.158")));
        QVERIFY(e.file.loaded);
        QCOMPARE(e.file.lengthMs, 2158);
        const Timed actual = scorePart(e.file);
        Timed expected = timed(0, offAllVoices(36) + offChord(36, 36, 36) + onAllVoices(60));
        expected += timed(2158, offAllVoices(60) + offChord(36, 36, 36));
        QVERIFY2(actual == expected, qPrintable(formatTimed(actual)));

        // A running rhythm goes on: the time limit stops it, and says why.
        e = exportMidi(dir, QStringLiteral("JP1KC0TZ"), 10000);
        QCOMPARE(e.result.performance.ending, ScoreRender::Ending::Limit);
        QCOMPARE(e.file.lengthMs, 10000);
        QVERIFY(e.result.notice.contains(QStringLiteral("时值为0")));
        QVERIFY(e.result.notice.contains(QStringLiteral("10.000")));

        // Music simply longer than the limit is not blamed on zero durations.
        e = exportMidi(dir, QStringLiteral("KC80KD80TZ"), 10000);
        QCOMPARE(e.result.performance.ending, ScoreRender::Ending::Limit);
        QVERIFY(!e.result.notice.contains(QStringLiteral("时值为0")));
        QVERIFY(e.result.notice.contains(QStringLiteral("最长时间10.000秒")));
    }

    void haltedScoreStopsWhereItHalts()
    {
        QTemporaryDir dir;
        Exported e = exportMidi(dir, QStringLiteral("KC8VS0KD8TZ"), 10000);
        QCOMPARE(e.result.status, ScoreExport::Ok);
        QCOMPARE(e.result.performance.ending, ScoreRender::Ending::Halted);
        QVERIFY(!e.result.notice.isEmpty());
        QCOMPARE(e.file.lengthMs, 664);
        for (quint32 m : offAllVoices(60))
            QVERIFY(e.file.messagesAt(664).contains(m));
        for (const auto &ev : e.file.events)
            QVERIFY(ev.message != R::noteOn(0, 62, 70));

        // A rhythm started before the halt stops with it.
        e = exportMidi(dir, QStringLiteral("JP1VS0"), 10000);
        QCOMPARE(e.result.performance.ending, ScoreRender::Ending::Halted);
        QCOMPARE(e.file.lengthMs, 0);

        // The rhythm left running on its own timer after the end of the text
        // does not keep the export going.
        e = exportMidi(dir, QStringLiteral("KC8JP1KD4"), 10000);
        QCOMPARE(e.result.performance.ending, ScoreRender::Ending::Ended);
        QCOMPARE(e.file.lengthMs, 664);
    }

    void exportLeavesNoFileWhenItCannotWrite()
    {
        QTemporaryDir dir;
        NoticeList notices;
        const QString score = QStringLiteral("KC8TZ");

        const QString wrongKind = dir.filePath(QStringLiteral("out.txt"));
        auto r = ScoreExport::exportScore(score, wrongKind, ScoreExport::kindOf(wrongKind), dir.path(), notices);
        QCOMPARE(r.status, ScoreExport::Failed);
        QVERIFY(r.message.contains(QStringLiteral(".mid")));
        QVERIFY(!QFileInfo::exists(wrongKind));

        const QString noFolder = dir.filePath(QStringLiteral("missing/out.mid"));
        r = ScoreExport::exportScore(score, noFolder, ScoreExport::Kind::Midi, dir.path(), notices);
        QCOMPARE(r.status, ScoreExport::Failed);
        QVERIFY(r.message.contains(QStringLiteral("missing")));
        QVERIFY(!QFileInfo::exists(noFolder));

        // A folder of that name stays a folder.
        const QString folder = dir.filePath(QStringLiteral("taken.mid"));
        QVERIFY(QDir().mkdir(folder));
        r = ScoreExport::exportScore(score, folder, ScoreExport::Kind::Midi, dir.path(), notices);
        QCOMPARE(r.status, ScoreExport::Failed);
        QVERIFY(QFileInfo(folder).isDir());

        const QString tooLong = dir.filePath(QStringLiteral("long.mid"));
        r = ScoreExport::exportScore(QString(ScoreReader::kMaxScoreLength + 1, QLatin1Char('X')), tooLong,
                                     ScoreExport::Kind::Midi, dir.path(), notices);
        QCOMPARE(r.status, ScoreExport::Failed);
        QCOMPARE(r.message, ScoreReader::tooLongMessage());
        QVERIFY(!QFileInfo::exists(tooLong));
        QVERIFY(notices.messages.isEmpty());
    }

    // A WAV export tells its progress; cancelled, it writes nothing and an
    // earlier file of that name stays as it was.
    void wavExportShowsProgressAndCanBeCancelled()
    {
        QTemporaryDir dir;
        NoticeList notices;
        const QString score = QStringLiteral("KC8KD8KE8TZ");
        QVector<int> seen;
        ScoreExport::Options options;
        options.progress = [&seen](int percent) {
            seen << percent;
            return true;
        };
        const QString whole = dir.filePath(QStringLiteral("whole.wav"));
        auto r = ScoreExport::exportScore(score, whole, ScoreExport::Kind::Wav, dir.path(), notices, options);
        QVERIFY2(r.status == ScoreExport::Ok, qPrintable(r.message));
        QVERIFY(seen.size() > 2);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QCOMPARE(seen.last(), 100);

        QFile file(whole);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        options.progress = [](int percent) { return percent < 50; };
        r = ScoreExport::exportScore(QStringLiteral("KG8TZ"), whole, ScoreExport::Kind::Wav, dir.path(), notices,
                                     options);
        QCOMPARE(r.status, ScoreExport::Failed);
        QCOMPARE(r.message, ScoreExport::cancelledMessage());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        const QString fresh = dir.filePath(QStringLiteral("fresh.wav"));
        r = ScoreExport::exportScore(score, fresh, ScoreExport::Kind::Wav, dir.path(), notices, options);
        QCOMPARE(r.status, ScoreExport::Failed);
        QVERIFY(!QFileInfo::exists(fresh));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("whole.wav")});
    }

    void outputKindByExtension()
    {
        QCOMPARE(ScoreExport::kindOf("a.mid"), ScoreExport::Kind::Midi);
        QCOMPARE(ScoreExport::kindOf("/x/演奏.MIDI"), ScoreExport::Kind::Midi);
        QCOMPARE(ScoreExport::kindOf("a.Wav"), ScoreExport::Kind::Wav);
        QCOMPARE(ScoreExport::kindOf("a.mid.txt"), ScoreExport::Kind::Unknown);
        QCOMPARE(ScoreExport::kindOf("mid"), ScoreExport::Kind::Unknown);
    }

    void writerEncodesDeltaTimesAndLeavesOutSystemMessages()
    {
        QByteArray v;
        for (quint32 value : {0u, 0x7Fu, 0x80u, 0x3FFFu, 0x4000u, 0x0FFFFFFFu})
            MidiFileWriter::appendVariableLength(&v, value);
        QCOMPARE(v.toHex(), QByteArray("007f8100ff7f818000ffffff7f"));

        // A long pause, a system message (never written) and a program change
        // of two bytes; messages given out of order come out in time order.
        const QVector<TimedMidiMessage> messages{
            {qint64(200000) * 1000000, MidiMessage::make(Midi::NoteOff, 0, 60)},
            {0, MidiMessage::make(Midi::NoteOn, 0, 60, 100)},
            {5 * 1000000, MidiMessage{0xF8, 0, 0}},
            {5 * 1000000, MidiMessage::make(Midi::ProgramChange, 1, 40)},
        };
        const QByteArray bytes = MidiFileWriter::fileBytes(messages, 0);
        QVERIFY(!bytes.contains(char(0xF8)));
        QTemporaryDir dir;
        QString error;
        const QString path = dir.filePath("w.mid");
        QVERIFY(MidiFileWriter::write(path, messages, 0, &error));
        const MidiFileContents f = readMidiFile(path);
        QVERIFY(f.loaded);
        QCOMPARE(f.events.size(), 3);
        QCOMPARE(f.events[0].message, R::noteOn(0, 60, 100));
        QCOMPARE(f.events[1].ms, 5);
        QCOMPARE(f.events[1].message, R::program(1, 40));
        QCOMPARE(f.events[2].ms, 200000);
        QCOMPARE(f.lengthMs, 200000);
    }

    void wavLastsUntilTheTailAndIsNotSilent()
    {
        if (!OfflineRenderer().isValid())
            QSKIP("no sound font");
        QTemporaryDir dir;
        NoticeList notices;
        const QString path = dir.filePath(QStringLiteral("out.wav"));
        const auto r = ScoreExport::exportScore(QStringLiteral("KC8TZ"), path, ScoreExport::Kind::Wav, dir.path(),
                                                notices);
        QCOMPARE(r.status, ScoreExport::Ok);
        QCOMPARE(r.performance.lastMessageNs(), qint64(664) * 1000000);

        SF_INFO info = {};
        SNDFILE *f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        QVERIFY(f);
        QCOMPARE(info.channels, 2);
        QCOMPARE(info.samplerate, 48000);
        QCOMPARE((info.format & SF_FORMAT_TYPEMASK), SF_FORMAT_WAV);
        QCOMPARE(qint64(info.frames), qint64(664 + 2000) * 48);
        QVector<float> samples(int(info.frames) * 2);
        QCOMPARE(qint64(sf_readf_float(f, samples.data(), info.frames)), qint64(info.frames));
        sf_close(f);

        auto rms = [&](int fromMs, int toMs) {
            double sum = 0;
            const int from = fromMs * 48 * 2;
            const int to = toMs * 48 * 2;
            for (int i = from; i < to; ++i)
                sum += double(samples[i]) * samples[i];
            return std::sqrt(sum / (to - from));
        };
        const double note = rms(50, 600);
        QVERIFY2(note > 0.01, qPrintable(QString::number(note)));
        QVERIFY(rms(2564, 2664) < note / 4);  // the tail dies away
    }
};

DZQ_REGISTER_TEST(ScoreExportTest)
#include "ScoreExportTest.moc"
