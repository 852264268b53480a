#pragma once

#include "core/MidiMessage.h"
#include "platform/audio/realtime/SpscRing.h"
#include "platform/midi/MidiInputPorts.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// Which input ports play into the program.
struct MidiInputChoice {
    enum class Kind { None, All, Named };
    Kind kind = Kind::All;
    QString name;  // Named: the ports whose names contain it, case ignored

    static MidiInputChoice none() { return {Kind::None, QString()}; }
    static MidiInputChoice all() { return {Kind::All, QString()}; }
    static MidiInputChoice named(const QString &name) { return {Kind::Named, name}; }
    // "none", "all" (any case), anything else a name.
    static MidiInputChoice parse(const QString &text);

    bool takes(const MidiInputPort &port) const;
    bool operator==(const MidiInputChoice &o) const { return kind == o.kind && name == o.name; }
};

// The MIDI keyboards and programs that play into this one. It connects the
// input ports the choice takes at start and whenever it looks at the port
// list again (every kPollMs: a keyboard plugged in later plays at once, one
// unplugged is dropped without a word), and hands their messages from the
// ports' own threads to the owner thread: each port fills a lock-free queue
// of its own and wakes the owner once per burst.
//
// After start() the ports are listed on a thread of its own (a stuck sound
// server can keep a listing waiting for seconds, and the window must not
// wait with it); each list is handed to the owner thread, which opens and
// closes the ports. poll() lists on the calling thread, for tests and for
// callers without a window; it is not meant to run beside start().
class MidiInputs : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 1000;
    static constexpr int kQueueCapacity = 1024;  // messages of one port between two hand-overs
    // How long the end waits for a listing stuck in a sound server before
    // it leaves the listing thread behind.
    static constexpr int kStopWaitMs = 500;

    explicit MidiInputs(MidiInputPorts &ports, QObject *parent = nullptr);
    ~MidiInputs() override;

    // Looks at the ports on the listing thread now, and then every kPollMs.
    void start();
    // Looks at the ports here and now: connects the new ones the choice
    // takes, drops those gone or no longer chosen.
    void poll();
    // Connects and drops by a list of the ports present (the owner thread's
    // half of a look).
    void apply(const QVector<MidiInputPort> &present);

    // Applied at once to the ports listed last; after start() a new look follows.
    void setChoice(const MidiInputChoice &choice);
    MidiInputChoice choice() const { return choice_; }

    // The ports as last listed, and which of them are connected.
    QVector<MidiInputPort> ports() const { return listed_; }
    bool isConnected(const QString &name) const;
    // What the user calls the device of a port listed last (else the name).
    QString deviceOf(const QString &name) const;
    QStringList connectedNames() const;
    // Messages a port could not queue because the owner thread was busy.
    quint64 droppedMessages() const;

    // Owner thread: hands over what has arrived; runs by itself after
    // every arrival.
    Q_INVOKABLE void deliverPending();

    // The name a choice keeps for a port: without the sequencer's client
    // and port numbers, which change when a keyboard is plugged in again.
    static QString choiceName(const QString &portName);

signals:
    // One channel message of input `source` (a number never reused in the
    // run) and the steady time it arrived at, in nanoseconds.
    void received(int source, const MidiMessage &message, qint64 arrivalNs);
    void connected(int source, const QString &name);
    // The port is gone, no longer chosen, or the program ends.
    void disconnected(int source, const QString &name);
    // The list of ports or of the connected ones changed.
    void changed();
    // A look at the ports has been applied (from the listing thread or poll()).
    void looked();

private:
    struct Input;
    struct Arrival {
        MidiMessage message;
        qint64 ns;
    };
    struct Lister;
    void wake();
    Q_INVOKABLE void takeLook();  // owner thread: applies the listing thread's last look
    Input *find(int source) const;
    void stopLister();

    MidiInputPorts &ports_;
    MidiInputChoice choice_;
    QVector<MidiInputPort> listed_;
    std::vector<std::unique_ptr<Input>> inputs_;
    QStringList refused_;  // failed to open: tried again once they were gone
    std::shared_ptr<Lister> lister_;  // shared with its thread, which may outlive us when stuck
    std::thread listerThread_;
    std::atomic<bool> wakePending_{false};
    int nextSource_ = 1;
};
