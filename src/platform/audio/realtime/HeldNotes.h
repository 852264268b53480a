#pragma once

#include "core/MidiMessage.h"

#include <QtGlobal>

#include <array>
#include <cstdint>

// The notes the synthesizer is sounding because a key is down or the
// sustain pedal holds them, with the velocity they were struck with, so
// that a synthesizer that replaces another (a new sound font) can strike
// them anew.
//
// It must see every message the synthesizer gets, in the same order: it is
// told inside the synthesizer's gate, on whichever thread applies the
// message (the owner's live messages, the audio thread's timed ones). No
// allocation, no lock: the gate keeps the two apart.
class HeldNotes {
public:
    // Takes note of one message.
    void note(const MidiMessage &message)
    {
        const int status = message.kind();
        Channel &c = channels_[std::size_t(message.channel())];
        const int data1 = message.data1 & 0x7F;
        const int data2 = message.data2 & 0x7F;
        if (status == 0x90 && data2 > 0) {
            c.keys[std::size_t(data1)] = std::uint8_t(kDown | data2);
        } else if (status == 0x80 || status == 0x90) {
            release(c, data1);
        } else if (status == 0xB0) {
            control(c, data1, data2);
        }
    }

    // Calls strike(channel, key, velocity, keyDown) for every note sounding:
    // keyDown false means the pedal alone holds it.
    template <typename Strike>
    void forEach(Strike strike) const
    {
        for (int channel = 0; channel < 16; ++channel) {
            const Channel &c = channels_[std::size_t(channel)];
            for (int key = 0; key < 128; ++key) {
                const std::uint8_t k = c.keys[std::size_t(key)];
                if (k != 0)
                    strike(channel, key, int(k & kVelocity), (k & kDown) != 0);
            }
        }
    }

    // Whether the sustain pedal of a channel is down.
    bool pedal(int channel) const { return channels_[std::size_t(channel & 0x0F)].pedal; }

private:
    static constexpr std::uint8_t kDown = 0x80;
    static constexpr std::uint8_t kVelocity = 0x7F;

    struct Channel {
        std::array<std::uint8_t, 128> keys{};  // 0: silent, else velocity | kDown while the key is down
        bool pedal = false;
    };

    static void release(Channel &c, int key)
    {
        std::uint8_t &k = c.keys[std::size_t(key)];
        k = c.pedal ? std::uint8_t(k & kVelocity) : 0;
    }

    static void control(Channel &c, int controller, int value)
    {
        switch (controller) {
        case 64:  // sustain pedal
            c.pedal = value >= 64;
            if (!c.pedal)
                dropSustained(c);
            break;
        case 120:  // all sound off
            c.keys.fill(0);
            break;
        case 121:  // reset all controllers: the pedal goes up
            c.pedal = false;
            dropSustained(c);
            break;
        case 123:  // all notes off: as if every key were let go
            for (int key = 0; key < 128; ++key)
                release(c, key);
            break;
        default:
            break;
        }
    }

    static void dropSustained(Channel &c)
    {
        for (std::uint8_t &k : c.keys) {
            if (!(k & kDown))
                k = 0;
        }
    }

    std::array<Channel, 16> channels_{};
};
