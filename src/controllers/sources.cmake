# Controller groups without windows: the performance group of any session, and the
# main window's own tab navigation and clock line.
list(APPEND DZQ_CORE_SOURCES
  src/controllers/Navigation.h src/controllers/Navigation.cpp
  src/controllers/StatusClock.h src/controllers/StatusClock.cpp
  src/controllers/PerformanceControllers.h src/controllers/PerformanceControllers.cpp
)
