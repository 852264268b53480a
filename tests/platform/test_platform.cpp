#include "MidiBackendTests.h"
#include "ScheduleTests.h"
#include "SynthTests.h"
#include "TestMain.h"

DZQ_TEST_MAIN(SpscRingTest, SampleClockTest, MessageSchedulerTest, UnderrunDetectorTest, OfflineRendererTest, AudioEngineTest,
              SystemMidiBackendTest, MidiLogBackendTest)
