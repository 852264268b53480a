#include "TestMain.h"

#include "ChordAccompanimentTest.h"
#include "SoundEffectsTest.h"

DZQ_TEST_MAIN(ChordAccompanimentTest, SoundEffectsTest)
