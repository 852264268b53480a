#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>

class QDBusMessage;

// Real-time priority for a thread of this process from the desktop's
// RealtimeKit service (rtkit, on the system bus). An ordinary user has no
// real-time limit of their own; rtkit grants a modest priority to the
// threads of a process that limits its real-time CPU time (RLIMIT_RTTIME),
// so that a runaway thread cannot freeze the machine.
//
// Asynchronous throughout: the calling thread never waits for the bus.
// Every failure (no bus, no service, a refusal, an odd answer) is answered
// with false, quietly.
class RealtimeKit : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(bool granted)>;

    static constexpr int kTimeoutMs = 2000;

    explicit RealtimeKit(const QDBusConnection &bus, QObject *parent = nullptr);

    // The system bus, where the desktop's rtkit lives (not connected when
    // there is no bus).
    static QDBusConnection systemBus();

    // Asks for real-time scheduling at `priority` (lowered to the service's
    // maximum) for the thread with kernel id `threadId`. done() follows once,
    // from this object's event loop, unless this object goes first. Before
    // asking, RLIMIT_RTTIME is lowered to the service's maximum; when the
    // answer is no, the old limit is put back where the system allows it.
    void makeThreadRealtime(quint64 threadId, int priority, Done done);

private:
    using Reply = std::function<void(const QDBusMessage &reply)>;
    void call(const QDBusMessage &message, Reply next);
    void readProperty(const QString &name, std::function<void(bool ok, qint64 value)> next);

    QDBusConnection bus_;
};
