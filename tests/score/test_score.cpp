#include "TestMain.h"

#include "NotationReaderTest.h"

// The player and file tests register themselves.
DZQ_TEST_MAIN(NotationReaderTest)
