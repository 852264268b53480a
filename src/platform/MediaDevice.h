#pragma once

#include <QString>

// The media device behind the recorder: takes command strings such as
// "CLOSE NN" (verbs case-insensitive, "NN" the recorder's device alias) and
// answers 0 for success or an error code.
class MediaDevice {
public:
    virtual ~MediaDevice() = default;
    virtual int command(const QString &text, QString *reply = nullptr) = 0;
};

// Until the recorder is built the device only knows the alias being closed;
// closing an alias that is not open succeeds (there is nothing to close).
class MinimalMediaDevice : public MediaDevice {
public:
    int command(const QString &text, QString *reply = nullptr) override;
};
