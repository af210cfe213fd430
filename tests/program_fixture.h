// The program under test: every panel loaded once per suite with the program's callbacks bound,
// and the shared state, parameter block, calibration and hardware record back at their start
// values before each test.
#pragma once
#include <gtest/gtest.h>

#include "app/bindings.h"
#include "calib/calibfile.h"
#include "link/identify.h"
#include "measure/recorder.h"
#include "params/paramblock.h"
#include "shared/panels.h"
#include "shared/state.h"
#include "touch/touchrecorder.h"

class ProgramTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(LoadAllPanels(), 1);
        BindAllCallbacks();
    }
    static void TearDownTestSuite() { DiscardAllPanels(); }

    static void ResetProgramState() {
        ResetSharedState();
        ResetParaBlock();
        ResetCalibration();
        ResetHwInfo();
        tmr_flag = timeout_flag = file_flag = 0;  // the recorders' working flags
    }
};
