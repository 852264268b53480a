# Practice over the score (跟弹练习): the grading, the score made ready, the
# runs and their record and the command line's grading are logic; the
# window, its sheet, piano and plot are views.
dzq_room(practice
  USES core headless midiport performance score songs songs/midifile jianpu platform/files platform/dialogs
  SOURCES
  src/practice/PracticeGrading.h src/practice/PracticeGrading.cpp
  src/practice/PracticeScore.h src/practice/PracticeScore.cpp
  src/practice/PracticeTake.h src/practice/PracticeTake.cpp
  src/practice/PracticeHistory.h src/practice/PracticeHistory.cpp
  src/practice/PracticeSession.h src/practice/PracticeSession.cpp
  src/practice/PracticeCommand.h src/practice/PracticeCommand.cpp
)
dzq_room_part(practice views
  USES core performance rhythm jianpu:views resources:views widgets:views
  SOURCES
  src/practice/PracticeSheetView.h src/practice/PracticeSheetView.cpp
  src/practice/PracticePiano.h src/practice/PracticePiano.cpp
  src/practice/AccuracyPlot.h src/practice/AccuracyPlot.cpp
  src/practice/PracticeWindow.h src/practice/PracticeWindow.cpp
)
