// Cost of one rhythm step with all five cells sounding, through the MIDI port
// to a backend that only counts: nanoseconds per step.
#include "core/Clock.h"
#include "core/SharedState.h"
#include "core/MidiBackend.h"
#include "platform/dialogs/UserDialogs.h"
#include "midiport/MidiPort.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

class CountingBackend : public MidiBackend {
public:
    quint64 sent = 0;
    quint64 checksum = 0;
    int deviceCount() override { return 1; }
    int deviceCaps(int, QString *name) override
    {
        *name = QStringLiteral("null");
        return MidiError::Ok;
    }
    int open(int, MidiHandle *handle) override
    {
        *handle = 1;
        return MidiError::Ok;
    }
    int close(MidiHandle) override { return MidiError::Ok; }
    int shortMsg(MidiHandle, const MidiMessage &message, qint64 dueNs) override
    {
        ++sent;
        checksum += message.packed() ^ quint64(dueNs);
        return MidiError::Ok;
    }
    QString errorText(int) override { return QString(); }
};

class SilentDialogs : public Notifier {
public:
    void message(const QString &, const QString &) override {}
};

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CountingBackend backend;
    SilentDialogs dialogs;
    VirtualClock clock;
    MidiPort port(backend, dialogs, clock);
    port.OpenMidiDevice(0);

    SharedState state;
    for (int step = 0; step < 16; ++step) {
        for (int cell = 0; cell < 5; ++cell) {
            StepCell &c = state.Steps.cell(step, cell);
            c.Sounding = -1;
            c.Note = qint16(35 + cell);
            c.Velocity = 100;
            c.Message = quint32(100) << 16 | quint32(35 + cell) << 8 | 0x99;
        }
    }

    // As in a tick: the messages carry the tick's time.
    Clock::TickScope scope(clock, 1000);
    constexpr int kSteps = 2000000;
    constexpr int kRounds = 5;
    std::vector<double> perStep;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kSteps; ++i)
            port.PlayRhythmStep(state.Steps, qint16(i & 15));
        const auto end = std::chrono::steady_clock::now();
        perStep.push_back(std::chrono::duration<double, std::nano>(end - start).count() / kSteps);
    }
    std::sort(perStep.begin(), perStep.end());
    std::printf("PlayRhythmStep, 5 sounding cells: median %.1f ns/step, best %.1f ns/step "
                "(%llu messages, checksum %llu)\n",
                perStep[kRounds / 2], perStep.front(), static_cast<unsigned long long>(backend.sent),
                static_cast<unsigned long long>(backend.checksum));
    return 0;
}
