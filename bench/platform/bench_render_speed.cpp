// Offline rendering speed of the synthesizer on busy pieces, a minute of
// music at 120 beats per minute each:
//  - "start-up voices": three melody voices in eighths on the start-up
//    instruments (tubular bells, synth strings, whistle), a three-note guitar
//    chord on every beat, drums in eighths;
//  - "piano and guitar": one piano voice in eighths, the same chords and drums.
// The cost of FluidSynth grows with the voices sounding, so their average is
// printed too; the CPU-time figure is what one free core would give.
//
//   bench_render_speed [sound font]

#include "core/MidiMessage.h"
#include "platform/media/OfflineRenderer.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QVector>

#include <fluidsynth.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

constexpr MidiMessage msg(int status, int d1, int d2 = 0)
{
    return {quint8(status), quint8(d1), quint8(d2)};
}

void bench(const QString &font, const char *title, const int (&programs)[6], int melodyVoices)
{
    OfflineRenderer::Options options;
    options.soundFont = font;
    OfflineRenderer r(options);
    if (!r.isValid()) {
        std::printf("%s: %s\n", qPrintable(font), qPrintable(r.errorString()));
        return;
    }
    const int rate = r.sampleRate();
    const double seconds = 60.0;
    const qint64 eighth = rate / 4;  // 120 beats per minute
    for (int c = 0; c < 6; ++c)
        r.schedule(0, msg(0xC0 + c, programs[c]));
    const int melody[8] = {60, 62, 64, 65, 67, 69, 71, 72};
    const int chords[4][3] = {{48, 52, 55}, {53, 57, 60}, {55, 59, 62}, {48, 52, 55}};
    int events = 0;
    for (qint64 step = 0; step * eighth < qint64(seconds * rate); ++step) {
        const qint64 at = step * eighth;
        const int note = melody[step % 8] + (step / 8 % 2) * 12;
        for (int c = 0; c < melodyVoices; ++c) {
            r.schedule(at, msg(0x90 + c, note, 100));
            r.schedule(at + eighth - 1, msg(0x80 + c, note));
            events += 2;
        }
        if (step % 2 == 0) {
            const int *chord = chords[step / 8 % 4];
            for (int c = 3; c < 6; ++c) {
                r.schedule(at, msg(0x90 + c, chord[c - 3], 90));
                r.schedule(at + 2 * eighth - 1, msg(0x80 + c, chord[c - 3]));
                events += 2;
            }
        }
        r.schedule(at, msg(0x99, step % 4 == 0 ? 36 : step % 4 == 2 ? 38 : 42, 100));
        ++events;
    }
    const qint64 frames = qint64(seconds * rate);
    QVector<float> left(4096), right(4096);
    double voices = 0;
    int blocks = 0;
    const std::clock_t cpu0 = std::clock();
    const auto t0 = std::chrono::steady_clock::now();
    for (qint64 done = 0; done < frames; done += 4096) {
        r.render(left.data(), right.data(), int(qMin<qint64>(4096, frames - done)));
        voices += fluid_synth_get_active_voice_count(r.synth());
        ++blocks;
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    std::printf("%s, %s: %.0f s of music (%d messages, %.0f voices sounding on average)\n"
                "  rendered in %.2f s = %.0f x real time (CPU time %.2f s = %.0f x); target >= 100 x\n",
                qPrintable(QFileInfo(font).fileName()), title, seconds, events, voices / blocks, elapsed,
                seconds / elapsed, cpu, seconds / cpu);
}

}  // namespace

int main(int argc, char **argv)
{
    const QStringList fonts = argc > 1 ? QStringList{QString::fromLocal8Bit(argv[1])}
                                       : QStringList{QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
                                                     QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")};
    const int startUp[6] = {14, 51, 78, 24, 24, 24};
    const int piano[6] = {0, 0, 0, 24, 24, 24};
    for (const QString &font : fonts) {
        bench(font, "start-up voices", startUp, 3);
        bench(font, "piano and guitar", piano, 1);
    }
    return 0;
}
