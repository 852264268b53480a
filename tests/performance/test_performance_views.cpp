#include <QApplication>

#include "PerformanceViewTests.h"
#include "TestMain.h"

DZQ_GUI_TEST_MAIN(KeyCodesTest, PerformanceViewsTest, Form2Test)
