#include "app/MainControllers.h"

#include "core/AppContext.h"
#include "core/SharedState.h"
#include "core/WindowState.h"
#include "sound/MidiPort.h"

MainControllers::MainControllers(AppContext &context)
    : ctx(context), devices(context.port), navigation(context), statusClock(context.clock),
      chords(context), effects(context)
{
}

QString MainControllers::startHint()
{
    return QStringLiteral("    当键盘演奏无声时请将输入法切换为英语(美国)输入方式，演奏当中可用空格键终止演奏！");
}

void MainControllers::initialise()
{
    SharedState &s = ctx.state;

    // The device first: every selection below sends its messages at once.
    // With fewer than two entries the last one present is taken.
    devices.refresh();
    const int entries = devices.entries().size();
    if (entries > 0)
        devices.select(qMin(1, entries - 1));

    ctx.window.setXSWB(startHint());

    chords.selectVolume(ChordAccompaniment::kInitialVolume);
    s.VoiceInstrument[0] = 14;
    s.VoiceInstrument[1] = 51;
    s.VoiceInstrument[2] = 78;
    for (int list = 0; list < 3; ++list)
        chords.selectInstrument(list, ChordAccompaniment::kInitialInstrument);

    s.KeyBase = 36;
    s.EighthBeatMs = 83;
    for (int i = 0; i < 4; ++i)
        s.VoiceVelocity[size_t(i)] = 70;
    for (qint16 ch = 0; ch < 3; ++ch)
        ctx.port.ProgramChange(ch, 0, s.VoiceInstrument[size_t(ch)]);
    chords.sendPrograms();

    s.ScoreText.clear();
    s.DurationCount = 0;
}
