#include "controllers/PerformanceControllers.h"

#include "core/WindowDisplay.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "midiport/MidiPort.h"
#include "performance/TempoList.h"

PerformanceControllers::PerformanceControllers(Session &s, WindowDisplay &d)
    : session(s), display(d), voices(s), chords(s, d), keys(s, voices, chords), effects(s, d), pattern(s),
      sequencer(s, d, pattern), rhythmFiles(s, d, pattern), keyboard(s, d, voices, keys, *this),
      player(s, d, chords, effects, *this, *this), scoreFiles(s, d, player)
{
    connect(&voices, &MelodyVoices::eighthBeatMsChanged, &sequencer, &RhythmSequencer::setEighthBeatMs);
    connect(&voices, &MelodyVoices::keyBaseChanging, &chords, &ChordAccompaniment::keyBaseChanging);
    // Any change of the score box hides the rhythm file list.
    connect(&display, &WindowDisplay::text3Changed, &rhythmFiles, &RhythmFiles::hideFile1);
    connect(&voices, &MelodyVoices::choiceMade, this, &PerformanceControllers::choiceMade);
    connect(&chords, &ChordAccompaniment::choiceMade, this, &PerformanceControllers::choiceMade);
    connect(&sequencer, &RhythmSequencer::choiceMade, this, &PerformanceControllers::choiceMade);
    connect(&keyboard, &KeyboardEngine::choiceMade, this, &PerformanceControllers::choiceMade);
    connect(&scoreFiles, &ScoreFiles::choiceMade, this, &PerformanceControllers::choiceMade);
}

QString PerformanceControllers::startHint()
{
    return QStringLiteral("    当键盘演奏无声时请将输入法切换为英语(美国)输入方式，演奏当中可用空格键终止演奏！");
}

void PerformanceControllers::initialise()
{
    SharedState &s = session.state;

    // The device first: every selection below sends its messages at once.
    // With fewer than two entries the last one present is taken.
    QVector<MidiDeviceEntry> devices;
    session.port.ListMidiDevices(&devices);
    if (!devices.isEmpty())
        session.port.OpenMidiDevice(devices[qMin(1, int(devices.size()) - 1)].id);

    pattern.BZXS();
    display.setXSWB(startHint());
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
    voices.selectTempo(TempoList::kStartPosition);

    s.KeyBase = 36;
    s.EighthBeatMs = 83;
    for (int i = 0; i < 4; ++i)
        s.VoiceVelocity[size_t(i)] = 70;
    for (qint16 ch = 0; ch < 3; ++ch)
        session.port.ProgramChange(ch, 0, s.VoiceInstrument[size_t(ch)]);
    chords.sendPrograms();
    pattern.SetRhythmVolume(5);
    rhythmFiles.openAtStartUp();

    s.ScoreText.clear();
    s.DurationCount = 0;
}

void PerformanceControllers::restoreSound()
{
    for (int i = 0; i < MelodyVoices::kVoices; ++i) {
        if (voices.voiceSounds(i))
            voices.instrumentTextChanged(i, voices.instrumentPosition(i));
    }
    chords.sendPrograms();
    voices.selectKey(voices.keyPosition());
}

void PerformanceControllers::scoreHandedBack()
{
    player.setButtonEnabled(0, true);
}

void PerformanceControllers::stopTimers()
{
    keyboard.stopDurationTick();
    chords.HXYS().setEnabled(false);
    player.stopClock();
    sequencer.BZDS().setEnabled(false);
}
