#include <QApplication>

#include "TestMain.h"

#include "ChordAccompanimentTest.h"
#include "ChordPanelTest.h"
#include "SoundEffectsTest.h"

DZQ_GUI_TEST_MAIN(ChordAccompanimentTest, SoundEffectsTest, ChordPanelTest)
