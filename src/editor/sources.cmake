dzq_room(editor
  USES core editor/model midiport resources rhythm score platform/files platform/dialogs
  SOURCES
  src/editor/EditorControls.h src/editor/EditorControls.cpp
  src/editor/EditorPlayback.h src/editor/EditorPlayback.cpp
  src/editor/EditorFiles.h src/editor/EditorFiles.cpp
  src/editor/EditorControllers.h src/editor/EditorControllers.cpp
  src/editor/MainRhythmLink.h src/editor/MainRhythmLink.cpp
)
dzq_room_part(editor views
  USES core midiport:views recorder:views resources platform/dialogs widgets:views
  SOURCES
  src/editor/BeatBox.h src/editor/BeatBox.cpp
  src/editor/MeasureRows.h src/editor/MeasureRows.cpp
  src/editor/YYBJ.h src/editor/YYBJ.cpp
)
