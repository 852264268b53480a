#pragma once

#include "platform/midi/ExternalMidiPorts.h"
#include "core/MidiBackend.h"

#include <map>
#include <memory>

class AudioEngine;

// The program's MIDI output: the built-in synthesizer first, then the
// machine's MIDI ports.
//
// Device ids: -1 the default output, which plays through the built-in
// synthesizer; 0 the built-in synthesizer itself; 1 .. the external ports in
// the order the system lists them. Messages to the synthesizer keep their
// tick time (see AudioEngine); external ports get every message at once.
class SystemMidiBackend : public MidiBackend {
public:
    // External ports through RtMidi (ALSA sequencer).
    explicit SystemMidiBackend(AudioEngine &engine);
    SystemMidiBackend(AudioEngine &engine, std::unique_ptr<ExternalMidiPorts> ports);
    ~SystemMidiBackend() override;

    int deviceCount() override;
    int deviceCaps(int id, QString *name) override;
    int open(int id, MidiHandle *handle) override;
    int close(MidiHandle handle) override;
    int shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs) override;
    QString errorText(int code) override;

    static QString defaultOutputName();
    static QString synthesizerName();
    // Longest device name shown in a device list.
    static constexpr int kMaxNameLength = 31;
    static constexpr int kMaxErrorLength = 127;

private:
    struct OpenDevice {
        int id = 0;
        int connection = 0;  // external ports only
    };
    bool isBuiltIn(int id) const { return id == kDefaultMidiDevice || id == 0; }
    int failWith(const QString &text);

    AudioEngine &engine_;
    std::unique_ptr<ExternalMidiPorts> ports_;
    std::map<MidiHandle, OpenDevice> open_;
    MidiHandle nextHandle_ = 1;
    QString lastError_;  // the port's own words for MidiError::Error
};
