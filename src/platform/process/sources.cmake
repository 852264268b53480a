# The program's process: the signals that end it in order.
dzq_room(platform/process
  SOURCES
  src/platform/process/QuitSignals.h src/platform/process/QuitSignals.cpp
)
