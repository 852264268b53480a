#pragma once

#include <QtGlobal>

// Status kinds (high nibble of the status byte) and controllers we use.
namespace Midi {
enum Kind : quint8 {
    NoteOff = 0x80,
    NoteOn = 0x90,
    KeyPressure = 0xA0,
    ControlChange = 0xB0,
    ProgramChange = 0xC0,
    ChannelPressure = 0xD0,
    PitchBend = 0xE0,
    System = 0xF0,
};
constexpr quint8 kBankSelect = 0;     // controller 0
constexpr quint8 kAllNotesOff = 123;  // controller 123
constexpr quint8 kPercussionChannel = 9;  // "channel 10"
}  // namespace Midi

// One short MIDI message, the one form it takes from the MIDI port down to
// the synthesizer, the devices, the recordings and the files. Packed into 32
// bits (status + data1 * 256 + data2 * 65536) only where it is stored so:
// the MIDI log and the rhythm step table.
struct MidiMessage {
    quint8 status = 0;
    quint8 data1 = 0;
    quint8 data2 = 0;

    static constexpr MidiMessage make(Midi::Kind kind, int channel, int data1, int data2 = 0)
    {
        return {quint8(kind | (channel & 0x0F)), quint8(data1), quint8(data2)};
    }
    // The three low bytes of a packed value; see fits() for the fourth.
    static constexpr MidiMessage unpack(quint32 packed)
    {
        return {quint8(packed & 0xFF), quint8((packed >> 8) & 0xFF), quint8((packed >> 16) & 0xFF)};
    }
    constexpr quint32 packed() const { return quint32(status) | quint32(data1) << 8 | quint32(data2) << 16; }
    // A packed value holds one message only when its fourth byte is 0.
    static constexpr bool fits(quint32 packed) { return (packed >> 24) == 0; }

    constexpr quint8 kind() const { return status & 0xF0; }
    constexpr int channel() const { return status & 0x0F; }
    // A note-on with velocity 0 is a note-off.
    constexpr bool isNoteOn() const { return kind() == Midi::NoteOn && data2 != 0; }
    constexpr bool isNoteOff() const { return kind() == Midi::NoteOff || (kind() == Midi::NoteOn && data2 == 0); }
    // Bytes the message takes on the wire, by its status byte.
    constexpr int length() const
    {
        switch (kind()) {
        case Midi::ProgramChange:
        case Midi::ChannelPressure:
            return 2;
        case Midi::System:
            return (status == 0xF1 || status == 0xF3) ? 2 : status == 0xF2 ? 3 : 1;
        default:
            return 3;
        }
    }
    constexpr bool operator==(const MidiMessage &o) const
    {
        return status == o.status && data1 == o.data1 && data2 == o.data2;
    }
    constexpr bool operator!=(const MidiMessage &o) const { return !(*this == o); }

    // A channel message with data bytes a device takes as they are.
    constexpr bool isValidChannelMessage() const
    {
        return status >= 0x80 && status < 0xF0 && data1 < 0x80 && (length() == 2 || data2 < 0x80);
    }
};

// One short message with the time it belongs to.
struct TimedMidiMessage {
    qint64 ns = 0;  // since the clock's zero
    MidiMessage message;
};
