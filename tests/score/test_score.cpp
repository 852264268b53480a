#include "TestMain.h"

#include "NotationReaderTest.h"

DZQ_TEST_MAIN(NotationReaderTest)
