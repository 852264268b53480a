#pragma once

#include "core/Clock.h"
#include "core/Session.h"
#include "core/SharedState.h"
#include "core/WindowDisplay.h"
#include "headless/KeptDialogs.h"
#include "midiport/MidiPort.h"
#include "platform/media/MediaDevice.h"
#include "platform/midi/RecordedMidi.h"

#include <QString>

#include <type_traits>

// A session without a window: the shared values, what the window it stands
// in for would show, a virtual clock that moves only when driven, the MIDI
// port on an output backend, the dialogs, the media device, and the Session
// over them that the controllers are given. Nothing waits for real time.
//
// The three backends are chosen by type; an export uses RenderSession below,
// a test its fakes. A backend that can be built on the clock is given it (the
// recorded output stamps messages sent outside timed playing with the
// clock's present).
//
// Large (the shared values hold long tables): an export keeps one on the heap.
template <typename MidiOutput, typename Dialogs, typename Media>
struct HeadlessSession {
    explicit HeadlessSession(const QString &recordFolder = QString())
        : midi(onClock<MidiOutput>(clock)),
          ctx{state, port, media, dialogs, clock, recordFolder}
    { }
    HeadlessSession(const HeadlessSession &) = delete;
    HeadlessSession &operator=(const HeadlessSession &) = delete;

    // Built in this order: each part refers only to those above it.
    SharedState state;
    WindowDisplay window;
    VirtualClock clock;
    Dialogs dialogs;
    MidiOutput midi;
    MidiPort port{midi, dialogs, clock};  // its errors are shown through the dialogs
    Media media;
    Session ctx;

private:
    template <typename Backend>
    static Backend onClock(const Clock &clock)
    {
        if constexpr (std::is_constructible_v<Backend, const Clock &>)
            return Backend(clock);
        else
            return Backend();
    }
};

// The session of a render or export: every MIDI message recorded with its
// time, messages kept (nobody answers a question), no recorder device.
using RenderSession = HeadlessSession<RecordedMidi, KeptDialogs, SilentMediaDevice>;
