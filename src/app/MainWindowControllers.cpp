#include "app/MainWindowControllers.h"

#include "controllers/PerformanceControllers.h"
#include "core/Session.h"
#include "editor/MainRhythmLink.h"
#include "platform/dialogs/UserDialogs.h"
#include "midiport/MidiPort.h"

#include <QTimer>

#include <cstdio>

MainWindowControllers::MainWindowControllers(Session &s, WindowDisplay &d, PerformanceControllers &p)
    : session(s), display(d), performance(p), devices(s.port), navigation(d), statusClock(s.clock),
      exporter(s, d, &p.pattern), songOpening(s, d, p.voices), recorderDisplay(d),
      recorder(WaveRecorder::FrontEnd::MainWindow, s.media, recorderDisplay, s.dialogs, s.clock, s.recordFolder),
      editor(s, editModel)
{
    linkMainRhythm(editor, performance.pattern, performance.sequencer, performance.player, d);
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
    // Once the first activation is over: its box must not run inside it.
    QTimer::singleShot(0, &recorder, &WaveRecorder::announceKeptTake);
}

void MainWindowControllers::shutDown()
{
    stopTimers();
    session.port.CloseMidiDevice();
    const QString told = recorder.shutDown(takeFallbackFolders);
    if (told.isEmpty())
        return;
    if (quietExit)
        std::fprintf(stderr, "dzq: %s\n", told.toLocal8Bit().constData());
    else
        session.dialogs.message(told);
}

void MainWindowControllers::quit()
{
    session.port.CloseMidiDevice();
}

void MainWindowControllers::stopTimers()
{
    performance.stopTimers();
    editor.playback.YYDS().setEnabled(false);
    statusClock.stop();
}
