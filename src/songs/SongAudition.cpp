#include "songs/SongAudition.h"

#include <algorithm>

SongAudition::SongAudition(Clock &clock, Send send)
    : timer_(clock, QStringLiteral("SongAudition")), send_(std::move(send))
{
    timer_.onTick = [this] { tick(); };
}

SongAudition::~SongAudition()
{
    stop();
}

void SongAudition::play(const QVector<SongImport::HeardNote> &notes)
{
    stop();
    events_.clear();
    for (const SongImport::HeardNote &n : notes) {
        events_.append({n.startMs, n.pitch, true});
        events_.append({n.startMs + n.lengthMs, n.pitch, false});
    }
    // At one time a note ends before the next one starts.
    std::stable_sort(events_.begin(), events_.end(), [](const Event &a, const Event &b) {
        return a.ms < b.ms || (a.ms == b.ms && !a.on && b.on);
    });
    if (events_.isEmpty())
        return;
    next_ = 0;
    // The first notes sound at once; the timer waits for the rest.
    const int first = events_.first().ms;
    for (Event &e : events_)
        e.ms -= first;
    timer_.setInterval(1);
    timer_.setEnabled(true);
    tick();
}

void SongAudition::tick()
{
    const int now = next_ < events_.size() ? events_[next_].ms : 0;
    while (next_ < events_.size() && events_[next_].ms == now) {
        const Event &e = events_[next_++];
        if (e.on) {
            send_(MidiMessage::make(Midi::NoteOn, kChannel, e.pitch, 100));
            sounding_ << e.pitch;
        } else if (sounding_.removeOne(e.pitch)) {
            send_(MidiMessage::make(Midi::NoteOff, kChannel, e.pitch));
        }
    }
    if (next_ >= events_.size()) {
        timer_.setEnabled(false);
        if (finished)
            finished();
        return;
    }
    timer_.setInterval(events_[next_].ms - now);
}

void SongAudition::stop()
{
    timer_.setEnabled(false);
    for (int pitch : std::as_const(sounding_))
        send_(MidiMessage::make(Midi::NoteOff, kChannel, pitch));
    sounding_.clear();
    events_.clear();
    next_ = 0;
}
