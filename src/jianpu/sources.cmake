# Numbered notation (简谱) of the score: reading and row layout are logic,
# the window, its painting and the picture files are views.
list(APPEND DZQ_CORE_SOURCES
  src/jianpu/NotationSheet.h src/jianpu/NotationSheet.cpp
  src/jianpu/NotationRows.h src/jianpu/NotationRows.cpp
  src/jianpu/PngRows.h src/jianpu/PngRows.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/jianpu/NotationPicture.h src/jianpu/NotationPicture.cpp
  src/jianpu/NotationView.h src/jianpu/NotationView.cpp
  src/jianpu/NotationWindow.h src/jianpu/NotationWindow.cpp
  src/jianpu/NotationExport.h src/jianpu/NotationExport.cpp
  src/jianpu/BandedPng.h src/jianpu/BandedPng.cpp
)
