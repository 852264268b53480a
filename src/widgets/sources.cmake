# Qt widget helpers shared by the windows: choice lists, key codes, window
# placement, the key-taking button every playing window builds on, the
# names, roles and actions screen readers are given.
dzq_room_part(widgets views
  SOURCES
  src/widgets/PlayingKeyButton.h src/widgets/PlayingKeyButton.cpp
  src/widgets/KeyCodes.h src/widgets/KeyCodes.cpp
  src/widgets/ChoiceList.h src/widgets/ChoiceList.cpp
  src/widgets/WindowPlacement.h src/widgets/WindowPlacement.cpp
  src/widgets/AccessibleName.h src/widgets/AccessibleName.cpp
  src/widgets/AccessibleInterfaces.h src/widgets/AccessibleInterfaces.cpp
)
