#include <QApplication>

#include "TestMain.h"

DZQ_GUI_TEST_MAIN()
