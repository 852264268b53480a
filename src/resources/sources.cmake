dzq_room(resources
  SOURCES
  src/resources/StringTable.h src/resources/StringTable.cpp
)
dzq_room_part(resources views
  SOURCES
  src/resources/WelcomePicture.h src/resources/WelcomePicture.cpp
  src/resources/KeyArtwork.h src/resources/KeyArtwork.cpp
  src/resources/RecorderArtwork.h src/resources/RecorderArtwork.cpp
)
