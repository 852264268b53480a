# The main window's own controller groups: tabs and help, the clock line,
# the export button, and the composition of everything the window drives
# (device list, MIDI keyboards, recorder, song opening, the editor).
dzq_room(controllers/mainwindow
  USES core controllers headless midiport performance rhythm score songs jianpu recorder editor editor/model resources platform/midi platform/dialogs
  SOURCES
  src/controllers/mainwindow/Navigation.h src/controllers/mainwindow/Navigation.cpp
  src/controllers/mainwindow/StatusClock.h src/controllers/mainwindow/StatusClock.cpp
  src/controllers/mainwindow/ScoreExporter.h src/controllers/mainwindow/ScoreExporter.cpp
  src/controllers/mainwindow/MainWindowControllers.h src/controllers/mainwindow/MainWindowControllers.cpp
)
