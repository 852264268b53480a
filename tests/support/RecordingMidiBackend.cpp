#include "RecordingMidiBackend.h"

#include <QStringList>

int RecordingMidiBackend::deviceCount()
{
    return devices.size();
}

int RecordingMidiBackend::deviceCaps(int id, QString *name)
{
    if (id == kDefaultMidiDevice) {
        if (!defaultCapsOk)
            return MidiError::BadDeviceId;
        *name = defaultName;
        return MidiError::Ok;
    }
    if (id < 0 || id >= devices.size() || !devices[id].capsOk)
        return MidiError::BadDeviceId;
    *name = devices[id].name;
    return MidiError::Ok;
}

int RecordingMidiBackend::open(int id, MidiHandle *handle)
{
    ++openCount;
    if (openResult != 0)
        return openResult;
    open_ = true;
    openId_ = id;
    lastOpenedId = id;
    handle_ = MidiHandle(0x1000 + openCount);
    *handle = handle_;
    return MidiError::Ok;
}

int RecordingMidiBackend::close(MidiHandle handle)
{
    ++closeCount;
    if (handle != handle_ || !open_)
        return MidiError::InvalidHandle;
    open_ = false;
    handle_ = 0;
    return closeResult;
}

int RecordingMidiBackend::shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs)
{
    if (!open_ || handle == 0 || handle != handle_)
        return MidiError::InvalidHandle;
    if (sendResult != 0)
        return sendResult;
    sent.append({message.packed(), dueNs, openId_});
    return MidiError::Ok;
}

QString RecordingMidiBackend::errorText(int code)
{
    if (code == MidiError::InvalidHandle)
        return QStringLiteral("无效的 MIDI 设备句柄。");
    return QStringLiteral("MIDI 错误 %1").arg(code);
}

QVector<quint32> RecordingMidiBackend::messages() const
{
    QVector<quint32> out;
    for (const Sent &s : sent)
        out.append(s.message);
    return out;
}

QVector<quint32> RecordingMidiBackend::messagesOfKind(quint32 kind) const
{
    QVector<quint32> out;
    for (const Sent &s : sent) {
        if (MidiMessage::unpack(s.message).kind() == kind)
            out.append(s.message);
    }
    return out;
}

QString formatMessages(const QVector<quint32> &messages)
{
    QStringList parts;
    for (quint32 m : messages)
        parts << QStringLiteral("0x%1").arg(m, 0, 16);
    return parts.join(QLatin1Char(' '));
}
