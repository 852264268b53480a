#pragma once

#include <QFile>
#include <QString>

#include <atomic>
#include <thread>

class AudioEngine;
typedef struct sf_private_tag SNDFILE;
typedef struct SRC_STATE_tag SRC_STATE;

// Plays a sound file through the program's output: decoded by libsndfile
// (WAV and whatever else it reads), resampled to the engine's rate with
// libsamplerate where the rates differ, and streamed by a feeder thread into
// the engine's playback input, which the audio callback mixes in before the
// master volume. Mono files sound on both sides; of more channels the first
// two are played.
//
// All methods belong to the thread that owns the media device.
class WavePlayback {
public:
    explicit WavePlayback(AudioEngine &engine);
    ~WavePlayback();
    WavePlayback(const WavePlayback &) = delete;
    WavePlayback &operator=(const WavePlayback &) = delete;

    // Opens the file and checks that it can be decoded.
    bool open(const QString &path, QString *error);
    // Starts playing from `fromMs` milliseconds into the file. False with
    // the reason when the file cannot go there (a format without seeking,
    // as GSM 6.10, plays from its start only).
    bool play(qint64 fromMs, QString *error);
    // Stops; nothing already buffered is heard afterwards.
    void stop();
    // Playing: the feeder still reads, or the output has not yet taken all
    // it was given.
    bool isPlaying() const;

    int fileRate() const { return rate_; }
    qint64 fileFrames() const { return frames_; }

private:
    void feed();  // feeder thread
    bool decode(QString *error);
    bool seekFrame(qint64 frame);

    AudioEngine &engine_;
    QFile file_;
    SNDFILE *sndfile_ = nullptr;
    SRC_STATE *resampler_ = nullptr;
    int channels_ = 0;
    int rate_ = 0;
    qint64 frames_ = 0;
    std::thread feeder_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> fed_{false};        // the feeder gave everything
    std::atomic<quint64> endMark_{0};      // the engine's pushed count at that point
    bool started_ = false;
};
