#include "platform/midi/SystemMidiBackend.h"

#include "platform/audio/AudioEngine.h"
#include "core/MidiMessage.h"
#include "platform/midi/RtMidiPorts.h"


SystemMidiBackend::SystemMidiBackend(AudioEngine &engine)
    : SystemMidiBackend(engine, std::make_unique<RtMidiPorts>())
{
}

SystemMidiBackend::SystemMidiBackend(AudioEngine &engine, std::unique_ptr<ExternalMidiPorts> ports)
    : engine_(engine), ports_(std::move(ports))
{
}

SystemMidiBackend::~SystemMidiBackend()
{
    for (const auto &entry : open_) {
        if (!isBuiltIn(entry.second.id))
            ports_->close(entry.second.connection);
    }
}

QString SystemMidiBackend::defaultOutputName()
{
    return QStringLiteral("默认 MIDI 输出（内置合成器）");
}

QString SystemMidiBackend::synthesizerName()
{
    return QStringLiteral("Quorvane 内置合成器");
}

int SystemMidiBackend::deviceCount()
{
    return 1 + qMax(0, ports_->count());
}

int SystemMidiBackend::deviceCaps(int id, QString *name)
{
    if (id == kDefaultMidiDevice) {
        *name = defaultOutputName();
        return MidiError::Ok;
    }
    if (id == 0) {
        *name = synthesizerName();
        return MidiError::Ok;
    }
    if (id < 0 || id > ports_->count())
        return MidiError::BadDeviceId;
    const QString portName = ports_->name(id - 1);
    if (portName.isEmpty())
        return MidiError::BadDeviceId;
    *name = portName.left(kMaxNameLength);
    return MidiError::Ok;
}

int SystemMidiBackend::failWith(const QString &text)
{
    lastError_ = text;
    return MidiError::Error;
}

int SystemMidiBackend::open(int id, MidiHandle *handle)
{
    *handle = 0;
    OpenDevice device;
    device.id = id;
    if (!isBuiltIn(id)) {
        if (id < 0 || id > ports_->count())
            return MidiError::BadDeviceId;
        for (const auto &entry : open_) {
            if (entry.second.id == id)
                return MidiError::Allocated;
        }
        QString error;
        device.connection = ports_->open(id - 1, &error);
        if (device.connection == 0) {
            const QString name = ports_->name(id - 1);
            return failWith(QStringLiteral("无法打开 MIDI 输出端口 %1：%2。请在“设  备”列表中选择其他设备。")
                                .arg(name.left(kMaxNameLength),
                                     error.isEmpty() ? QStringLiteral("端口没有响应") : error));
        }
    }
    const MidiHandle h = nextHandle_++;
    open_[h] = device;
    *handle = h;
    return MidiError::Ok;
}

int SystemMidiBackend::close(MidiHandle handle)
{
    auto it = open_.find(handle);
    if (it == open_.end())
        return MidiError::InvalidHandle;
    const OpenDevice device = it->second;
    open_.erase(it);
    if (!isBuiltIn(device.id)) {
        ports_->close(device.connection);
        return MidiError::Ok;
    }
    // The last handle of the synthesizer: nothing may keep sounding on a
    // device nobody plays any more (its note-offs now go elsewhere).
    for (const auto &entry : open_) {
        if (isBuiltIn(entry.second.id))
            return MidiError::Ok;
    }
    engine_.silenceAll();
    return MidiError::Ok;
}

int SystemMidiBackend::shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs)
{
    auto it = open_.find(handle);
    if (it == open_.end())
        return MidiError::InvalidHandle;
    if (isBuiltIn(it->second.id)) {
        engine_.send(message, dueNs);
        return MidiError::Ok;
    }
    const unsigned char bytes[3] = {message.status, message.data1, message.data2};
    QString error;
    if (!ports_->send(it->second.connection, bytes, message.length(), &error))
        return failWith(QStringLiteral("MIDI 输出端口不接受消息：%1。请检查设备连接，或在“设  备”列表中选择其他设备。")
                            .arg(error.isEmpty() ? QStringLiteral("端口已断开") : error));
    return MidiError::Ok;
}

QString SystemMidiBackend::errorText(int code)
{
    QString text;
    switch (code) {
    case MidiError::Ok:
        text = QStringLiteral("没有错误。");
        break;
    case MidiError::Error:
        text = lastError_.isEmpty() ? QStringLiteral("MIDI 输出出错。请在“设  备”列表中重新选择设备。") : lastError_;
        break;
    case MidiError::BadDeviceId:
        text = QStringLiteral("没有这个 MIDI 输出设备，它可能已被拔出。请在“设  备”列表中重新选择设备。");
        break;
    case MidiError::NotEnabled:
        text = QStringLiteral("MIDI 输出设备没有启用。请在“设  备”列表中选择其他设备。");
        break;
    case MidiError::Allocated:
        text = QStringLiteral("这个 MIDI 输出设备已被打开。请在“设  备”列表中选择其他设备。");
        break;
    case MidiError::InvalidHandle:
        text = QStringLiteral("没有打开的 MIDI 输出设备。请在“设  备”列表中选择一个设备。");
        break;
    case MidiError::NoDriver:
        text = QStringLiteral("找不到 MIDI 驱动程序。请选择内置合成器。");
        break;
    case MidiError::NoMemory:
        text = QStringLiteral("内存不足，无法使用 MIDI 输出。请关闭其他程序后再试。");
        break;
    case MidiError::NotReady:
        text = QStringLiteral("MIDI 输出设备还没有准备好。请稍候再试。");
        break;
    case MidiError::NoDevice:
        text = QStringLiteral("MIDI 输出设备已断开。请检查连接，或在“设  备”列表中选择其他设备。");
        break;
    default:
        text = QStringLiteral("MIDI 输出出错（错误代码 %1）。请在“设  备”列表中重新选择设备。").arg(code);
        break;
    }
    return text.left(kMaxErrorLength);
}
