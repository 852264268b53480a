#pragma once

#include "platform/midi/JackMidiInputs.h"
#include "platform/midi/MidiInputPorts.h"

#include <atomic>
#include <map>
#include <memory>

// The input ports of the ALSA sequencer (through RtMidi) and of a running
// JACK server (through JACK's own library: RtMidi's JACK side neither
// survives a server that dies nor hears notes after an unfinished SysEx).
// Port names are RtMidi's; those of JACK begin with jackPrefix(). A
// sequencer or a JACK server that appears later is found by the next
// listing; a JACK server that goes away takes its ports with it. The
// listing has clients of its own (an RtMidi one, a JACK one), so that it
// can run on its own thread beside the opening and closing.
class RtMidiInputs : public MidiInputPorts {
public:
    // The client name our ports appear under (and whose ports are ours).
    explicit RtMidiInputs(const QString &clientName = QStringLiteral("Quorvane"));
    ~RtMidiInputs() override;

    QVector<MidiInputPort> ports() override;
    int open(const QString &name, MidiInputReceiver &receiver, QString *error) override;
    void close(int connection) override;
    bool isAlive(int connection) override;

    static QString jackPrefix() { return QStringLiteral("JACK "); }

private:
    struct Lister;
    struct Open;
    bool alsaFeedsUs(const QString &portName);
    // Our sequencer clients that read the ports we open.
    QString readerPrefix() const { return clientName_ + QStringLiteral("-in"); }

    const QString clientName_;
    // The listing's own, touched by ports() only.
    std::unique_ptr<Lister> alsa_;
    std::unique_ptr<JackMidiInputs> listJack_;
    std::atomic<bool> listing_{false};
    std::atomic<bool> sequencerSeen_{false};
    // The owner thread's.
    struct Sequencer;
    std::unique_ptr<Sequencer> seq_;  // asks the sequencer who reads a port
    std::unique_ptr<JackMidiInputs> jack_;
    std::map<int, std::unique_ptr<Open>> open_;
    int nextConnection_ = 1;
};
