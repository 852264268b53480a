#include "TestMain.h"

#include <QApplication>

// The recorder's tests register themselves: logic on a scripted device, the
// real media device on the audio engine, and the main window's panel.
DZQ_GUI_TEST_MAIN()
