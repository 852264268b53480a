# Numbered notation (简谱) of the score: reading and row layout are logic,
# the window, its painting and the picture files are views.
list(APPEND DZQ_CORE_SOURCES
  src/notation/NotationSheet.h src/notation/NotationSheet.cpp
  src/notation/NotationRows.h src/notation/NotationRows.cpp
  src/notation/RowDeflater.h src/notation/RowDeflater.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/notation/NotationPicture.h src/notation/NotationPicture.cpp
  src/notation/NotationView.h src/notation/NotationView.cpp
  src/notation/NotationWindow.h src/notation/NotationWindow.cpp
  src/notation/NotationExport.h src/notation/NotationExport.cpp
  src/notation/BandedPng.h src/notation/BandedPng.cpp
)
