#include "app/MainControllers.h"

#include "core/AppContext.h"
#include "core/SharedState.h"
#include "core/WindowState.h"
#include "sound/MidiPort.h"

MainControllers::MainControllers(AppContext &context)
    : ctx(context), devices(context.port), navigation(context), statusClock(context.clock),
      voices(context), keys(context, voices), keyboard(context, voices, keys), chords(context), effects(context), pattern(context), sequencer(context, pattern),
      rhythmFiles(context, pattern), player(context, chords, effects), scoreFiles(context, player),
      exporter(context)
{
    linkKeyboard();
    linkScorePlayer();
    QObject::connect(&voices, &MelodyVoices::eighthBeatMsChanged, &sequencer, &RhythmSequencer::setEighthBeatMs);
    QObject::connect(&voices, &MelodyVoices::keyBaseChanging, &chords, &ChordAccompaniment::keyBaseChanging);
    // Any change of the score box hides the rhythm file list.
    QObject::connect(&context.window, &WindowState::text3Changed, &rhythmFiles, &RhythmFiles::hideFile1);
}

void MainControllers::linkKeyboard()
{
    keyboard.HXQD = [this] { chords.HXQD(); };
    keyboard.TSYX = [this] { effects.TSYX(); };
    keyboard.ZDJP = [this] { sequencer.ZDJP(); };
    keyboard.clearBzQd = [this] { sequencer.setBzQd(false); };
    keyboard.clearScorePlaying = [this] { player.clearScorePlaying(); };
    keyboard.resetPlayCaption = [this] { player.showIdleCaption(); };
}

void MainControllers::linkScorePlayer()
{
    ScoreLinks &l = player.links();
    l.selectTempo = [this](int position) { voices.selectTempo(position); };
    l.applyCombination = [this](int row) { voices.applyCombination(row); };
    l.showKeyUp = [this](int offset) { keys.showUp(qint16(offset)); };
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
    keys.initialiseKeys();

    voices.selectInstrument(0, 15);
    voices.selectInstrument(1, 52);
    voices.selectInstrument(2, 79);
    chords.selectVolume(ChordAccompaniment::kInitialVolume);
    s.VoiceInstrument[0] = 14;
    s.VoiceInstrument[1] = 51;
    s.VoiceInstrument[2] = 78;
    for (int list = 0; list < 3; ++list)
        chords.selectInstrument(list, ChordAccompaniment::kInitialInstrument);
    for (int voice = 0; voice < 3; ++voice)
        voices.selectVolume(voice, 3);
    voices.selectKey(0);
    voices.selectTempo(6);

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

void MainControllers::stopTimers()
{
    keyboard.timer1().setEnabled(false);
    chords.HXYS().setEnabled(false);
    player.stopClock();
    sequencer.BZDS().setEnabled(false);
    statusClock.Timer2().setEnabled(false);
}
