# The standard MIDI file format: read into tracks of timed events, and
# written from what a score plays (in the score's own tempo and time).
dzq_room(songs/midifile
  USES core platform/files
  SOURCES
  src/songs/midifile/MidiFile.h src/songs/midifile/MidiFile.cpp
  src/songs/midifile/MidiFileWriter.h src/songs/midifile/MidiFileWriter.cpp
)
