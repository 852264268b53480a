list(APPEND DZQ_CORE_SOURCES
  src/app/Navigation.h src/app/Navigation.cpp
  src/app/StatusClock.h src/app/StatusClock.cpp
  src/app/PerformanceControllers.h src/app/PerformanceControllers.cpp
  src/app/MainWindowControllers.h src/app/MainWindowControllers.cpp
  src/app/ConsoleNotifier.h src/app/ConsoleNotifier.cpp
  src/app/ScoreRender.h src/app/ScoreRender.cpp
  src/app/EditorRender.h src/app/EditorRender.cpp
  src/app/ScoreExport.h src/app/ScoreExport.cpp
  src/app/ScoreExporter.h src/app/ScoreExporter.cpp
  src/app/RenderCommand.h src/app/RenderCommand.cpp
  src/app/CommandLine.h src/app/CommandLine.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/app/DZQQD.h src/app/DZQQD.cpp
  src/app/Form3.h src/app/Form3.cpp
  src/app/DisplayPanel.h src/app/DisplayPanel.cpp
  src/app/HelpPanel.h src/app/HelpPanel.cpp
  src/app/Form1.h src/app/Form1.cpp
  src/app/AppShell.h src/app/AppShell.cpp
)
