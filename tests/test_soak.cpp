// A short fault soak: about 20 s of RUN, GET and SEND in turns against 2 % random reply faults.
#include <gtest/gtest.h>

#include "fault_soak.h"

TEST(FaultSoak, ExchangesEndInTimeAndSetsHoldOldOrNewBytes) {
    const SoakCounts counts = RunFaultSoak(20.0, 0.02, 20261206);
    for (const std::string &v : counts.violations) ADD_FAILURE() << v;
    EXPECT_GT(counts.sends, 0);
    EXPECT_GT(counts.runs, 0);
    EXPECT_FALSE(counts.faults.empty());
}
