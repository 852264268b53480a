#include "ScheduleTest.h"

#include "AudioRoleRig.h"

#include "core/MidiMessage.h"
#include "platform/audio/realtime/MessageScheduler.h"
#include "platform/audio/realtime/SampleClock.h"
#include "platform/audio/realtime/SpscRing.h"
#include "platform/audio/SynthSetup.h"

#include <QMap>
#include <QTest>

#include <random>
#include <thread>
#include <vector>

// ---------------------------------------------------------------- SpscRing

void SpscRingTest::wrapsAroundInOrder()
{
    SpscRing<int> ring(5);
    int out[8] = {};
    const int a[] = {1, 2, 3};
    QCOMPARE(ring.push(a, 3), std::size_t(3));
    QCOMPARE(ring.pop(out, 2), std::size_t(2));
    QCOMPARE(out[0], 1);
    QCOMPARE(out[1], 2);
    // These four wrap past the end of the storage.
    const int b[] = {4, 5, 6, 7};
    QCOMPARE(ring.push(b, 4), std::size_t(4));
    QCOMPARE(ring.size(), std::size_t(5));
    QCOMPARE(ring.pop(out, 8), std::size_t(5));
    QCOMPARE(std::vector<int>(out, out + 5), (std::vector<int>{3, 4, 5, 6, 7}));
    // Many laps keep the order.
    int next = 0, expect = 0;
    for (int lap = 0; lap < 1000; ++lap) {
        int chunk[3] = {next, next + 1, next + 2};
        next += int(ring.push(chunk, 3));
        int got[2];
        const std::size_t n = ring.pop(got, 2);
        for (std::size_t i = 0; i < n; ++i)
            QCOMPARE(got[i], expect++);
    }
}

void SpscRingTest::fullAndEmpty()
{
    SpscRing<int> ring(4);
    int value = -1;
    QVERIFY(ring.empty());
    QVERIFY(!ring.pop(value));
    QCOMPARE(value, -1);
    const int a[] = {1, 2, 3, 4, 5, 6};
    QCOMPARE(ring.push(a, 6), std::size_t(4));  // only what fits
    QVERIFY(!ring.push(9));
    QVERIFY(ring.pop(value));
    QCOMPARE(value, 1);
    QVERIFY(ring.push(9));
    ring.clear();
    QVERIFY(ring.empty());
    QVERIFY(ring.push(10));
    QVERIFY(ring.pop(value));
    QCOMPARE(value, 10);
}

