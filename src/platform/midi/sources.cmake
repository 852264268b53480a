# MIDI: the output backends (built-in synthesizer, RtMidi ports, log,
# recording) and the MIDI file writer.
list(APPEND DZQ_CORE_SOURCES
  src/platform/midi/MidiBackend.h
  src/platform/midi/ExternalMidiPorts.h
  src/platform/midi/RtMidiPorts.h src/platform/midi/RtMidiPorts.cpp
  src/platform/midi/SystemMidiBackend.h src/platform/midi/SystemMidiBackend.cpp
  src/platform/midi/MidiLogBackend.h src/platform/midi/MidiLogBackend.cpp
  src/platform/midi/RecordedMidi.h src/platform/midi/RecordedMidi.cpp
  src/platform/midi/MidiFileWriter.h src/platform/midi/MidiFileWriter.cpp
)
