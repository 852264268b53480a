# User dialogs: the interface, and its Qt implementation for the program.
list(APPEND DZQ_CORE_SOURCES
  src/platform/dialogs/UserDialogs.h
)
list(APPEND DZQ_GUI_SOURCES
  src/platform/dialogs/QtUserDialogs.h src/platform/dialogs/QtUserDialogs.cpp
)
