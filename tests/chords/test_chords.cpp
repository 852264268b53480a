#include <QApplication>

#include "TestMain.h"

#include "ChordAccompanimentTest.h"
#include "ChordPanelTest.h"
#include "SpecialEffectsTest.h"

DZQ_GUI_TEST_MAIN(ChordAccompanimentTest, SpecialEffectsTest, ChordPanelTest)
