#include "TestMain.h"

#include "AudioRoleRig.h"

#include "core/MidiMessage.h"
#include "core/SteadyTime.h"
#include "platform/audio/SynthLock.h"
#include "platform/audio/realtime/AudioProcessor.h"

#include <QTest>

#include <fluidsynth.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 128;

// A synthesizer without a font: it takes every message and renders
// silence, so what the processor does around it is all that is heard.
struct BareSynth {
    fluid_settings_t *settings = quietSettings();
    fluid_synth_t *synth = new_fluid_synth(settings);
    // No effects: FluidSynth's reverb keeps a tiny offset against denormals.
    static fluid_settings_t *quietSettings()
    {
        fluid_settings_t *s = new_fluid_settings();
        fluid_settings_setint(s, "synth.reverb.active", 0);
        fluid_settings_setint(s, "synth.chorus.active", 0);
        return s;
    }
    ~BareSynth()
    {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }
};

// A processor at unit gain playing a bare synthesizer, and its periods.
struct Rig {
    AudioProcessor processor{4800, 24000, 1.0f, 1.0f};
    BareSynth bare;
    qint64 nowNs = SteadyTime::nowNs();
    std::vector<float> left = std::vector<float>(kPeriod), right = std::vector<float>(kPeriod);

    Rig()
    {
        processor.prepare(kRate, kPeriod);
        processor.replaceSynth(bare.synth);
        processor.setFontLoaded(true);
    }
    void periods(int count)
    {
        for (int i = 0; i < count; ++i) {
            asAudioThread([&] { processor.render(left.data(), right.data(), kPeriod, nowNs); });
            nowNs += qint64(kPeriod) * 1'000'000'000 / kRate;
        }
    }
    bool holds(int channel, int key)
    {
        bool found = false;
        processor.held().forEach([&](int c, int k, int, bool) { found = found || (c == channel && k == key); });
        return found;
    }
};

}  // namespace

// The processor driven alone, as a driver's callback drives it.
class AudioProcessorTest : public QObject {
    Q_OBJECT
private slots:
    // A message due while another thread is inside the synthesizer waits:
    // the period goes on without it (a miss counted) and the next one after
    // the gate opens applies it.
    void dueMessageWaitsForTheGateNotThePeriod()
    {
        Rig rig;
        rig.periods(1);
        QVERIFY(rig.processor.scheduler().pushTimed(MidiMessage{0x90, 60, 100}, rig.nowNs));
        {
            SynthLock inside(rig.processor.gate());
            rig.periods(2);
            QVERIFY(!rig.holds(0, 60));
            QVERIFY(rig.processor.gateMisses() > 0);
        }
        rig.periods(1);
        QVERIFY(rig.holds(0, 60));
        QCOMPARE(rig.processor.scheduler().waitingOnChannel(0), quint64(0));
    }

    // After a second of silence whole periods are skipped and counted idle;
    // a message played directly wakes the next period.
    void silencePeriodsAreSkippedUntilAMessage()
    {
        Rig rig;
        rig.periods(kRate / kPeriod + 2);
        QVERIFY(rig.processor.idlePeriods() > 0);
        QVERIFY(rig.processor.idleFrames() > 0);
        const quint64 idle = rig.processor.idlePeriods();
        rig.processor.noteLiveMessage();
        rig.periods(1);
        QCOMPARE(rig.processor.idlePeriods(), idle);
        QCOMPARE(rig.processor.idleFrames(), qint64(0));
    }

    // Interleaved output longer than the processor's chunk: every frame of
    // the playback input arrives in order, left and right in their places.
    void interleavedOutputKeepsOrderAcrossChunks()
    {
        Rig rig;
        const int frames = AudioProcessor::kMaxFrames * 2 + 100;
        std::vector<float> in;
        for (int i = 1; i <= frames; ++i) {
            in.push_back(float(i));
            in.push_back(-float(i));
        }
        QCOMPARE(rig.processor.playback().push(in.data(), frames), frames);
        std::vector<float> out(std::size_t(frames) * 2, 99.0f);
        asAudioThread([&] { rig.processor.renderInterleaved(out.data(), frames, rig.nowNs); });
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (std::fabs(out[i] - in[i]) > 1e-4f)
                QFAIL(qPrintable(QStringLiteral("sample %1: %2, not %3").arg(i).arg(out[i]).arg(in[i])));
        }
        QCOMPARE(rig.processor.renderedFrames(), qint64(frames));
    }

    // A replaced synthesizer may be deleted only once no period can render
    // it: not while it was the one heard last, nor during its fade.
    void replacedSynthOutlivesItsFade()
    {
        Rig rig;
        rig.periods(1);
        BareSynth next;
        fluid_synth_t *old = nullptr;
        {
            SynthLock inside(rig.processor.gate());
            old = rig.processor.replaceSynth(next.synth);
        }
        const quint64 at = rig.processor.periods();
        rig.processor.noteLiveMessage();
        QVERIFY(!rig.processor.mayDelete(old, at));  // heard in the last period
        rig.periods(1);
        QVERIFY(!rig.processor.mayDelete(old, at));  // fading
        rig.periods(4);
        QVERIFY(rig.processor.mayDelete(old, at));
        QVERIFY(!rig.processor.mayDelete(next.synth, rig.processor.periods()));
    }
};

DZQ_REGISTER_TEST(AudioProcessorTest)

#include "AudioProcessorTest.moc"
