#pragma once

#include "platform/midi/MidiInputPorts.h"

#include <QStringList>

#include <map>
#include <memory>

// The MIDI outputs of a running JACK server, read with JACK's own library:
// each port opened gets a client of our own with one input port, whose
// process callback hands every event, as it came, to the receiver.
//
// A server that goes away (ended, killed, crashed) says so through JACK's
// shutdown callback. From then on none of its clients is called into
// again: a client whose server is gone is left as it is, never closed, so
// that a dead server cannot take the program with it. A server started
// later is found by the next listing.
class JackMidiInputs {
public:
    // Our clients are named clientName + "-list" (the one that lists) and
    // clientName + "-in" (the readers; JACK numbers them when several).
    explicit JackMidiInputs(const QString &clientName);
    ~JackMidiInputs();
    JackMidiInputs(const JackMidiInputs &) = delete;
    JackMidiInputs &operator=(const JackMidiInputs &) = delete;

    // True while a server answers. Without jackd's socket the library is
    // asked at every kAskEvery-th call only (it costs milliseconds).
    bool running();
    // The server's MIDI outputs as "client:port", ours left out.
    QStringList outputs();
    // Connects a reader to the output `port`; a key > 0, or 0 with *error.
    int open(const QString &port, MidiInputReceiver &receiver, QString *error);
    // After close() returns the receiver is never called again.
    void close(int connection);
    // The connection's server still runs and the port still feeds our reader.
    bool isAlive(int connection);

    QString readerPrefix() const { return clientName_ + QStringLiteral("-in"); }
    static constexpr int kAskEvery = 10;

private:
    struct Server;
    struct Reader;
    const QString clientName_;
    std::unique_ptr<Server> server_;
    std::map<int, std::unique_ptr<Reader>> readers_;
    int asked_ = 0;
    int nextConnection_ = 1;
};
