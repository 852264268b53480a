#pragma once

#include "core/MidiMessage.h"

#include <cstddef>

// Turns the bytes of one input port into whole channel messages. A message
// may come in pieces over several deliveries or several in one delivery; a
// status byte left out repeats the previous one (running status); real-time
// bytes may stand anywhere, even inside a message; system exclusive data
// and system common messages are skipped. Never allocates: it runs on the
// port's thread.
class MidiStreamParser {
public:
    // Calls deliver(const MidiMessage &) for every channel message completed.
    template <typename Deliver>
    void feed(const unsigned char *bytes, std::size_t length, Deliver &&deliver)
    {
        for (std::size_t i = 0; i < length; ++i) {
            MidiMessage m;
            if (take(bytes[i], &m))
                deliver(m);
        }
    }
    void reset() { *this = MidiStreamParser(); }

private:
    // Takes one byte; true when it completed a channel message.
    bool take(unsigned char byte, MidiMessage *out);

    quint8 status_ = 0;  // the message being collected (0: none)
    quint8 data_[2] = {};
    int have_ = 0;  // data bytes collected
    bool sysex_ = false;
};
