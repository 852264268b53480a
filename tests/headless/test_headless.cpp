#include "TestMain.h"

// The tests of sessions without a window register themselves.
DZQ_TEST_MAIN()
