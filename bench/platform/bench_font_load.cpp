// Sound font loading time: the bare FluidSynth load of each font, and the
// engine from start() until ready (worker thread, font, audio output).

#include "platform/audio/AudioEngine.h"
#include "platform/audio/drivers/SoundLog.h"
#include "platform/audio/SynthSetup.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <chrono>
#include <cstdio>

namespace {

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SoundLog::install();
    const QStringList fonts = {QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
                               QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")};
    for (const QString &font : fonts) {
        if (!QFileInfo(font).isFile()) {
            std::printf("%s: not installed\n", qPrintable(font));
            continue;
        }
        std::printf("%s (%.1f MB)\n", qPrintable(font), QFileInfo(font).size() / 1e6);
        for (int run = 0; run < 3; ++run) {
            fluid_settings_t *settings = SynthSetup::newSettings(SynthSetup::kSampleRate);
            fluid_synth_t *synth = new_fluid_synth(settings);
            const auto t0 = std::chrono::steady_clock::now();
            const int id = fluid_synth_sfload(synth, QFile::encodeName(font).constData(), 1);
            const double ms = msSince(t0);
            std::printf("  sfload run %d: %.1f ms%s%s\n", run + 1, ms, id == FLUID_FAILED ? " FAILED" : "",
                        run == 0 ? " (first: the file may come from disk)" : "");
            delete_fluid_synth(synth);
            delete_fluid_settings(settings);
        }
        AudioEngine::Options options;
        options.soundFont = font;
        AudioEngine engine(options);
        const auto t0 = std::chrono::steady_clock::now();
        engine.start();
        const double startMs = msSince(t0);
        engine.waitUntilReady();
        std::printf("  engine: start() returned after %.2f ms, ready after %.1f ms (output: %s)\n", startMs,
                    msSince(t0), engine.deviceName().isEmpty() ? "render thread, no sound card"
                                                               : qPrintable(engine.deviceName()));
    }
    return 0;
}
