#pragma once

#include "platform/midi/ExternalMidiPorts.h"

#include <map>
#include <memory>

class RtMidiOut;

// The ALSA sequencer's output ports through RtMidi. A machine without a
// sequencer (containers, build servers) simply has no ports.
class RtMidiPorts : public ExternalMidiPorts {
public:
    RtMidiPorts();
    ~RtMidiPorts() override;

    int count() override;
    QString name(int index) override;
    int open(int index, QString *error) override;
    void close(int connection) override;
    bool send(int connection, const unsigned char *bytes, int length, QString *error) override;

    // A sequencer answered (the last time one was needed).
    bool hasSequencer();

private:
    struct Client;
    // A new sequencer client with our error callback, or nullptr.
    std::unique_ptr<Client> newClient(QString *error);
    Client *lister();

    std::unique_ptr<Client> lister_;
    std::map<int, std::unique_ptr<Client>> open_;
    int nextConnection_ = 1;
};
