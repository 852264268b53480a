#include "TestMain.h"

// The test classes of the music editor register themselves.
DZQ_TEST_MAIN()
