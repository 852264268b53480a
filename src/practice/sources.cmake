# Practice over the score (跟弹练习): the grading, the score made ready, the
# runs and their record and the command line's grading are logic; the
# window, its sheet, piano and plot are views.
list(APPEND DZQ_CORE_SOURCES
  src/practice/PracticeGrading.h src/practice/PracticeGrading.cpp
  src/practice/PracticeScore.h src/practice/PracticeScore.cpp
  src/practice/PracticeTake.h src/practice/PracticeTake.cpp
  src/practice/PracticeHistory.h src/practice/PracticeHistory.cpp
  src/practice/PracticeSession.h src/practice/PracticeSession.cpp
  src/practice/PracticeCommand.h src/practice/PracticeCommand.cpp
)
list(APPEND DZQ_GUI_SOURCES
  src/practice/PracticeSheetView.h src/practice/PracticeSheetView.cpp
  src/practice/PracticePiano.h src/practice/PracticePiano.cpp
  src/practice/AccuracyPlot.h src/practice/AccuracyPlot.cpp
  src/practice/PracticeWindow.h src/practice/PracticeWindow.cpp
)
