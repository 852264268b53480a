# Songs in and out: MIDI files turned into scores, scores written as
# MusicXML for notation programs, and the part list of a song opened in the
# window. The file format itself is in midifile/.
dzq_room(songs
  USES core songs/midifile performance chords rhythm score platform/files platform/dialogs
  SOURCES
  src/songs/SongMelody.h src/songs/SongMelody.cpp
  src/songs/SongKey.h src/songs/SongKey.cpp
  src/songs/SongImport.h src/songs/SongImport.cpp
  src/songs/SongOpening.h src/songs/SongOpening.cpp
  src/songs/SongAudition.h src/songs/SongAudition.cpp
  src/songs/ScoreTimeline.h src/songs/ScoreTimeline.cpp
  src/songs/MusicXml.h src/songs/MusicXml.cpp
)
dzq_room_part(songs views
  SOURCES
  src/songs/SongPartDialog.h src/songs/SongPartDialog.cpp
)
