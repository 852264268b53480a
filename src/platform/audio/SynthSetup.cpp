#include "platform/audio/SynthSetup.h"

#include "core/MidiMessage.h"
#include <QFileInfo>

#include <fluidsynth.h>

namespace SynthSetup {

QStringList soundFontCandidates()
{
    return {QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
            QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
            QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2")};
}

QString findSoundFont()
{
    for (const QString &path : soundFontCandidates()) {
        const QFileInfo info(path);
        if (info.isFile() && info.isReadable())
            return info.absoluteFilePath();
    }
    return QString();
}

QString missingSoundFontText()
{
    return QStringLiteral("未找到 General MIDI 音色库，内置合成器不能发声。"
                          "请安装软件包 fluid-soundfont-gm（sudo apt install fluid-soundfont-gm）后重新启动本程序。");
}

QString soundFontLoadFailedText(const QString &path)
{
    return QStringLiteral("音色库 %1 无法加载，内置合成器不能发声。"
                          "请重新安装软件包 fluid-soundfont-gm 后重新启动本程序。")
        .arg(path);
}

fluid_settings_t *newSettings(int sampleRate, Samples samples, int channels)
{
    fluid_settings_t *s = new_fluid_settings();
    if (!s)
        return nullptr;
    fluid_settings_setnum(s, "synth.sample-rate", double(sampleRate));
    fluid_settings_setnum(s, "synth.gain", kSynthGain);
    fluid_settings_setint(s, "synth.reverb.active", 1);
    fluid_settings_setint(s, "synth.chorus.active", 1);
    fluid_settings_setint(s, "synth.threadsafe-api", 1);
    fluid_settings_setint(s, "synth.cpu-cores", 1);
    fluid_settings_setint(s, "synth.midi-channels", channels);
    if (samples == Samples::OnDemand)
        fluid_settings_setint(s, "synth.dynamic-sample-loading", 1);
    return s;
}

void processBlock(fluid_synth_t *synth, float *left, float *right, int frames)
{
    float *out[2] = {left, right};
    float *fx[4] = {left, right, left, right};  // effects mixed into the output
    fluid_synth_process(synth, frames, 4, fx, 2, out);
}

void applyShortMessage(fluid_synth_t *synth, quint32 message)
{
    const MidiMessage m = MidiMessage::unpack(message);
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

}  // namespace SynthSetup
