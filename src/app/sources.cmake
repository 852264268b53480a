dzq_room(app
  USES midiport platform/audio
  SOURCES
  src/app/EngineFontChoice.h src/app/EngineFontChoice.cpp
)
dzq_room_part(app views
  USES core controllers controllers/mainwindow midiport performance:views rhythm:views chords:views score:views jianpu:views recorder:views editor:views practice:views songs:views resources:views widgets:views platform/audio platform/media platform/midi platform/midi:devices platform/files platform/process platform/dialogs:views
  SOURCES
  src/app/DZQQD.h src/app/DZQQD.cpp
  src/app/Form3.h src/app/Form3.cpp
  src/app/DisplayPanel.h src/app/DisplayPanel.cpp
  src/app/HelpPanel.h src/app/HelpPanel.cpp
  src/app/MidiInputButton.h src/app/MidiInputButton.cpp
  src/app/Form1.h src/app/Form1.cpp
  src/app/AppShell.h src/app/AppShell.cpp
)
