list(APPEND DZQ_CORE_SOURCES
  src/platform/MidiBackend.h
  src/platform/UserDialogs.h
  src/platform/SingleInstance.h src/platform/SingleInstance.cpp
  src/platform/RecordFolder.h src/platform/RecordFolder.cpp
  src/platform/TextFiles.h src/platform/TextFiles.cpp
  src/platform/MediaDevice.h src/platform/MediaDevice.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/platform/QtUserDialogs.h src/platform/QtUserDialogs.cpp
  src/platform/KeyCodes.h src/platform/KeyCodes.cpp
)
