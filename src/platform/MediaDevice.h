#pragma once

#include <QString>

// The media device behind the recorder: takes command strings such as
// "CLOSE NN" (verbs case-insensitive, "NN" the recorder's device alias) and
// answers 0 for success or an error code; a reply text (for "status")
// comes back through `reply`.
class MediaDevice {
public:
    virtual ~MediaDevice() = default;
    virtual int command(const QString &text, QString *reply = nullptr) = 0;
    // Why the last command failed, in words for the user (may be empty).
    virtual QString errorText() const { return QString(); }
};

// Where nothing is ever recorded or played (a render, the command line):
// every command succeeds and does nothing.
class SilentMediaDevice : public MediaDevice {
public:
    int command(const QString &, QString * = nullptr) override { return 0; }
};
