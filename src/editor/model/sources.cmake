# The music editor's measures without a window: the model, the header
# lines of a measure, edit files (.lnk) and a score read into measures.
dzq_room(editor/model
  USES resources score platform/files
  SOURCES
  src/editor/model/EditorModel.h src/editor/model/EditorModel.cpp
  src/editor/model/MeasureHeader.h src/editor/model/MeasureHeader.cpp
  src/editor/model/EditFile.h src/editor/model/EditFile.cpp
  src/editor/model/ScoreImport.h src/editor/model/ScoreImport.cpp
)
