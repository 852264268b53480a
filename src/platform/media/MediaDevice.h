#pragma once

#include <QString>
#include <QtGlobal>

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
    // ... and was last told to record (not to stop since).
    bool recordsTake() const { return held_ == Held::Take && recording_; }
    // The alias holds a file opened for playing.
    bool holdsFile() const { return held_ == Held::File; }
    // Who recorded the take the alias holds: a tag the recorder front end
    // gives after it started recording; 0 when none was given.
    void claimTake(int owner) { owner_ = owner; }
    int takeOwner() const { return held_ == Held::Take ? owner_ : 0; }

    // Whether a sound file could be opened for playing, asked before what
    // the alias holds is given up for it; the reason in words when not.
    virtual bool canOpen(const QString &path, QString *why) const
    {
        Q_UNUSED(path);
        Q_UNUSED(why);
        return true;
    }

protected:
    // Carries the command out.
    virtual int execute(const QString &text, QString *reply) = 0;

private:
    enum class Held { Nothing, Take, File };
    void track(const QString &text);

    Held held_ = Held::Nothing;
    bool unsaved_ = false;
    bool recording_ = false;
    int owner_ = 0;
    QString alias_;
};

// Where nothing is ever recorded or played (a render, the command line):
// every command succeeds and does nothing.
class SilentMediaDevice : public MediaDevice {
protected:
    int execute(const QString &, QString *) override { return 0; }
};
