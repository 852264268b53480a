#pragma once

#include "platform/MediaDevice.h"

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
//   STATUS NN MODE ("recording", "playing" or "stopped"), SAVE NN <path>
//
// Verbs, keywords and the alias are case-insensitive; paths may be quoted.
// A command to an alias that is not open fails and changes nothing. The
// recording lives in a temporary file in `tempFolder` until it is saved;
// closing discards it.
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

    int command(const QString &text, QString *reply = nullptr) override;
    QString errorText() const override { return error_; }

    // Removes recordings left in the folder by a run that did not end
    // normally; returns how many.
    static int removeLeftovers(const QString &tempFolder);

    // The recording in progress or kept (benchmarks, tests); null when none.
    const TakeRecorder *take() const { return take_.get(); }

private:
    int fail(int code, const QString &text);
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
