# Sessions without a window: score and edit renders, exports to files, the
# command line and its console.
dzq_room(headless
  USES core controllers midiport performance score songs songs/midifile jianpu editor editor/model platform/audio platform/media platform/midi platform/files platform/dialogs
  SOURCES
  src/headless/ConsoleNotifier.h src/headless/ConsoleNotifier.cpp
  src/headless/KeptDialogs.h
  src/headless/HeadlessSession.h
  src/headless/ScoreRender.h src/headless/ScoreRender.cpp
  src/headless/EditorRender.h src/headless/EditorRender.cpp
  src/headless/ScoreExport.h src/headless/ScoreExport.cpp
  src/headless/RenderCommand.h src/headless/RenderCommand.cpp
  src/headless/CommandLine.h src/headless/CommandLine.cpp
)
