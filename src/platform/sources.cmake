# Sources of this room are listed here.
list(APPEND DZQ_GUI_SOURCES
  src/platform/KeyCodes.h src/platform/KeyCodes.cpp
)
