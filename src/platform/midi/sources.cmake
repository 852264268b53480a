# MIDI: the output backends (built-in synthesizer, RtMidi ports, log,
# recording) and the input ports (ALSA through RtMidi, JACK through its own
# library) with the hand-over of their messages to the owner thread.
list(APPEND DZQ_CORE_SOURCES
  src/platform/midi/ExternalMidiPorts.h
  src/platform/midi/RtMidiPorts.h src/platform/midi/RtMidiPorts.cpp
  src/platform/midi/SystemMidiBackend.h src/platform/midi/SystemMidiBackend.cpp
  src/platform/midi/MidiLogBackend.h src/platform/midi/MidiLogBackend.cpp
  src/platform/midi/RecordedMidi.h src/platform/midi/RecordedMidi.cpp
  src/platform/midi/MidiInputPorts.h
  src/platform/midi/MidiStreamParser.h src/platform/midi/MidiStreamParser.cpp
  src/platform/midi/JackMidiInputs.h src/platform/midi/JackMidiInputs.cpp
  src/platform/midi/RtMidiInputs.h src/platform/midi/RtMidiInputs.cpp
  src/platform/midi/MidiInputs.h src/platform/midi/MidiInputs.cpp
)
