#include "TestMain.h"

#include "ScoreReaderTest.h"

// The player and file tests register themselves.
DZQ_TEST_MAIN(ScoreReaderTest)
