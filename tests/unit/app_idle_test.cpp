// The pacing of the idle loop: one integrator call every `slow` running idle calls.
#include <gtest/gtest.h>

#include <climits>

#include "app.h"
#include "sim.h"

namespace {

// A run where each integrator call is visible as one more count in it_t.
void freshRun() {
    sim::para_phy.dt = 0.005;
    sim::para_phy.nx = 1000;
    sim::x.assign(1001, 0.0);
    sim::y.assign(1001, 0.0);
    sim::z.assign(1001, 0.0);
    sim::it_t = 0;
    sim::tcalc = 0.05;
    sim::pause = 0;
    sim::slow = 8;
    it = 0;
}

} // namespace

TEST(Idle, FirstIntegrationOnTheEighthCall) {
    freshRun();
    for (int k = 1; k <= 7; k++)
        idleFunc();
    EXPECT_EQ(sim::it_t, 0);
    idleFunc();
    EXPECT_EQ(sim::it_t, 1);
    for (int k = 0; k < 16; k++)
        idleFunc();
    EXPECT_EQ(sim::it_t, 3);
}

TEST(Idle, PauseHoldsTheCounterAndTheCadenceResumes) {
    freshRun();
    for (int k = 0; k < 5; k++)
        idleFunc();
    sim::pause = 1;
    for (int k = 0; k < 50; k++)
        idleFunc();
    EXPECT_EQ(it, 5);
    EXPECT_EQ(sim::it_t, 0);
    sim::pause = 0;
    idleFunc();
    idleFunc();
    EXPECT_EQ(sim::it_t, 0);
    idleFunc(); // slow - (5 mod slow) = 3 calls after the pause
    EXPECT_EQ(sim::it_t, 1);
}

TEST(Idle, NewPaceTakesEffectAtTheNextMultiple) {
    freshRun();
    for (int k = 0; k < 10; k++)
        idleFunc();
    EXPECT_EQ(sim::it_t, 1);
    sim::slow = 6;
    idleFunc(); // 11
    EXPECT_EQ(sim::it_t, 1);
    idleFunc(); // 12
    EXPECT_EQ(sim::it_t, 2);
}

TEST(Idle, CounterNeverOverflowsAndKeepsTheCadence) {
    for (int s : {1, 3, 8, 7919}) {
        freshRun();
        sim::slow = s;
        it = INT_MAX - 2 * s - 1;
        int calls = 0;
        for (int k = 0; k < 10 * s; k++) {
            const int before = sim::it_t;
            idleFunc();
            ASSERT_GE(it, 0);
            if (sim::it_t != before)
                calls++;
        }
        EXPECT_EQ(calls, 10) << "slow " << s; // one integration per `slow` calls, across the fold
    }
}
