list(APPEND DZQ_CORE_SOURCES
  src/app/EngineFontChoice.h src/app/EngineFontChoice.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/app/DZQQD.h src/app/DZQQD.cpp
  src/app/Form3.h src/app/Form3.cpp
  src/app/DisplayPanel.h src/app/DisplayPanel.cpp
  src/app/HelpPanel.h src/app/HelpPanel.cpp
  src/app/MidiInputButton.h src/app/MidiInputButton.cpp
  src/app/Form1.h src/app/Form1.cpp
  src/app/AppShell.h src/app/AppShell.cpp
)
