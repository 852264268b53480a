#pragma once

#include "platform/media/MediaDevice.h"

#include <QString>

#include <memory>

class AudioEngine;
class TakeRecorder;
class WavePlayback;

// The recorder's wave-audio device, on the program's own audio engine.
//
// One alias at a time is open: either a new recording ("OPEN NEW TYPE
// WaveAudio ALIAS NN", then "RECORD"), which records exactly what the
// program sounds (the engine's output after the master volume), or a sound
// file opened for playing ("OPEN <path> TYPE WaveAudio ALIAS NN", then
// "PLAY NN FROM 0"). Commands:
//
//   OPEN, CLOSE, RECORD, STOP, PLAY [FROM ms], SEEK NN TO START,
//   STATUS NN MODE ("recording", "playing" or "stopped"),
//   STATUS NN LENGTH (milliseconds recorded or in the file), SAVE NN <path>
//
// Verbs, keywords and the alias are case-insensitive; paths may be quoted.
// A command to an alias that is not open fails and changes nothing. The
// recording lives in a temporary file in `tempFolder` until it is saved;
// closing discards it. A write that fails (a full disk) stops the recording
// at once: the mode is then "stopped", with the reason in errorText(), and
// what was written can still be saved. A take never saved when the device
// goes is left in `tempFolder` for recoverLeftovers().
class EngineMediaDevice : public MediaDevice {
public:
    enum Error {
        kOk = 0,
        kUnknownCommand = 1,
        kNotOpen = 2,
        kAliasInUse = 3,
        kNotSupported = 4,
        kFileError = 5,
    };

    EngineMediaDevice(AudioEngine &engine, const QString &tempFolder);
    ~EngineMediaDevice() override;

    QString errorText() const override { return error_; }
    // The file is there and decodes as sound at a rate the engine plays.
    bool canOpen(const QString &path, QString *why) const override;

    // Takes left in `tempFolder` by a run that did not end normally (killed,
    // crashed, the machine switched off) or that could not keep them at
    // exit: each one that holds sound gets the length of its samples in its
    // header and moves into `keepFolder` as "录音-yyyyMMdd-hhmmss.wav" (the
    // time it was last written); empty ones are removed; those of a copy of
    // the program that still runs are left alone. Returns the names given.
    static QStringList recoverLeftovers(const QString &tempFolder, const QString &keepFolder);

    // The recording in progress or kept (benchmarks, tests); null when none.
    const TakeRecorder *take() const { return take_.get(); }

protected:
    int execute(const QString &text, QString *reply) override;

private:
    int fail(int code, const QString &text);
    int status(const QStringList &words, QString *reply);
    int open(const QString &device, const QString &alias);
    void closeAll();

    AudioEngine &engine_;
    const QString tempFolder_;
    QString alias_;  // the open alias, empty when closed
    std::unique_ptr<TakeRecorder> take_;
    std::unique_ptr<WavePlayback> playback_;
    int takeCount_ = 0;
    QString error_;
};
