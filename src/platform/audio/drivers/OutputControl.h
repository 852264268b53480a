#pragma once

#include "platform/audio/drivers/UnderrunPolicy.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class AudioProcessor;
class DeviceOutput;
class RealtimeKit;
class RenderThread;

// The program's sound output, seen from the owner thread: which device
// plays the processor (a JACK server where one runs, else PulseAudio, else
// RtAudio: ALSA), or the render thread without one; and, while it runs, its
// health every few hundred milliseconds:
//
// - The output starts with the smallest buffer (or the one asked for); after
//   an underrun it moves to the next larger one, and after a clean stretch it
//   tries the one below again, at a moment the output is silent (see
//   UnderrunPolicy; changed() each time).
// - An audio thread the system refuses real-time priority is put to the
//   desktop's rtkit, without waiting for the answer (changed() when granted).
// - After a while of silence the device stream pauses until wake().
// - A device whose server went away is replaced by the next that opens.
class OutputControl : public QObject {
    Q_OBJECT
public:
    // periodFrames: the render thread's period (and the smallest buffer).
    OutputControl(AudioProcessor &processor, int periodFrames, QObject *parent = nullptr);
    ~OutputControl() override;

    // The loading thread, before an output opens: the rate the device would
    // like the synthesizer to run at (a JACK server's, else 44.1 or 48 kHz
    // where the server or card prefers it), or 0 when none says.
    static int deviceSampleRate();

    // The loading thread, at most once: opens the first device that opens,
    // at the processor's rate; false when none does. firstBufferFrames: the
    // buffer to start with, 0 for the smallest.
    bool openDevice(int firstBufferFrames);
    // Without a device: the render thread paces the processor.
    void startRenderThread();
    // Owner thread, once ready: looks after the output from now on.
    void startWatching();
    // After this no callback runs.
    void stop();

    // "jack", "pulseaudio", "alsa", or empty when no device plays.
    QString deviceName() const { return deviceName_; }
    bool hasDevice() const { return output_ != nullptr; }
    int bufferFrames() const;
    bool buffersAreOurs() const;
    int latencyFrames() const;
    bool realTimePriority() const;
    double secondsAtThisBuffer() const;
    // One line for the user; lookAhead is appended.
    QString description(const QString &lookAhead) const;

    // Owner thread: resumes a paused stream.
    void wake();
    // Owner thread: waits until a period that is running now has ended (at
    // most timeoutMs; at once when no output runs).
    void waitForPeriod(int timeoutMs) const;

signals:
    // The output changed (a larger buffer, real-time priority, another device).
    void changed();
    // The synthesizer was idle at this check (a moment to let memory go).
    void idle();

private:
    bool open();
    void check();
    void replaceLost();
    void resize();
    bool outputIsSilent() const;
    void askRealtimeKit(quint64 threadId);

    ThreadRoles::Owner owner_;
    AudioProcessor &processor_;
    const int periodFrames_;
    int firstBufferFrames_ = 0;
    std::unique_ptr<DeviceOutput> output_;
    std::unique_ptr<RenderThread> renderThread_;
    QString deviceName_;
    QTimer watch_;
    UnderrunPolicy underrunPolicy_;
    qint64 framesAtStep_ = 0;  // renderedFrames() when the buffer last changed
    RealtimeKit *realtimeKit_ = nullptr;  // made on first need
};
