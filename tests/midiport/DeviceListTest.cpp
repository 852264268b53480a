#include "RecordingMidiBackend.h"
#include "ScriptedDialogs.h"
#include "TestMain.h"

#include "core/Clock.h"
#include "midiport/MidiDeviceList.h"
#include "midiport/MidiPort.h"

using R = RecordingMidiBackend;

// The device list control: selecting an entry opens its device every time.
class DeviceListTest : public QObject {
    Q_OBJECT
private slots:
    void selectingOpensTheEntrysDevice()
    {
        R backend;
        backend.devices = {{"Synth A", true}, {"Synth B", true}};
        ScriptedDialogs dialogs;
        VirtualClock clock;
        MidiPort port(backend, dialogs, clock);
        MidiDeviceList list(port);
        QVERIFY(list.refresh());
        list.select(1);
        QCOMPARE(backend.lastOpenedId, 0);
        list.select(1);  // the same entry again: closed and opened again
        QCOMPARE(backend.openCount, 2);
        QCOMPARE(backend.closeCount, 1);
        list.select(0);
        QCOMPARE(backend.lastOpenedId, -1);
        list.select(7);  // no such entry
        QCOMPARE(list.position(), 0);
        QCOMPARE(backend.openCount, 3);
    }
};

DZQ_REGISTER_TEST(DeviceListTest)
#include "DeviceListTest.moc"
