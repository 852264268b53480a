#include "platform/audio/realtime/SynthRender.h"

#include <fluidsynth.h>

namespace SynthRender {

void processBlock(fluid_synth_t *synth, float *left, float *right, int frames)
{
    float *out[2] = {left, right};
    float *fx[4] = {left, right, left, right};  // effects mixed into the output
    fluid_synth_process(synth, frames, 4, fx, 2, out);
}

void applyShortMessage(fluid_synth_t *synth, const MidiMessage &m)
{
    const int channel = m.channel();
    const int data1 = m.data1 & 0x7F;
    const int data2 = m.data2 & 0x7F;
    switch (m.kind()) {
    case Midi::NoteOn:
        if (data2 > 0)
            fluid_synth_noteon(synth, channel, data1, data2);
        else
            fluid_synth_noteoff(synth, channel, data1);
        break;
    case Midi::NoteOff:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case Midi::KeyPressure:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case Midi::ControlChange:
        // Controller 0 is the bank select; FluidSynth takes it as a controller.
        fluid_synth_cc(synth, channel, data1, data2);
        break;
    case Midi::ProgramChange:
        fluid_synth_program_change(synth, channel, data1);
        break;
    case Midi::ChannelPressure:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    case Midi::PitchBend:
        fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
        break;
    default:
        break;  // data bytes or system messages: not ours to play
    }
}

}  // namespace SynthRender
