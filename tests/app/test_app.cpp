#include "TestMain.h"

// The test classes register themselves.
DZQ_TEST_MAIN()
