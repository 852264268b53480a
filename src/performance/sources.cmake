dzq_room(performance
  USES core midiport resources
  SOURCES
  src/performance/KeyTable.h src/performance/KeyTable.cpp
  src/performance/VoiceNotes.h src/performance/VoiceNotes.cpp
  src/performance/ScoreWriting.h src/performance/ScoreWriting.cpp
  src/performance/MiniKeyboard.h src/performance/MiniKeyboard.cpp
  src/performance/TempoList.h
  src/performance/MelodyVoices.h src/performance/MelodyVoices.cpp
  src/performance/PianoHandler.h
  src/performance/OnScreenKeyboard.h src/performance/OnScreenKeyboard.cpp
  src/performance/KeyboardPartners.h
  src/performance/KeyboardEngine.h src/performance/KeyboardEngine.cpp
  src/performance/HardwareNoteTarget.h
  src/performance/HardwareKeyboard.h src/performance/HardwareKeyboard.cpp
  src/performance/HardwareTargets.h src/performance/HardwareTargets.cpp
)
dzq_room_part(performance views
  USES midiport:views resources:views widgets:views
  SOURCES
  src/performance/MelodyPanel.h src/performance/MelodyPanel.cpp
  src/performance/PianoKeys.h src/performance/PianoKeys.cpp
  src/performance/LayoutPicture.h src/performance/LayoutPicture.cpp
  src/performance/Form2.h src/performance/Form2.cpp
  src/performance/KeyboardButton.h src/performance/KeyboardButton.cpp
)
