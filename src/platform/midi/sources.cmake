# MIDI: the output backends (built-in synthesizer, log, recording) and the
# hand-over of input messages to the owner thread. The machine's own MIDI
# devices (RtMidi's ports, ALSA through RtMidi and JACK through its own
# library) are a part of their own, dzq_platform_midi_devices: only what plays or
# lists real devices links them, so no other room's logic test links RtMidi.
dzq_room(platform/midi
  USES core platform/audio/realtime
  SOURCES
  src/platform/midi/ExternalMidiPorts.h
  src/platform/midi/MidiLogBackend.h src/platform/midi/MidiLogBackend.cpp
  src/platform/midi/RecordedMidi.h src/platform/midi/RecordedMidi.cpp
  src/platform/midi/MidiInputPorts.h
  src/platform/midi/MidiStreamParser.h src/platform/midi/MidiStreamParser.cpp
  src/platform/midi/MidiInputs.h src/platform/midi/MidiInputs.cpp
)
dzq_room_part(platform/midi devices
  USES core platform/audio platform/audio/drivers
  PACKAGES PkgConfig::RTMIDI PkgConfig::JACK $<$<PLATFORM_ID:Linux>:PkgConfig::ALSA>
  SOURCES
  src/platform/midi/RtMidiPorts.h src/platform/midi/RtMidiPorts.cpp
  src/platform/midi/SystemMidiBackend.h src/platform/midi/SystemMidiBackend.cpp
  src/platform/midi/JackMidiInputs.h src/platform/midi/JackMidiInputs.cpp
  src/platform/midi/RtMidiInputs.h src/platform/midi/RtMidiInputs.cpp
)
