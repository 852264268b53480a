# The wave recorder: one controller per front end over the shared media
# device, the main window's recorder panel and the editor's recorder group.
list(APPEND DZQ_CORE_SOURCES
  src/recorder/RecorderDisplay.h src/recorder/RecorderDisplay.cpp
  src/recorder/WaveRecorder.h src/recorder/WaveRecorder.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/recorder/RecorderView.h src/recorder/RecorderView.cpp
  src/recorder/EditorRecorderView.h src/recorder/EditorRecorderView.cpp
)
