#pragma once

#include "core/MidiMessage.h"
#include "core/PlaybackTimer.h"
#include "songs/SongImport.h"

#include <functional>

class Clock;

// "试听" of one part of a song before it is chosen: its notes played on the
// first melody voice's channel, with that voice's instrument, through the
// program's own MIDI output. Starting again or stopping ends every note it
// started.
class SongAudition {
public:
    using Send = std::function<void(const MidiMessage &)>;
    SongAudition(Clock &clock, Send send);
    ~SongAudition();
    SongAudition(const SongAudition &) = delete;
    SongAudition &operator=(const SongAudition &) = delete;

    void play(const QVector<SongImport::HeardNote> &notes);
    void stop();
    bool playing() const { return timer_.isTicking(); }

    // Called when the last note has ended by itself.
    std::function<void()> finished;

    static constexpr int kChannel = 0;

private:
    struct Event {
        int ms = 0;
        int pitch = 0;
        bool on = false;
    };
    void tick();

    PlaybackTimer timer_;
    Send send_;
    QVector<Event> events_;
    int next_ = 0;
    QVector<int> sounding_;
};
