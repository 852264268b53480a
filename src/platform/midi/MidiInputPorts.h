#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <cstddef>

// Takes the bytes an input port delivers. Called on the port's own thread
// (the sequencer's or the JACK server's), never on the owner's.
class MidiInputReceiver {
public:
    virtual ~MidiInputReceiver() = default;
    virtual void receive(const unsigned char *bytes, std::size_t length) = 0;
};

// One input port present on the machine.
struct MidiInputPort {
    QString name;  // unique among the ports listed together
    QString device;  // what the user calls it: the name of the keyboard or program
    // Connected when every input is wanted. Ports that only echo or bridge
    // what another listed port already delivers are not.
    bool byDefault = true;
};

// The MIDI input ports of the machine: the ALSA sequencer's sources and,
// while a JACK server runs, its MIDI outputs. ports() may run on a thread
// of its own, beside the other methods (never twice at once); the others
// belong to the owner thread. A machine without either simply has no ports.
class MidiInputPorts {
public:
    virtual ~MidiInputPorts() = default;

    // The ports present now; the program's own ports are never among them.
    virtual QVector<MidiInputPort> ports() = 0;
    // Opens a port by its name: its messages go to the receiver until
    // close(). A connection key > 0, or 0 with *error set.
    virtual int open(const QString &name, MidiInputReceiver &receiver, QString *error) = 0;
    // After close() returns the receiver is never called again.
    virtual void close(int connection) = 0;
    // False once the port a connection was opened on has gone, even when a
    // port of the same name has taken its place (a keyboard unplugged and
    // plugged in again between two looks).
    virtual bool isAlive(int connection)
    {
        Q_UNUSED(connection);
        return true;
    }
};
