#pragma once

#include "platform/midi/MidiInputPorts.h"

#include <atomic>
#include <map>
#include <memory>

// The input ports of the ALSA sequencer and of a running JACK server,
// through RtMidi. Port names are RtMidi's; those of JACK begin with
// kJackPrefix. A sequencer or a JACK server that appears later is found by
// the next listing; a JACK server that goes away takes its ports with it.
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
    // Without jackd's socket, the JACK library is asked at every this many
    // listings only.
    static constexpr int kJackAskEvery = 10;

private:
    struct Lister;
    struct Open;
    struct Jack;
    bool jackRunning();
    bool alsaFeedsUs(const QString &portName);
    bool jackFeedsUs(const QString &portName);

    const QString clientName_;
    std::unique_ptr<Lister> alsa_;
    struct Sequencer;
    std::unique_ptr<Sequencer> seq_;  // asks the sequencer who reads a port
    std::unique_ptr<Jack> jack_;
    int jackPolls_ = 0;
    std::map<int, std::unique_ptr<Open>> open_;
    int nextConnection_ = 1;
};
