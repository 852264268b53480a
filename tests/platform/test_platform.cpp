#include "MidiBackendTests.h"
#include "ScheduleTests.h"
#include "SynthTests.h"
#include "TestMain.h"

DZQ_TEST_MAIN(SpscRingTest, SampleClockTest, MessageSchedulerTest, OfflineRendererTest, AudioEngineTest,
              SystemMidiBackendTest, MidiLogBackendTest)
