# User dialogs: the interface, and its Qt implementation for the program.
dzq_room(platform/dialogs
  SOURCES
  src/platform/dialogs/UserDialogs.h
)
dzq_room_part(platform/dialogs views
  SOURCES
  src/platform/dialogs/QtUserDialogs.h src/platform/dialogs/QtUserDialogs.cpp
)
