# The wave recorder: one controller per front end over the shared media
# device, the main window's recorder panel and the editor's recorder group.
dzq_room(recorder
  USES core platform/media platform/dialogs
  SOURCES
  src/recorder/RecorderDisplay.h src/recorder/RecorderDisplay.cpp
  src/recorder/WaveRecorder.h src/recorder/WaveRecorder.cpp
)
dzq_room_part(recorder views
  USES resources:views
  SOURCES
  src/recorder/RecorderView.h src/recorder/RecorderView.cpp
  src/recorder/EditorRecorderView.h src/recorder/EditorRecorderView.cpp
)
