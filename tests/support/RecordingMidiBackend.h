#pragma once

#include "core/MidiBackend.h"
#include "core/MidiMessage.h"

#include <QString>
#include <QVector>

// A MIDI output for tests: keeps every message, packed as the MIDI log writes
// it (short to compare), with its time stamp and the device it went to, and
// can be told to fail.
class RecordingMidiBackend : public MidiBackend {
public:
    struct Device {
        QString name;
        bool capsOk = true;
    };
    struct Sent {
        quint32 message = 0;
        qint64 dueNs = -1;
        int deviceId = 0;
    };

    // The default output and the numbered devices (id = index).
    bool defaultCapsOk = true;
    QString defaultName = QStringLiteral("默认 MIDI 输出");
    QVector<Device> devices{{QStringLiteral("内置合成器"), true}};

    // Error codes to answer with; 0 = succeed.
    int openResult = 0;
    int closeResult = 0;
    int sendResult = 0;

    QVector<Sent> sent;
    int openCount = 0;
    int closeCount = 0;
    int lastOpenedId = 0;

    int deviceCount() override;
    int deviceCaps(int id, QString *name) override;
    int open(int id, MidiHandle *handle) override;
    int close(MidiHandle handle) override;
    int shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs) override;
    QString errorText(int code) override;

    // The packed values sent, in order.
    QVector<quint32> messages() const;
    // Only the messages of one kind (0x90 note-on, 0x80 note-off, 0xB0, 0xC0).
    QVector<quint32> messagesOfKind(quint32 kind) const;
    void clear() { sent.clear(); }

    static quint32 noteOn(int channel, int note, int velocity)
    {
        return MidiMessage::make(Midi::NoteOn, channel, note, velocity).packed();
    }
    static quint32 noteOff(int channel, int note) { return MidiMessage::make(Midi::NoteOff, channel, note).packed(); }
    static quint32 control(int channel, int controller, int value)
    {
        return MidiMessage::make(Midi::ControlChange, channel, controller, value).packed();
    }
    static quint32 program(int channel, int program) { return MidiMessage::make(Midi::ProgramChange, channel, program).packed(); }

private:
    bool open_ = false;
    MidiHandle handle_ = 0;
    int openId_ = 0;
};

// "0x463c90 0x3c80 ..." for readable failure messages.
QString formatMessages(const QVector<quint32> &messages);
