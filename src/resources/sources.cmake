list(APPEND DZQ_CORE_SOURCES
  src/resources/StringTable.h src/resources/StringTable.cpp
)
