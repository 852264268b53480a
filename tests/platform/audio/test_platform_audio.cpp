#include "ScheduleTest.h"
#include "SynthTest.h"
#include "TestMain.h"

DZQ_TEST_MAIN(SpscRingTest, SampleClockTest, MessageSchedulerTest, AudioEngineTest)
