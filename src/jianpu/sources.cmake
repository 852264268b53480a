# Numbered notation (简谱) of the score: reading and row layout are logic,
# the window, its painting and the picture files are views.
dzq_room(jianpu
  USES performance chords rhythm score
  PACKAGES PkgConfig::ZLIB
  SOURCES
  src/jianpu/NotationSheet.h src/jianpu/NotationSheet.cpp
  src/jianpu/NotationRows.h src/jianpu/NotationRows.cpp
  src/jianpu/PngRows.h src/jianpu/PngRows.cpp
)
dzq_room_part(jianpu views
  USES core performance rhythm score platform/files platform/dialogs
  PACKAGES PkgConfig::ZLIB Qt6::PrintSupport Qt6::Svg
  SOURCES
  src/jianpu/NotationPicture.h src/jianpu/NotationPicture.cpp
  src/jianpu/NotationView.h src/jianpu/NotationView.cpp
  src/jianpu/NotationWindow.h src/jianpu/NotationWindow.cpp
  src/jianpu/NotationExport.h src/jianpu/NotationExport.cpp
  src/jianpu/BandedPng.h src/jianpu/BandedPng.cpp
)
