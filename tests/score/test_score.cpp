#include <QApplication>

#include "TestMain.h"

#include "NotationReaderTest.h"

// The player, file and score box tests register themselves.
DZQ_GUI_TEST_MAIN(NotationReaderTest)
