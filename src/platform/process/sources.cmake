# The program's process: the signals that end it in order.
list(APPEND DZQ_CORE_SOURCES
  src/platform/process/QuitSignals.h src/platform/process/QuitSignals.cpp
)
