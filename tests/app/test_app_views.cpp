#include <QApplication>

#include "TestMain.h"

// The window tests register themselves.
DZQ_GUI_TEST_MAIN()
