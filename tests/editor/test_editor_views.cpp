#include <QApplication>

#include "TestMain.h"

// The editor window's tests register themselves.
DZQ_GUI_TEST_MAIN()
