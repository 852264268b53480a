#include <QApplication>

#include "TestMain.h"

#include "ChordPanelTest.h"

DZQ_GUI_TEST_MAIN(ChordPanelTest)
