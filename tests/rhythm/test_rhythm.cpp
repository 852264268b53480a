#include "TestMain.h"

#include "RhythmTests.h"

DZQ_TEST_MAIN(RhythmPatternTest, RhythmSequencerTest, RhythmFilesTest, ShippedRhythmFilesTest,
              RhythmRobustnessTest)
