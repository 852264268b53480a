#include "TestMain.h"

#include "AudioAnalysis.h"

#include "core/MidiMessage.h"
#include "core/SteadyTime.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QTest>

#include <fluidsynth.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr MidiMessage msg(int status, int d1, int d2 = 0)
{
    return {quint8(status), quint8(d1), quint8(d2)};
}

// Reads of the sound font as the engine makes them: how many, how many on
// the audio thread, and a disk that stalls on each read when asked to. A
// stall lasts until the audio thread has rendered two more blocks: a
// callback that waited for the reader would never render them, and the
// stall ends at a deadline counted in stuck.
struct FontReads {
    std::atomic<int> count{0};
    std::atomic<int> onAudioThread{0};
    std::atomic<const std::atomic<int> *> stallOn{nullptr};
    std::atomic<int> stalls{0};
    std::atomic<int> stuck{0};

    std::function<void()> hook()
    {
        return [this] {
            ++count;
            if (ThreadRoles::onAudioThread())
                ++onAudioThread;
            if (const std::atomic<int> *blocks = stallOn.load()) {
                ++stalls;
                const int until = blocks->load() + 2;
                const qint64 deadline = SteadyTime::nowNs() + 10'000'000'000;
                while (blocks->load() < until) {
                    if (SteadyTime::nowNs() > deadline) {
                        ++stuck;
                        break;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        };
    }
};

AudioEngine::Options manualOptions(FontReads &reads)
{
    AudioEngine::Options o;
    o.soundFont = AudioAnalysis::smallFont();
    o.output = AudioEngine::Output::Manual;
    o.beforeFontRead = reads.hook();
    return o;
}

int voicesOn(fluid_synth_t *synth, int channel)
{
    fluid_voice_t *list[256] = {};
    fluid_synth_get_voicelist(synth, list, 256, -1);
    int n = 0;
    for (fluid_voice_t *v : list) {
        if (!v)
            break;
        n += fluid_voice_get_channel(v) == channel ? 1 : 0;
    }
    return n;
}

// Renders 64-frame blocks on a thread of its own at about the pace of a
// device, counting them.
class AudioThread {
public:
    explicit AudioThread(AudioEngine &engine)
        : thread_([this, &engine] {
              float left[64], right[64];
              while (!stop_.load()) {
                  engine.renderManual(left, right, 64, SteadyTime::nowNs());
                  ++blocks_;
                  std::this_thread::sleep_for(std::chrono::microseconds(1333));
              }
          })
    { }
    ~AudioThread() { finish(); }
    void finish()
    {
        stop_.store(true);
        if (thread_.joinable())
            thread_.join();
    }
    int blocks() const { return blocks_.load(); }
    const std::atomic<int> &blockCount() const { return blocks_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> blocks_{0};
    std::thread thread_;
};

// Renders on the calling thread until the channel is silent.
void renderUntilSilent(AudioEngine &engine, int channel)
{
    float left[128], right[128];
    for (int i = 0; i < 2000 && voicesOn(engine.synth(), channel) > 0; ++i)
        engine.renderManual(left, right, 128, SteadyTime::nowNs());
}

}  // namespace

// The audio callback against everything else that enters the synthesizer:
// it never waits for it, never reads the sound font, and frees nothing.
class AudioCallbackTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (AudioAnalysis::smallFont().isEmpty())
            QSKIP("TimGM6mb.sf2 is not installed (package timgm6mb-soundfont)");
    }

    // While the owner thread chooses programs whose samples come from a
    // disk that stalls on every read, and drum notes fall due all the while,
    // the callback never waits for the loading: each read stalls until the
    // audio thread has rendered two more blocks, which a callback waiting on
    // the gate (or on anything the loader holds) would never do. No clock
    // bounds a block, so a loaded machine cannot fail the test.
    void callbackNeverWaitsWhileProgramsLoad()
    {
        FontReads reads;
        AudioEngine engine(manualOptions(reads));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        const int readsAtStart = reads.count.load();

        AudioThread audio(engine);
        reads.stallOn.store(&audio.blockCount());
        const qint64 now = SteadyTime::nowNs();
        constexpr int kDrums = 60;
        for (int k = 0; k < kDrums; ++k)  // a drum every 50 ms for 3 s
            engine.send(msg(0x99, 35 + k % 12, 100), now + qint64(k) * 50'000'000);
        const int programs[] = {19, 40, 56};
        for (int program : programs) {
            engine.send(msg(0xC0, program), -1);  // loads: stalled reads
            engine.send(msg(0x90, 60, 100), -1);
        }
        const qint64 lastDrum = now + qint64(kDrums) * 50'000'000;
        const qint64 deadline = lastDrum + 60'000'000'000;
        while (SteadyTime::nowNs() < deadline
               && (SteadyTime::nowNs() < lastDrum || audio.blocks() <= 500
                   || reads.count.load() <= readsAtStart + 2 * int(std::size(programs))))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        reads.stallOn.store(nullptr);
        audio.finish();

        QVERIFY2(reads.count.load() > readsAtStart + 2 * int(std::size(programs)),
                 "every program read its samples, first ahead and then for keeps");
        QCOMPARE(reads.onAudioThread.load(), 0);
        QVERIFY(audio.blocks() > 500);
        QVERIFY(reads.stalls.load() > 0);
        QCOMPARE(reads.stuck.load(), 0);
        // Drums fell due while a program was loading inside the gate: they
        // waited for a later block instead of the block waiting.
        QVERIFY(engine.gateMisses() > 0);
    }

    // Programs once chosen stay in memory: the audio thread's changes back
    // and forth read nothing and free nothing. At a pause, those no channel
    // has chosen lately (beyond the most recent kKeptUnused) go; never while
    // a voice still sounds.
    void programsStayInMemoryUntilAPause()
    {
        FontReads reads;
        AudioEngine engine(manualOptions(reads));
        engine.start();
        QVERIFY(engine.waitUntilReady());
        const int startPrograms = engine.programsInMemory();
        QCOMPARE(startPrograms, 2);  // what every channel starts with
        float left[128], right[128];
        const int chosen = ProgramCache::kKeptUnused + 3;
        for (int program = 1; program <= chosen; ++program) {
            engine.send(msg(0xC0, program), -1);
            engine.send(msg(0x90, 60, 100), -1);
            engine.renderManual(left, right, 128, SteadyTime::nowNs());
            engine.send(msg(0x80, 60), -1);
        }
        QCOMPARE(engine.programsInMemory(), startPrograms + chosen);

        const int before = reads.count.load();
        for (int program : {3, 7, chosen, 3}) {
            engine.send(msg(0xC0, program), -1);
            engine.renderManual(left, right, 128, SteadyTime::nowNs());
        }
        QCOMPARE(reads.count.load(), before);

        // A note sounds: nothing goes.
        engine.send(msg(0x90, 64, 100), -1);
        engine.renderManual(left, right, 128, SteadyTime::nowNs());
        engine.releaseUnusedPrograms();
        QCOMPARE(engine.programsInMemory(), startPrograms + chosen);

        engine.send(msg(0x80, 64), -1);
        // Some release tails of this font last long after they can be heard.
        engine.send(msg(0xB0, 120, 0), -1);
        renderUntilSilent(engine, 0);
        QCOMPARE(voicesOn(engine.synth(), 0), 0);
        engine.releaseUnusedPrograms();
        // In use: channel 0's program 3, the piano and the drum kit of the
        // other channels; the 16 most recent others stay.
        QCOMPARE(engine.programsInMemory(), 3 + ProgramCache::kKeptUnused);
        // The oldest ones went: choosing one reads it again, and it sounds.
        engine.send(msg(0xC0, 1), -1);
        QVERIFY(reads.count.load() > before);
        engine.send(msg(0x90, 60, 100), -1);
        engine.renderManual(left, right, 128, SteadyTime::nowNs());
        QVERIFY(voicesOn(engine.synth(), 0) > 0);
        QCOMPARE(reads.onAudioThread.load(), 0);
    }
};

DZQ_REGISTER_TEST(AudioCallbackTest)

#include "AudioCallbackTest.moc"
