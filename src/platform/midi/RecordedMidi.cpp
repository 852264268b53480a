#include "platform/midi/RecordedMidi.h"

#include "core/Clock.h"

RecordedMidi::RecordedMidi(const Clock &clock) : clock_(clock) {}

int RecordedMidi::deviceCount()
{
    return 1;
}

int RecordedMidi::deviceCaps(int id, QString *name)
{
    if (id == kDefaultMidiDevice) {
        *name = QStringLiteral("默认输出");
        return MidiError::Ok;
    }
    if (id == 0) {
        *name = QStringLiteral("MIDI文件");
        return MidiError::Ok;
    }
    return MidiError::BadDeviceId;
}

int RecordedMidi::open(int id, MidiHandle *handle)
{
    if (id != kDefaultMidiDevice && id != 0)
        return MidiError::BadDeviceId;
    open_ = true;
    *handle = kHandle;
    return MidiError::Ok;
}

int RecordedMidi::close(MidiHandle handle)
{
    if (!open_ || handle != kHandle)
        return MidiError::InvalidHandle;
    open_ = false;
    return MidiError::Ok;
}

int RecordedMidi::shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs)
{
    if (!open_ || handle != kHandle)
        return MidiError::InvalidHandle;
    messages_.append({dueNs >= 0 ? dueNs : clock_.nowNs(), message});
    return MidiError::Ok;
}

QString RecordedMidi::errorText(int code)
{
    switch (code) {
    case MidiError::Ok:
        return QStringLiteral("没有错误。");
    case MidiError::BadDeviceId:
        return QStringLiteral("指定的设备标识符超出范围。");
    case MidiError::InvalidHandle:
        return QStringLiteral("指定的设备句柄无效。");
    default:
        return QStringLiteral("发生未知错误（错误码 %1）。").arg(code);
    }
}
