#include "RecordingMidiBackend.h"
#include "ScriptedDialogs.h"
#include "TestMain.h"

#include "core/Clock.h"
#include "core/SharedState.h"
#include "midiport/MidiPort.h"

using R = RecordingMidiBackend;

namespace {

// A step table cell's message, packed as rhythm files hold it.
quint32 packed(int status, int data1, int data2)
{
    return MidiMessage{quint8(status), quint8(data1), quint8(data2)}.packed();
}

// A port on a recording backend; the backend is read only when asked.
struct PortRig {
    R backend;
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port{backend, dialogs, clock};
};

}  // namespace

class MidiPortTest : public QObject {
    Q_OBJECT
private slots:
    void deviceListOrderAndIds()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        backend.devices = {{"Synth A", true}, {"Synth B", true}};
        QVector<MidiDeviceEntry> list;
        QVERIFY(port.ListMidiDevices(&list));
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].text, backend.defaultName);
        QCOMPARE(list[0].id, qint16(-1));
        QCOMPARE(list[1].id, qint16(0));
        QCOMPARE(list[2].text, QString("Synth B"));
        QCOMPARE(list[2].id, qint16(1));
        // The second line opens device 0.
        QVERIFY(port.OpenMidiDevice(list[1].id));
        QCOMPARE(backend.lastOpenedId, 0);
    }

    void unreadableDevicesAreSkipped()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        backend.defaultCapsOk = false;
        backend.devices = {{"A", false}, {"B", true}};
        QVector<MidiDeviceEntry> list;
        QVERIFY(port.ListMidiDevices(&list));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].id, qint16(1));
        backend.devices.clear();
        QVERIFY(!port.ListMidiDevices(&list));
        QVERIFY(list.isEmpty());
        QVERIFY(dialogs.messages.isEmpty());
    }

    void packing()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        port.OpenMidiDevice(0);
        port.ProgramChange(2, 0, 14);
        port.NoteOn(0, 60, 70);
        port.NoteOff(0, 60);
        QCOMPARE(backend.messages(), (QVector<quint32>{0xB2, 0xEC2, 0x463C90, 0x3C80}));
        QCOMPARE(packed(0x99, 35, 100), quint32(100 * 65536 + 35 * 256 + 153));
    }

    void sendWithoutDeviceShowsOneBoxAndSendsNothing()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        port.NoteOn(0, 60, 70);
        QCOMPARE(dialogs.messages, QStringList{backend.errorText(MidiError::InvalidHandle)});
        QVERIFY(backend.sent.isEmpty());
    }

    void reopenAndCloseTwice()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        QVERIFY(port.OpenMidiDevice(0));
        QVERIFY(port.OpenMidiDevice(0));  // selecting the open device closes and reopens it
        QCOMPARE(backend.openCount, 2);
        QCOMPARE(backend.closeCount, 1);
        port.CloseMidiDevice();
        port.CloseMidiDevice();
        QCOMPARE(backend.closeCount, 2);
        QCOMPARE(port.MidiOutHandle(), MidiHandle(0));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void failuresAreShownAndForgotten()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        backend.openResult = MidiError::Allocated;
        QVERIFY(!port.OpenMidiDevice(0));
        QCOMPARE(dialogs.messages.size(), 1);
        backend.openResult = 0;
        QVERIFY(port.OpenMidiDevice(0));
        backend.closeResult = MidiError::Error;
        port.CloseMidiDevice();  // a failed close still forgets the handle
        QVERIFY(!port.isOpen());
        QCOMPARE(dialogs.messages.size(), 2);
    }

    void outOfRangeBytesAreNeverSent()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        port.OpenMidiDevice(0);
        port.ProgramChange(3, 0, -1);  // a silent list entry has no program
        port.NoteOn(0, 200, 70);
        port.NoteOn(0, 536, 70);   // would pack as note 24 with velocity 72
        port.NoteOn(0, 60, -1);
        port.SendShortMessage(0x40, 1, 1);
        QCOMPARE(backend.messages(), (QVector<quint32>{0xB3}));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void messagesCarryTheTickTime()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        port.OpenMidiDevice(0);
        port.NoteOn(0, 60, 70);
        {
            Clock::TickScope scope(clock, 42);
            port.NoteOff(0, 60);
        }
        QCOMPARE(backend.sent[0].dueNs, qint64(-1));
        QCOMPARE(backend.sent[1].dueNs, qint64(42));
    }

    void rhythmStep()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        port.OpenMidiDevice(0);
        StepTable table;
        port.PlayRhythmStep(table, 3);  // all silent: nothing sent, nothing shown
        QVERIFY(backend.sent.isEmpty());
        for (int c = 0; c < kCellsPerStep; ++c) {
            table.cell(3, c).Sounding = -1;
            table.cell(3, c).Message = packed(0x99, qint16(35 + c), 100);
        }
        port.PlayRhythmStep(table, 3);  // cell 5 is never sounded
        QCOMPARE(backend.sent.size(), 5);
        QCOMPARE(backend.sent[4].message, packed(0x99, 39, 100));
        port.PlayRhythmStep(table, -1);
        port.PlayRhythmStep(table, kStepCount);
        QCOMPARE(backend.sent.size(), 5);
    }

    void rhythmCellsHoldingNoMessageAreNeverSent()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        port.OpenMidiDevice(0);
        StepTable table;
        // A rhythm file may hold any number: a fourth byte, a data byte of
        // 128 or more, a data byte where the status should be.
        const quint32 cells[] = {0x01642399, 0x802399, 0x648099, 0x642340, packed(0x99, 42, 100)};
        for (int c = 0; c < int(std::size(cells)); ++c)  // the five cells a step sounds
            table.cell(0, c) = {-1, 35, 100, cells[c]};
        port.PlayRhythmStep(table, 0);
        QCOMPARE(backend.messages(), (QVector<quint32>{packed(0x99, 42, 100)}));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void rhythmStepReportsOnlyAFailedLastSend()
    {
        PortRig rig;
        auto &[backend, dialogs, clock, port] = rig;
        port.OpenMidiDevice(0);
        StepTable table;
        table.cell(0, 0) = {-1, 35, 100, packed(0x99, 35, 100)};
        table.cell(0, 1) = {-1, 36, 100, packed(0x99, 36, 100)};
        backend.sendResult = MidiError::NoDevice;
        port.PlayRhythmStep(table, 0);
        QCOMPARE(dialogs.messages.size(), 1);
    }
};

DZQ_REGISTER_TEST(MidiPortTest)
#include "MidiPortTest.moc"
