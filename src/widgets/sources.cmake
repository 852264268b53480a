# Qt widget helpers shared by the windows: choice lists, key codes, window
# placement, the key-taking buttons.
list(APPEND DZQ_GUI_SOURCES
  src/widgets/KeyboardButton.h src/widgets/KeyboardButton.cpp
  src/widgets/PlayingKeyButton.h src/widgets/PlayingKeyButton.cpp
  src/widgets/KeyCodes.h src/widgets/KeyCodes.cpp
  src/widgets/ChoiceList.h src/widgets/ChoiceList.cpp
  src/widgets/WindowPlacement.h src/widgets/WindowPlacement.cpp
)
