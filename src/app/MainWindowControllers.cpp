#include "app/MainWindowControllers.h"

#include "app/PerformanceControllers.h"
#include "core/Session.h"
#include "platform/MediaDevice.h"
#include "sound/MidiPort.h"

MainWindowControllers::MainWindowControllers(Session &s, WindowDisplay &d, PerformanceControllers &p)
    : session(s), display(d), performance(p), devices(s.port), navigation(d), statusClock(s.clock),
      exporter(s, d)
{
    connect(&performance, &PerformanceControllers::choiceMade, this, &MainWindowControllers::choiceMade);
    connect(&navigation, &Navigation::choiceMade, this, &MainWindowControllers::choiceMade);
}

void MainWindowControllers::initialise()
{
    devices.refresh();
    performance.initialise();
}

void MainWindowControllers::shutDown()
{
    stopTimers();
    session.port.CloseMidiDevice();
    session.media.command(QStringLiteral("CLOSE NN"));
}

void MainWindowControllers::stopTimers()
{
    performance.stopTimers();
    statusClock.Timer2().setEnabled(false);
}
