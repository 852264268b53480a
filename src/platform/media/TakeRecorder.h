#pragma once

#include <QFile>
#include <QString>

#include <atomic>
#include <thread>

class AudioEngine;
typedef struct sf_private_tag SNDFILE;

// One recording of the program's own output (the engine's output tap),
// streamed by a writer thread into a temporary WAV file: engine rate, 16-bit
// PCM, stereo, switching to RF64 by itself when the take outgrows a plain
// WAV file. Memory stays the same for a take of any length.
//
// All methods belong to the thread that owns the media device.
class TakeRecorder {
public:
    explicit TakeRecorder(AudioEngine &engine);
    ~TakeRecorder();  // stops and deletes the temporary file
    TakeRecorder(const TakeRecorder &) = delete;
    TakeRecorder &operator=(const TakeRecorder &) = delete;

    // Creates the (empty) temporary file.
    bool create(const QString &tempPath, QString *error);
    // Starts or resumes recording; the tap's earlier frames are dropped.
    bool start(QString *error);
    // Stops recording; every frame tapped so far is in the file afterwards.
    void stop();
    // Recording, and no write has failed.
    bool isRecording() const { return writer_.joinable() && !writeFailed_.load(); }
    // A write failed (a full disk): the recording stopped at once; what was
    // written before stays and can be saved. The reason, for the user.
    bool writeFailed() const { return writeFailed_.load(); }
    QString writeError() const { return writeFailed() ? writeError_ : QString(); }

    // Writes the take so far to `target` through a temporary file beside it
    // and a rename: a failed save leaves an existing file untouched. The take
    // stays and can be saved again. Stops a running recording first.
    bool saveTo(const QString &target, QString *error);
    // The temporary file is not deleted with the take but left, complete,
    // for the next start to keep (a take that could not be saved at exit).
    void leaveFile() { leaveFile_ = true; }

    // Frames in the file, frames the tap could not keep, largest backlog seen
    // in the tap (frames waiting for the writer).
    qint64 framesWritten() const { return written_.load(); }
    quint64 framesLost() const { return lost_; }
    int maxBacklogFrames() const { return maxBacklog_.load(); }
    QString tempPath() const { return file_.fileName(); }

private:
    void writeLoop();  // writer thread
    void close();
    bool copyTo(QFileDevice &out, QString *error);

    AudioEngine &engine_;
    QFile file_;
    SNDFILE *sndfile_ = nullptr;
    std::thread writer_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> writeFailed_{false};
    std::atomic<qint64> written_{0};
    std::atomic<int> maxBacklog_{0};
    quint64 lost_ = 0;
    quint64 lostAtStart_ = 0;
    QString writeError_;  // set by the writer before it stops
    bool leaveFile_ = false;
};
