#include "MidiBackendTest.h"
#include "TestMain.h"

DZQ_TEST_MAIN(SystemMidiBackendTest, MidiLogBackendTest)
