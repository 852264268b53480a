#include "TestMain.h"

#include "AudioRoleRig.h"

#include "platform/audio/realtime/OutputGain.h"
#include "platform/audio/realtime/OutputTap.h"
#include "platform/audio/realtime/PlaybackInput.h"

#include <QTest>

#include <vector>

namespace {

// Interleaved frames whose left sample is its index and right its negative.
std::vector<float> numbered(int from, int count)
{
    std::vector<float> v;
    for (int i = from; i < from + count; ++i) {
        v.push_back(float(i));
        v.push_back(-float(i));
    }
    return v;
}

}  // namespace

// What the audio callback does to its output besides the synthesizer:
// playback input mixed in, the volume, the tap.
class OutputMixTest : public QObject {
    Q_OBJECT
private slots:
    // Frames of a stopped playback are dropped unheard, and counted as
    // taken, so a waiting feeder's bookkeeping balances; a new playback after
    // the discard is heard from its first frame, even one pushed before the
    // callback came round to the old frames.
    void discardedPlaybackIsDroppedNotMixed()
    {
        PlaybackInput input(1000);
        const std::vector<float> first = numbered(1, 300);
        QCOMPARE(input.push(first.data(), 300), 300);
        input.discard();
        const std::vector<float> second = numbered(1000, 10);
        QCOMPARE(input.push(second.data(), 10), 10);

        float left[16] = {}, right[16] = {};
        asAudioThread([&] { input.mixInto(left, right, 16); });
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(left[i], float(1000 + i));
            QCOMPARE(right[i], -float(1000 + i));
        }
        QCOMPARE(left[10], 0.0f);  // nothing more waited
        QCOMPARE(input.pushed(), quint64(310));
        QCOMPARE(input.taken(), quint64(310));
    }

    // A full ring takes what fits; mixing adds to what is in the buffers and
    // frees room in whole, ordered frames across the ring's wrap.
    void playbackAddsInOrderAcrossTheWrap()
    {
        PlaybackInput input(100);
        const std::vector<float> frames = numbered(0, 260);
        QCOMPARE(input.push(frames.data(), 260), 100);
        QCOMPARE(input.room(), 0);
        std::vector<float> left(70, 0.5f), right(70, 0.5f);
        asAudioThread([&] { input.mixInto(left.data(), right.data(), 70); });
        QCOMPARE(left[69], 69.5f);
        QCOMPARE(input.push(frames.data() + 2 * 100, 70), 70);  // frames 100 ..169
        std::vector<float> l2(100, 0.0f), r2(100, 0.0f);
        asAudioThread([&] { input.mixInto(l2.data(), r2.data(), 100); });
        QCOMPARE(l2[29], 99.0f);
        QCOMPARE(l2[30], 100.0f);
        QCOMPARE(r2[99], -169.0f);
        QCOMPARE(input.taken(), quint64(170));
    }

    // Disabled: nothing offered, nothing counted. Enabled: exactly the
    // output, interleaved; what does not fit is counted as lost, never
    // written over what waits.
    void tapCarriesTheOutputAndCountsLoss()
    {
        OutputTap tap(300);
        std::vector<float> left(512), right(512);
        for (int i = 0; i < 512; ++i) {
            left[std::size_t(i)] = float(i);
            right[std::size_t(i)] = float(-i);
        }
        asAudioThread([&] { tap.offer(left.data(), right.data(), 512); });
        QCOMPARE(tap.available(), 0);
        QCOMPARE(tap.lostFrames(), quint64(0));

        tap.setEnabled(true);
        asAudioThread([&] { tap.offer(left.data(), right.data(), 512); });
        QCOMPARE(tap.available(), 300);
        QCOMPARE(tap.pushedFrames(), quint64(300));
        QCOMPARE(tap.lostFrames(), quint64(212));
        std::vector<float> out(2 * 400);
        QCOMPARE(tap.read(out.data(), 400), 300);
        QCOMPARE(out[0], 0.0f);
        QCOMPARE(out[2 * 255], 255.0f);
        QCOMPARE(out[2 * 299 + 1], -299.0f);
        asAudioThread([&] { tap.offer(left.data(), right.data(), 10); });
        tap.discard();
        QCOMPARE(tap.available(), 0);
    }

    void gainScalesEachSide()
    {
        OutputGain gain(1.0f, 1.0f);
        gain.set(0.0f, 2.0f);
        float left[3] = {1, 2, 3}, right[3] = {1, 2, 3};
        asAudioThread([&] { gain.apply(left, right, 3); });
        QCOMPARE(left[2], 0.0f);
        QCOMPARE(right[2], 6.0f);
    }
};

DZQ_REGISTER_TEST(OutputMixTest)

#include "OutputMixTest.moc"
