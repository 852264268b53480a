list(APPEND DZQ_CORE_SOURCES
  src/app/Navigation.h src/app/Navigation.cpp
  src/app/StatusClock.h src/app/StatusClock.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/app/DZQQD.h src/app/DZQQD.cpp
  src/app/Form3.h src/app/Form3.cpp
)
