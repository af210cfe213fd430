#include <gtest/gtest.h>

#include "platform/ui/userint.h"
#include "test_panels.h"
TEST(Ui, Loads) {
    int p = LoadPanel(0, test_panels_resource, CONTROLS);
    EXPECT_GT(p, 0);
    EXPECT_EQ(DiscardPanel(p), 0);
}
