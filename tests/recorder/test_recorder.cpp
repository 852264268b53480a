#include "TestMain.h"

// The recorder's logic tests register themselves: the front ends on a
// scripted device, and the real media device on the audio engine.
DZQ_TEST_MAIN()
