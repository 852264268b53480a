#pragma once

#include <QString>

// The MIDI output ports of the machine beside the built-in synthesizer
// (the ALSA sequencer's ports on Linux). Indexes count from 0.
class ExternalMidiPorts {
public:
    virtual ~ExternalMidiPorts() = default;

    // Ports present now; 0 when the machine has no MIDI system.
    virtual int count() = 0;
    virtual QString name(int index) = 0;
    // Opens a port: a connection key > 0, or 0 with *error set.
    virtual int open(int index, QString *error) = 0;
    virtual void close(int connection) = 0;
    // Sends one message; false with *error set when the port refused it.
    virtual bool send(int connection, const unsigned char *bytes, int length, QString *error) = 0;
};
