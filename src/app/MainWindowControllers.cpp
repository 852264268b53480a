#include "app/MainWindowControllers.h"

#include "app/PerformanceControllers.h"
#include "core/Session.h"
#include "editor/MainRhythmLink.h"
#include "sound/MidiPort.h"

MainWindowControllers::MainWindowControllers(Session &s, WindowDisplay &d, PerformanceControllers &p)
    : session(s), display(d), performance(p), devices(s.port), navigation(d), statusClock(s.clock),
      exporter(s, d, &p.pattern), songOpening(s, d, p.voices), recorderDisplay(d),
      recorder(WaveRecorder::FrontEnd::MainWindow, s.media, recorderDisplay, s.dialogs, s.clock, s.recordFolder),
      editor(s, editModel)
{
    linkMainRhythm(editor, performance.pattern, performance.sequencer);
    performance.scoreFiles.setOtherFiles({SongOpening::filterEntry(), &SongOpening::accepts,
                                          [this](const QString &path) { songOpening.open(path); }});
    connect(&recorder, &WaveRecorder::choiceMade, this, &MainWindowControllers::choiceMade);
    connect(&performance, &PerformanceControllers::choiceMade, this, &MainWindowControllers::choiceMade);
    connect(&navigation, &Navigation::choiceMade, this, &MainWindowControllers::choiceMade);
}

void MainWindowControllers::initialise()
{
    devices.refresh();
    performance.initialise();
    recorder.announceKeptTake();
}

void MainWindowControllers::shutDown()
{
    stopTimers();
    session.port.CloseMidiDevice();
    recorder.shutDown();
}

void MainWindowControllers::stopTimers()
{
    performance.stopTimers();
    editor.playback.YYDS().setEnabled(false);
    statusClock.Timer2().setEnabled(false);
}
