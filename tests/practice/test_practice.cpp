#include "TestMain.h"

// The practice tests of logic register themselves.
DZQ_TEST_MAIN()