void SpscRingTest::concurrentProducerAndConsumer()
{
    SpscRing<quint64> ring(61);  // small and odd: many wraps, often full
    constexpr quint64 kCount = 2'000'000;
    std::thread producer([&] {
        quint64 next = 0;
        quint64 chunk[7];
        while (next < kCount) {
            const std::size_t n = std::size_t(qMin<quint64>(7, kCount - next));
            for (std::size_t i = 0; i < n; ++i)
                chunk[i] = next + i;
            const std::size_t pushed = ring.push(chunk, n);
            next += pushed;
            if (pushed == 0)
                std::this_thread::yield();
        }
    });
    quint64 expect = 0;
    bool inOrder = true;
    quint64 buffer[13];
    while (expect < kCount) {
        const std::size_t n = ring.pop(buffer, 13);
        for (std::size_t i = 0; i < n; ++i)
            inOrder = inOrder && buffer[i] == expect++;
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    QVERIFY(inOrder);
    QVERIFY(ring.empty());
}

// ------------------------------------------------------------- SampleClock

namespace {
constexpr int kRate = 48000;
constexpr int kPeriod = 128;
constexpr qint64 kStart = 5'000'000'000;

qint64 periodStart(qint64 k)
{
    return kStart + k * kPeriod * 1'000'000'000 / kRate;
}
}  // namespace

void SampleClockTest::exactReportsMapExactly()
{
    SampleClock clock(kRate, kPeriod);
    QVERIFY(!clock.isValid());
    for (qint64 k = 0; k < 2000; ++k)
        asAudioThread([&] { clock.update(periodStart(k), k * kPeriod); });
    const qint64 now = periodStart(2000);
    asAudioThread([&] { clock.update(now, 2000 * kPeriod); });
    QVERIFY(qAbs(clock.frameAt(now) - 2000 * kPeriod) < 0.01);
    // 25 ms later is 1200 frames later.
    QVERIFY(qAbs(clock.frameAt(now + 25'000'000) - (2000 * kPeriod + 1200)) < 0.01);
}

void SampleClockTest::jitterIsSmoothedAndDriftFollowed()
{
    // A device 200 ppm fast whose callbacks wake up to 1.5 ms late.
    SampleClock clock(kRate, kPeriod);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> jitter(0, 1'500'000);
    const double nsPerFrame = 1e9 / (kRate * 1.0002);
    double worst = 0;
    for (qint64 k = 0; k < 60 * kRate / kPeriod; ++k) {
        const qint64 frame = k * kPeriod;
        const qint64 ideal = kStart + qint64(frame * nsPerFrame);
        asAudioThread([&] { clock.update(ideal + jitter(random), frame); });
        if (k > 10 * kRate / kPeriod) {
            // The frame that truly plays at this period's ideal time.
            const double error = (clock.frameAt(ideal) - frame) / kRate * 1e3;
            worst = qMax(worst, qAbs(error + 0.75));
        }
    }
    // Half the mean lateness (0.75 ms) is a constant offset; what remains of
    // 1.5 ms of jitter and 12 ms of drift must be small.
    QVERIFY2(worst < 0.3, qPrintable(QString::number(worst)));
}

void SampleClockTest::stallRestartsTheEstimate()
{
    SampleClock clock(kRate, kPeriod);
    for (qint64 k = 0; k < 100; ++k)
        asAudioThread([&] { clock.update(periodStart(k), k * kPeriod); });
    // The device stopped for a second and resumed where it was.
    const qint64 resumed = periodStart(100) + 1'000'000'000;
    asAudioThread([&] { clock.update(resumed, 100 * kPeriod); });
    QVERIFY(qAbs(clock.frameAt(resumed) - 100 * kPeriod) < 0.01);
    asAudioThread([&] { clock.update(resumed + kPeriod * 1'000'000'000LL / kRate, 101 * kPeriod); });
    QVERIFY(qAbs(clock.frameAt(resumed + 10'000'000) - (100 * kPeriod + 480)) < 0.5);
}

// -------------------------------------------------------- MessageScheduler

namespace {

// Renders "blocks" without a synthesizer: the clock says frame f plays at
// kStart + f / rate, and every applied message is noted with its boundary.
struct SchedulerRig {
    MessageScheduler scheduler{64};
    SampleClock clock{kRate, kPeriod};
    qint64 frames = 0;
    QVector<QPair<qint64, quint32>> applied;

    qint64 nsOfFrame(double frame) const { return kStart + qint64(frame * 1e9 / kRate + 0.5); }

    // One period, 64-frame blocks, as the engine renders.
    void period()
    {
        ThreadRoles::AudioScope audio;
        clock.update(nsOfFrame(double(frames)), frames);
        scheduler.collect(clock);
        for (qint64 at = frames; at < frames + kPeriod; at += SynthSetup::kBlockFrames) {
            scheduler.applyDue(at, [&](const MidiMessage &m) { applied.append({at, m.packed()}); });
        }
        frames += kPeriod;
    }
    void runUntil(qint64 frame)
    {
        while (frames < frame)
            period();
    }
    // Sends through the scheduler as the engine does; live messages that may
    // go directly are noted at the current frame.
    void live(const MidiMessage &m)
    {
        if (scheduler.routeLive(m))
            applied.append({-1, m.packed()});
    }
};

constexpr MidiMessage noteOn(int channel, int note) { return MidiMessage::make(Midi::NoteOn, channel, note, 100); }
constexpr MidiMessage noteOff(int channel, int note) { return MidiMessage::make(Midi::NoteOff, channel, note); }
// An applied message as the rig notes it: the boundary (-1: played at once)
// and the message packed.
QPair<qint64, quint32> at(qint64 boundary, const MidiMessage &m) { return {boundary, m.packed()}; }

}  // namespace

void MessageSchedulerTest::timedMessagesLandOnNearestBoundary()
{
    SchedulerRig rig;
    rig.period();
    // Aimed at frames 1031 (-> 1024), 1057 (-> 1088) and 1055.9 (-> 1024):
    // each goes to the boundary nearest its frame, not the one after it.
    rig.scheduler.pushTimed(noteOn(9, 75), rig.nsOfFrame(1031.0));
    rig.scheduler.pushTimed(noteOn(9, 76), rig.nsOfFrame(1057.0));
    rig.scheduler.pushTimed(noteOn(9, 77), rig.nsOfFrame(1055.9));  // just below the middle
    rig.runUntil(4000);
    QCOMPARE(rig.applied.size(), 3);
    QCOMPARE(rig.applied[0], at(1024, noteOn(9, 75)));
    QCOMPARE(rig.applied[1], at(1024, noteOn(9, 77)));
    QCOMPARE(rig.applied[2], at(1088, noteOn(9, 76)));
}

void MessageSchedulerTest::lateMessagesPlayAtOnceInOrder()
{
    SchedulerRig rig;
    rig.runUntil(1280);
    // Both were due long ago; they play at the next block, in the order sent.
    rig.scheduler.pushTimed(noteOn(0, 60), rig.nsOfFrame(500));
    rig.scheduler.pushTimed(noteOff(0, 60), rig.nsOfFrame(100));
    rig.period();
    QCOMPARE(rig.applied.size(), 2);
    QCOMPARE(rig.applied[0], at(1280, noteOn(0, 60)));
    QCOMPARE(rig.applied[1], at(1280, noteOff(0, 60)));
    QCOMPARE(rig.scheduler.waitingOnChannel(0), quint64(0));
}

void MessageSchedulerTest::liveMessageWaitsOnlyForItsOwnChannel()
{
    SchedulerRig rig;
    rig.period();
    // A timed note on channel 0 and a drum, both due at frame 2048.
    rig.scheduler.pushTimed(noteOn(0, 60), rig.nsOfFrame(2048));
    rig.scheduler.pushTimed(noteOn(9, 75), rig.nsOfFrame(2048));
    rig.period();  // taken into the waiting list, nothing due yet
    QVERIFY(rig.applied.isEmpty());

    // A key on channel 1 plays at once; the key-up on channel 0 must wait for
    // its note-on.
    rig.live(noteOn(1, 64));
    rig.live(noteOff(0, 60));
    QCOMPARE(rig.applied.size(), 1);
    QCOMPARE(rig.applied[0], at(-1, noteOn(1, 64)));
    QCOMPARE(rig.scheduler.waitingOnChannel(0), quint64(2));

    rig.period();
    // At the next block: channel 0's note-on, then the note-off; the drum
    // still waits for its own time.
    QCOMPARE(rig.applied.size(), 3);
    QCOMPARE(rig.applied[1], at(256, noteOn(0, 60)));
    QCOMPARE(rig.applied[2], at(256, noteOff(0, 60)));
    rig.runUntil(4096);
    QCOMPARE(rig.applied.size(), 4);
    QCOMPARE(rig.applied[3], at(2048, noteOn(9, 75)));
    // Nothing waits any more: the next key goes straight to the synthesizer.
    QCOMPARE(rig.scheduler.waitingOnChannel(0), quint64(0));
    rig.live(noteOn(0, 62));
    QCOMPARE(rig.applied.last(), at(-1, noteOn(0, 62)));
}

void MessageSchedulerTest::flushKeepsLaterMessagesOfItsChannel()
{
    SchedulerRig rig;
    rig.period();
    rig.scheduler.pushTimed(noteOn(0, 60), rig.nsOfFrame(2048));
    rig.live(noteOff(0, 60));                                       // queued behind it
    rig.scheduler.pushTimed(noteOn(0, 62), rig.nsOfFrame(3072));   // sent after the key
    rig.live(noteOn(0, 64));                                        // queued again
    rig.period();
    QCOMPARE(rig.applied.size(), 4);
    // The second flush pulls the later timed note along: it was sent first.
    QCOMPARE(rig.applied[0].second, noteOn(0, 60).packed());
    QCOMPARE(rig.applied[1].second, noteOff(0, 60).packed());
    QCOMPARE(rig.applied[2].second, noteOn(0, 62).packed());
    QCOMPARE(rig.applied[3].second, noteOn(0, 64).packed());
    QCOMPARE(rig.applied[0].first, qint64(128));

    // Without a second flush, a timed message sent after the key keeps its time.
    rig.applied.clear();
    rig.scheduler.pushTimed(noteOn(2, 60), rig.nsOfFrame(2048));
    rig.live(noteOff(2, 60));
    rig.scheduler.pushTimed(noteOn(2, 67), rig.nsOfFrame(3072));
    rig.runUntil(4096);
    QCOMPARE(rig.applied.size(), 3);
    QCOMPARE(rig.applied[2], at(3072, noteOn(2, 67)));
}

void MessageSchedulerTest::fullQueueNeverLosesMessages()
{
    MessageScheduler scheduler(16);
    int accepted = 0;
    while (scheduler.pushTimed(noteOn(0, 60), kStart))
        ++accepted;
    QCOMPARE(accepted, 16);
    // The caller plays a live message itself rather than lose it.
    QVERIFY(scheduler.routeLive(noteOff(0, 60)));
    QCOMPARE(scheduler.waitingOnChannel(0), quint64(16));
}

// Property over random traffic on a few channels: with timed messages sent in
// non-decreasing times and live ones in between, every message is applied
// once, and the messages of each channel in the order they were sent.
void MessageSchedulerTest::eachChannelKeepsItsOrder()
{
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        SchedulerRig rig;
        rig.period();
        QMap<int, QVector<quint32>> sent;
        qint64 aim = rig.frames;
        int serial = 0;
        for (int step = 0; step < 200; ++step) {
            const int channel = int(random() % 3);
            // A distinct message each time: the serial number in the data bytes.
            const MidiMessage m{quint8(0x90 + channel), quint8(serial % 128), quint8(1 + serial / 128)};
            ++serial;
            sent[channel] << m.packed();
            if (random() % 3 == 0) {
                rig.live(m);
            } else {
                aim += qint64(random() % 300);
                rig.scheduler.pushTimed(m, rig.nsOfFrame(double(aim)));
            }
            if (random() % 4 == 0)
                rig.period();
        }
        rig.runUntil(aim + 4 * kPeriod);
        QMap<int, QVector<quint32>> applied;
        for (const auto &a : rig.applied)
            applied[int(a.second & 0x0F)] << a.second;
        QCOMPARE(applied, sent);
    }
}
