list(APPEND DZQ_CORE_SOURCES
  src/resources/StringTable.h src/resources/StringTable.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/resources/WelcomePicture.h src/resources/WelcomePicture.cpp
  src/resources/KeyArtwork.h src/resources/KeyArtwork.cpp
  src/resources/RecorderArtwork.h src/resources/RecorderArtwork.cpp
)
