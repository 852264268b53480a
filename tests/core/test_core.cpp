#include "TestMain.h"

DZQ_TEST_MAIN()
