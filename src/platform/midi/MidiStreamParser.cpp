#include "platform/midi/MidiStreamParser.h"

bool MidiStreamParser::take(unsigned char byte, MidiMessage *out)
{
    if (byte >= 0xF8)
        return false;  // real time: clock, start, stop, active sensing, reset
    if (byte >= 0x80) {
        have_ = 0;
        sysex_ = byte == 0xF0;
        // A system message ends running status; a tune request or the end
        // of system exclusive data carries nothing.
        status_ = (byte == 0xF0 || byte == 0xF6 || byte == 0xF7) ? 0 : byte;
        return false;
    }
    if (sysex_ || status_ == 0)
        return false;  // inside system exclusive data, or a stray data byte
    data_[have_++] = byte;
    const MidiMessage probe{status_, 0, 0};
    if (have_ < probe.length() - 1)
        return false;
    have_ = 0;
    if (status_ >= 0xF0) {
        status_ = 0;  // a system common message: skipped, no running status
        return false;
    }
    *out = {status_, data_[0], probe.length() == 3 ? data_[1] : quint8(0)};
    return true;
}
