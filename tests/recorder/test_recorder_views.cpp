#include <QApplication>

#include "TestMain.h"

// The main window's recorder panel registers itself.
DZQ_GUI_TEST_MAIN()
