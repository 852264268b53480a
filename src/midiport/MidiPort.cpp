#include "midiport/MidiPort.h"

#include "core/Clock.h"
#include "core/SharedState.h"
#include "core/MidiMessage.h"
#include "platform/dialogs/UserDialogs.h"

MidiPort::MidiPort(MidiBackend &backend, Notifier &notifier, Clock &clock)
    : backend_(backend), notifier_(notifier), clock_(clock)
{
}

bool MidiPort::ListMidiDevices(QVector<MidiDeviceEntry> *list)
{
    list->clear();
    QString name;
    if (backend_.deviceCaps(kDefaultMidiDevice, &name) == MidiError::Ok)
        list->append({name, qint16(kDefaultMidiDevice)});
    const int count = backend_.deviceCount();
    for (int id = 0; id < count && id <= 0x7FFF; ++id) {
        if (backend_.deviceCaps(id, &name) == MidiError::Ok)
            list->append({name, qint16(id)});
    }
    return !list->isEmpty();
}

bool MidiPort::OpenMidiDevice(qint16 id)
{
    CloseMidiDevice();
    MidiHandle handle = 0;
    const int result = backend_.open(id, &handle);
    handle_ = result == MidiError::Ok ? handle : 0;
    if (handle_)
        openId_ = id;
    emit deviceChanged();
    if (result != MidiError::Ok)
        ShowMidiError(result);
    return handle_ != 0;
}

void MidiPort::CloseMidiDevice()
{
    if (!handle_)
        return;
    const int result = backend_.close(handle_);
    handle_ = 0;  // forgotten also when closing failed
    emit deviceChanged();
    if (result != MidiError::Ok)
        ShowMidiError(result);
}

int MidiPort::send(const MidiMessage &message)
{
    return backend_.shortMsg(handle_, message, clock_.tickTimeNs());
}

void MidiPort::SendShortMessage(qint16 status, qint16 data1, qint16 data2)
{
    // An operand out of range would reach the device as garbage or as
    // another message; such a message is never sent.
    if (status < 0x80 || status > 0xFF || data1 < 0 || data1 > 127 || data2 < 0 || data2 > 127)
        return;
    const int result = send(MidiMessage{quint8(status), quint8(data1), quint8(data2)});
    if (result != MidiError::Ok)
        ShowMidiError(result);
}

void MidiPort::NoteOn(qint16 channel, qint16 note, qint16 velocity)
{
    SendShortMessage(qint16(Midi::NoteOn + channel), note, velocity);
}

void MidiPort::NoteOff(qint16 channel, qint16 note)
{
    SendShortMessage(qint16(Midi::NoteOff + channel), note, 0);
}

void MidiPort::ControlChange(qint16 channel, qint16 controller, qint16 value)
{
    SendShortMessage(qint16(Midi::ControlChange + channel), controller, value);
}

void MidiPort::ProgramChange(qint16 channel, qint16 bank, qint16 program)
{
    ControlChange(channel, Midi::kBankSelect, bank);
    SendShortMessage(qint16(Midi::ProgramChange + channel), program, 0);
}

void MidiPort::ShowMidiError(int code)
{
    notifier_.message(backend_.errorText(code).left(127));
}

void MidiPort::PlayRhythmStep(const StepTable &table, qint16 stepIndex)
{
    if (!StepTable::validStep(stepIndex))
        return;
    int lastResult = MidiError::Ok;
    bool sent = false;
    for (int cell = 0; cell <= 4; ++cell) {
        const StepCell &c = table.cell(stepIndex, cell);
        if (c.Sounding == -1) {
            // The table holds what a rhythm file holds: a packed value, whose
            // bytes may be anything. One out of range is never sent.
            const MidiMessage m = MidiMessage::unpack(c.Message);
            const bool valid = MidiMessage::fits(c.Message) && m.status >= 0x80 && m.data1 < 0x80 && m.data2 < 0x80;
            lastResult = valid ? send(m) : MidiError::Ok;
            sent = true;
        }
    }
    if (sent && lastResult != MidiError::Ok)
        ShowMidiError(lastResult);
}
