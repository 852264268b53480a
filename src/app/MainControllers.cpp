#include "app/MainControllers.h"

#include "core/AppContext.h"
#include "core/SharedState.h"
#include "core/WindowState.h"
#include "sound/MidiPort.h"

MainControllers::MainControllers(AppContext &context)
    : ctx(context), devices(context.port), navigation(context), statusClock(context.clock),
      chords(context), effects(context), pattern(context), sequencer(context, pattern),
      rhythmFiles(context, pattern), player(context, chords, effects), scoreFiles(context, player)
{
    linkScorePlayer();
    // Any change of the score box hides the rhythm file list.
    QObject::connect(&context.window, &WindowState::text3Changed, &rhythmFiles, &RhythmFiles::hideFile1);
}

void MainControllers::linkScorePlayer()
{
    ScoreLinks &l = player.links();
    l.applyBuiltInRhythm = [this](int n) { sequencer.applyBuiltInRhythm(n); };
    l.applyRhythmFileEntry = [this](int index) {
        QString text;
        if (!rhythmFiles.readJPEntry(index + 10, &text))
            return false;
        ctx.state.RhythmText = text;
        pattern.OpenJZwj();
        return true;
    };
    l.setBzQd = [this](bool on) { sequencer.setBzQd(on); };
    l.check5 = [this] { return sequencer.Check5(); };
    l.setRhythmTimerEnabled = [this](bool enabled) { sequencer.BZDS().setEnabled(enabled); };
    l.Bzfs = [this] { sequencer.Bzfs(); };
    l.RhythmClockTick = [this] { sequencer.RhythmClockTick(); };
    l.hideRhythmFileList = [this] { rhythmFiles.hideFile1(); };
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

    pattern.BZXS();
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
    pattern.SetRhythmVolume(5);
    rhythmFiles.openAtStartUp();

    s.ScoreText.clear();
    s.DurationCount = 0;
}
