#include "controllers/mainwindow/MainWindowControllers.h"

#include "controllers/PerformanceControllers.h"
#include "core/Session.h"
#include "core/WindowDisplay.h"
#include "editor/MainRhythmLink.h"
#include "platform/dialogs/UserDialogs.h"
#include "midiport/MidiPort.h"
#include "platform/midi/MidiInputs.h"

#include <QTimer>

#include <cstdio>

MainWindowControllers::MainWindowControllers(Session &s, WindowDisplay &d, PerformanceControllers &p)
    : session(s), display(d), performance(p), devices(s.port), hardware(s, d),
      mainNotes(s.state, p.voices, p.keyboard, p.keys),
      editorNotes([this] { return editor.controls.instrument(0) > 0 ? editor.controls.volumeNumber(0) : qint16(0); }),
      navigation(d), statusClock(s.clock),
      exporter(s, d, &p.pattern), songOpening(s, d, p.voices, &p.pattern), recorderDisplay(d),
      recorder(WaveRecorder::FrontEnd::MainWindow, s.media, recorderDisplay, s.dialogs, s.clock, s.recordFolder),
      editor(s, editModel)
{
    linkMainRhythm(editor, performance.pattern, performance.sequencer, performance.player, d);
    songOpening.setSound(
        [&s](const MidiMessage &m) { s.port.SendShortMessage(m.status, m.data1, m.data2); });
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
    hardware.setTarget(&mainNotes);
    // Once the first activation is over: its box must not run inside it.
    QTimer::singleShot(0, &recorder, &WaveRecorder::announceKeptTake);
}

void MainWindowControllers::shutDown()
{
    stopTimers();
    hardware.setTarget(nullptr);
    session.port.CloseMidiDevice();
    // A score or an edit that no file holds is kept, and said on the
    // terminal: no window is left to show it.
    QStringList kept;
    if (display.text3Unsaved()) {
        kept << performance.scoreFiles.keepUnsaved(display.Text3());
        display.markText3Kept();
    }
    kept << editor.files.keepUnsaved();
    for (const QString &line : std::as_const(kept))
        if (!line.isEmpty())
            std::fprintf(stderr, "dzq: %s\n", line.toLocal8Bit().constData());
    const QString told = recorder.shutDown(takeFallbackFolders);
    if (told.isEmpty())
        return;
    if (quietExit)
        std::fprintf(stderr, "dzq: %s\n", told.toLocal8Bit().constData());
    else
        session.dialogs.message(told);
}

void MainWindowControllers::attachInputs(MidiInputs &inputs)
{
    midiInputs = &inputs;
    connect(&inputs, &MidiInputs::received, &hardware,
            [this](int source, const MidiMessage &m, qint64) { hardware.receive(source, m); });
    connect(&inputs, &MidiInputs::connected, &hardware,
            [this](int, const QString &name) { hardware.inputConnected(midiInputs->deviceOf(name)); });
    connect(&inputs, &MidiInputs::disconnected, &hardware, [this](int source) { hardware.inputLost(source); });
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
