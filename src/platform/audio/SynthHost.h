#pragma once

#include "core/MidiMessage.h"
#include "platform/audio/ChannelMemory.h"
#include "platform/audio/FontCheck.h"
#include "platform/audio/ProgramCache.h"
#include "platform/audio/realtime/ThreadRoles.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class AudioProcessor;
typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

// The built-in synthesizer seen from the owner thread: it makes the
// synthesizer and loads its sound font, routes each message (at once through
// the gate, or timed through the processor's queue), keeps the programs'
// samples in memory before their changes go on (ProgramCache), and puts
// another sound font in place of the playing one.
//
// A font switch loads on a worker thread into a synthesizer of its own,
// which is given what every channel has been sent, and then replaces the
// playing one inside the gate: the old one fades out under the new one
// while the notes held are struck anew, and is deleted once no period can
// render it any more. One font loads at a time; only the last one asked for
// follows.
class SynthHost : public QObject {
    Q_OBJECT
public:
    // beforeFontRead: runs before each read of a sound font (tests).
    SynthHost(AudioProcessor &processor, std::function<void()> beforeFontRead, QObject *parent = nullptr);
    ~SynthHost() override;

    // The loading thread, before any output runs: a synthesizer at the
    // processor's rate with `soundFont` (empty: the system's), notices for
    // the user added; false when FluidSynth does not start. A chosen font
    // that cannot be loaded is replaced by the system's if fallBackToFound.
    bool load(const QString &soundFont, bool fallBackToFound, QStringList &notices);
    // Owner thread, before a message reaches the synthesizer (resumes a
    // paused output).
    void setWake(std::function<void()> wake) { wake_ = std::move(wake); }

    // Owner thread: the output runs; what was kept is played now.
    void setReady();
    // Owner thread, before setReady(): keeps a message to play then.
    void keep(const MidiMessage &message);
    // Owner thread: plays a message; soundNs < 0: at once, else the steady
    // time at which it sounds.
    void send(const MidiMessage &message, qint64 soundNs);

    QString fontPath() const { return fontPath_; }
    bool fontLoaded() const;
    int programsInMemory() const { return programs_->pinnedPrograms(); }
    void releaseUnusedPrograms();

    // Owner thread: see AudioEngine::switchSoundFont().
    void switchSoundFont(const QString &path);
    bool isSwitching() const { return switch_.worker.joinable() || !nextFont_.isEmpty(); }
    // Owner thread: a step towards no font loading: waits for the one
    // loading and puts it in place, or starts the one asked for next.
    void advanceSwitch();
    // Owner thread, once ready: starts a font asked for before.
    void startAskedFont();

signals:
    void notice(const QString &text);
    void soundFontChanged();

private:
    // Loading thread: a font into the synthesizer.
    FontCheck::Verdict loadFont(const QString &path);
    void loadFoundFont(QStringList &notices);
    void play(const MidiMessage &message);
    void startSwitch(const QString &path);
    void loadSwitch();    // switch worker thread
    void finishSwitch();
    Q_INVOKABLE void switchLoaded();  // owner thread, posted by the switch worker
    void retireSynths();
    void strikeHeldNotes(fluid_synth_t *synth);  // inside the gate

    ThreadRoles::Owner owner_;
    AudioProcessor &processor_;
    const std::function<void()> beforeFontRead_;
    std::function<void()> wake_;
    bool ready_ = false;
    std::vector<MidiMessage> early_;  // sent before ready
    std::unique_ptr<ProgramCache> programs_;
    ChannelMemory channels_;  // the lasting state each channel has been sent
    fluid_settings_t *settings_ = nullptr;  // the playing synthesizer's
    QString fontPath_;

    // A sound font loading for switchSoundFont(): the worker fills in the
    // rest; the owner takes it after joining the worker.
    struct FontSwitch {
        std::thread worker;
        QString path;
        std::vector<MidiMessage> state;  // the channels' state when asked
        fluid_settings_t *settings = nullptr;
        fluid_synth_t *synth = nullptr;
        std::unique_ptr<ProgramCache> programs;
        bool loaded = false;
        FontCheck::Verdict verdict = FontCheck::Verdict::Broken;
    };
    FontSwitch switch_;
    QString nextFont_;  // asked for while another loads (or before ready)
    quint64 switchSerial_ = 0;  // the switch loading now
    std::atomic<quint64> loadedSerial_{0};  // the last switch its worker finished
    // Replaced synthesizers, deleted once the audio thread is done with them.
    struct Retired {
        fluid_synth_t *synth;
        fluid_settings_t *settings;
        quint64 periodsAt;  // the processor's periods() when it was replaced
    };
    std::vector<Retired> retired_;
    QTimer retireTimer_;
};
