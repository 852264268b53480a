#include "platform/audio/ChannelMemory.h"

#include "core/MidiMessage.h"

namespace {

constexpr int kBankLsb = 32;
constexpr int kResetAllControllers = 121;

}  // namespace

bool ChannelMemory::isState(int controller)
{
    // 6/38 and 96..101 are data entry and the (N)RPN it goes to: replayed
    // alone they would change whichever parameter happens to be selected.
    // 120..127 are channel modes and "all notes/sound off".
    if (controller == 6 || controller == 38 || (controller >= 96 && controller <= 101))
        return false;
    return controller < 120;
}

void ChannelMemory::note(const MidiMessage &m)
{
    if (!m.isValidChannelMessage())
        return;
    Channel &c = channels_[std::size_t(m.channel())];
    switch (m.kind()) {
    case Midi::ControlChange:
        if (m.data1 == kResetAllControllers) {
            // Banks and programs stay; the other controllers go back to
            // their defaults, which a fresh synthesizer has anyway.
            const qint16 msb = c.cc[Midi::kBankSelect], lsb = c.cc[kBankLsb];
            c.cc.fill(-1);
            c.cc[Midi::kBankSelect] = msb;
            c.cc[kBankLsb] = lsb;
            c.bend = -1;
        } else if (isState(m.data1)) {
            c.cc[m.data1] = qint16(m.data2);
        }
        break;
    case Midi::ProgramChange:
        c.program = m.data1;
        break;
    case Midi::PitchBend:
        c.bend = m.data1 | (m.data2 << 7);
        break;
    default:
        break;
    }
}

void ChannelMemory::clear() { channels_.fill(Channel()); }

std::vector<MidiMessage> ChannelMemory::replay() const
{
    std::vector<MidiMessage> out;
    for (int channel = 0; channel < 16; ++channel) {
        const Channel &c = channels_[std::size_t(channel)];
        const auto cc = [&](int controller, int value) {
            out.push_back(MidiMessage::make(Midi::ControlChange, channel, controller, value));
        };
        // A bank select takes effect at the next program change.
        if (c.cc[Midi::kBankSelect] >= 0)
            cc(Midi::kBankSelect, c.cc[Midi::kBankSelect]);
        if (c.cc[kBankLsb] >= 0)
            cc(kBankLsb, c.cc[kBankLsb]);
        if (c.program >= 0)
            out.push_back(MidiMessage::make(Midi::ProgramChange, channel, c.program));
        for (int controller = 1; controller < 128; ++controller) {
            if (controller != kBankLsb && c.cc[std::size_t(controller)] >= 0)
                cc(controller, c.cc[std::size_t(controller)]);
        }
        if (c.bend >= 0)
            out.push_back(MidiMessage::make(Midi::PitchBend, channel, c.bend & 0x7F, c.bend >> 7));
    }
    return out;
}
