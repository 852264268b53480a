#pragma once

#include <QString>

// The media device behind the recorder: takes command strings such as
// "CLOSE NN" (verbs case-insensitive, "NN" the recorder's device alias) and
// answers 0 for success or an error code; a reply text (for "status")
// comes back through `reply`.
//
// The device is one per program, shared by every recorder front end, so it
// also remembers what its alias holds, from the commands that succeeded: a
// take (a new recording) or a file opened for playing, and whether the take
// has been saved since it last recorded. Whoever sent the commands, every
// front end sees the same take.
class MediaDevice {
public:
    virtual ~MediaDevice() = default;

    int command(const QString &text, QString *reply = nullptr);
    // Why the last command failed, or why the device stopped by itself
    // (a full disk while recording), in words for the user; empty if neither.
    virtual QString errorText() const { return QString(); }

    // The alias holds a recording, running or stopped.
    bool holdsTake() const { return held_ == Held::Take; }
    // ... which recorded since it was last saved: closing it would lose it.
    bool holdsUnsavedTake() const { return held_ == Held::Take && unsaved_; }
    // The alias holds a file opened for playing.
    bool holdsFile() const { return held_ == Held::File; }

protected:
    // Carries the command out.
    virtual int execute(const QString &text, QString *reply) = 0;

private:
    enum class Held { Nothing, Take, File };
    void track(const QString &text);

    Held held_ = Held::Nothing;
    bool unsaved_ = false;
    QString alias_;
};

// Where nothing is ever recorded or played (a render, the command line):
// every command succeeds and does nothing.
class SilentMediaDevice : public MediaDevice {
protected:
    int execute(const QString &, QString *) override { return 0; }
};
