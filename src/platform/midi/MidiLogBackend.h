#pragma once

#include "core/MidiBackend.h"

#include <QFile>
#include <QHash>

class Clock;

// Diagnostic wrapper (dzq --midi-log FILE): passes everything to the real
// output unchanged and appends one line per short message, sent or refused:
//   "<ms since program start> <device id> 0x<packed value, lower-case hex>"
// e.g. "1534 0 0x463c90". The device id is the one the handle was opened
// with, "none" for a handle that is not open. Each line is flushed at once.
// Lines starting with "# " describe the run (the sound output, for one).
class MidiLogBackend : public MidiBackend {
public:
    MidiLogBackend(MidiBackend &inner, const QString &path, const Clock &clock, qint64 programStartNs);

    // The log file could be opened; else errorString() says why.
    bool isLogging() const { return file_.isOpen(); }
    QString errorString() const { return file_.errorString(); }
    // Appends "# <text>" (UTF-8).
    void writeComment(const QString &text);

    int deviceCount() override;
    int deviceCaps(int id, QString *name) override;
    int open(int id, MidiHandle *handle) override;
    int close(MidiHandle handle) override;
    int shortMsg(MidiHandle handle, const MidiMessage &message, qint64 dueNs) override;
    QString errorText(int code) override;

private:
    MidiBackend &inner_;
    const Clock &clock_;
    const qint64 startNs_;
    QFile file_;
    QHash<MidiHandle, int> ids_;
};
