// The outcome rules: the target box, the port window, the speed limit and the loss distance.
#include <gtest/gtest.h>

#include "sim.h"

using namespace sim;

namespace {
int judge(double x_, double y_, double z_, double v) {
    coll = 0;
    tcalc = 0.05;
    collision(x_, y_, z_, 0.0, v, 0.0);
    return coll;
}
} // namespace

TEST(Outcome, PortWindowAndSpeedLimit) {
    EXPECT_EQ(judge(0.05, -1.45, 0.0, 0.11), 3);
    EXPECT_EQ(tcalc, 0.0);
    EXPECT_EQ(judge(0.05, -1.45, 0.0, 0.12), 2); // the limit is strict
    EXPECT_EQ(judge(0.05, -1.45, 0.0, 0.5), 2);
    EXPECT_EQ(judge(0.2, -1.45, 0.0, 0.0), 1); // inside the box, outside the port window
    EXPECT_EQ(judge(0.0, 0.0, 0.0, 0.0), 1);
    EXPECT_EQ(judge(0.0, -1.35, 0.0, 0.01), 1); // deeper than the 0.1 port window
}

TEST(Outcome, BoxFacesAreOutside) {
    EXPECT_EQ(judge(0.0, -1.5, 0.0, 0.0), 0);
    EXPECT_EQ(judge(0.4, -1.0, 0.0, 0.0), 0);
    EXPECT_EQ(judge(0.0, 1.0, -0.4, 0.0), 0);
    EXPECT_EQ(tcalc, 0.05);
}

TEST(Outcome, LostBeyondHundredAndStaysLost) {
    EXPECT_EQ(judge(0.0, -100.0, 0.0, 0.0), 0);
    EXPECT_EQ(judge(0.0, -100.000001, 0.0, 0.0), 4);
    EXPECT_EQ(tcalc, 0.05); // a loss does not stop the motion
    collision(0.0, -50.0, 0.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(coll, 4); // coming back does not clear it
    collision(0.0, -1.45, 0.0, 0.0, 0.05, 0.0);
    EXPECT_EQ(coll, 3); // a contact replaces it
}
