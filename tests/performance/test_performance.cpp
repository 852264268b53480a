#include "TestMain.h"

#include "PerformanceTests.h"

DZQ_TEST_MAIN(KeyTableTest, MelodyVoicesTest, KeyboardEngineTest, OnScreenKeyboardTest, MiniKeyboardTest)
