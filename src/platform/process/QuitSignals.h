#pragma once

#include <QObject>

class QSocketNotifier;

// The signals that ask a program to end (SIGTERM from the system or `kill`,
// SIGHUP when the user logs out or the terminal closes, SIGINT from Ctrl+C),
// turned into an ordinary event: the handler only writes the signal's number
// into a socket pair, and the event loop reads it and emits received(), so
// the program ends in order on its own thread. One instance at a time; the
// system's handling comes back when it goes.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    // The handlers are in place.
    bool isWatching() const { return notifier_ != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readSignals();

    QSocketNotifier *notifier_ = nullptr;
};
