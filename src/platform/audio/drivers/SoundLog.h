#pragma once

#include <QObject>
#include <QStringList>

#include <array>
#include <atomic>
#include <mutex>

// Collects the messages of the sound libraries (FluidSynth's log, ALSA's
// library errors, libinstpatch's GLib messages) for the user instead of
// letting them reach the terminal.
//
// The libraries' hooks are process-wide, so there is one collector per
// process. Messages that arrive on the audio thread (inside a
// ThreadRoles::AudioScope) are copied into fixed slots without waiting for
// the lock (and dropped if it is busy); errors from other threads are also
// announced with errorLogged().
class SoundLog : public QObject {
    Q_OBJECT
public:
    // Installs the hooks (once) and returns the collector.
    static SoundLog &install();

    // Oldest first; at most kMaxEntries, each "level: text".
    QStringList messages() const;

    // Errors logged on this thread while a scope is open are kept in the list
    // but not announced (probing audio drivers that are expected to fail).
    class QuietScope {
    public:
        QuietScope();
        ~QuietScope();
        QuietScope(const QuietScope &) = delete;
        QuietScope &operator=(const QuietScope &) = delete;
    };

    static constexpr int kMaxEntries = 200;
    static constexpr int kMaxLength = 240;

    // Entry point of the hooks; level as FluidSynth numbers it (0 panic .. 4 debug).
    void add(int level, const char *text);

signals:
    // An error of a sound library, ready to show to the user.
    void errorLogged(const QString &text);

private:
    SoundLog() = default;

    struct Entry {
        int level = 0;
        char text[kMaxLength + 1] = {};
    };
    mutable std::mutex mutex_;
    std::array<Entry, kMaxEntries> entries_;
    int next_ = 0;
    int count_ = 0;
};
