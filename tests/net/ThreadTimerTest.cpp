// The time-out timer: it fires only when enabled with an interval and a handler, repeats, and
// restarts when its settings change.
#include "net/ThreadTimer.h"

#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace toravin {
namespace {

TEST(ThreadTimer, FiresOnlyWhenRunning) {
  TThreadTimer t;
  int fired = 0;
  EXPECT_FALSE(t.Running());  // no handler yet
  t.SetOnTimer([&](TThreadTimer&) { ++fired; });
  EXPECT_TRUE(t.Running());
  t.SetInterval(0);
  EXPECT_FALSE(t.Running());
  t.SetInterval(1);
  t.SetEnabled(false);
  SleepMs(3);
  EXPECT_FALSE(t.Poll());
  t.SetEnabled(true);
  SleepMs(3);
  EXPECT_TRUE(t.Poll());
  SleepMs(3);
  EXPECT_TRUE(t.Poll());  // repeats
  EXPECT_EQ(fired, 2);
}

TEST(ThreadTimer, LongIntervalDoesNotFireEarly) {
  TThreadTimer t;
  int fired = 0;
  t.SetOnTimer([&](TThreadTimer&) { ++fired; });
  t.SetInterval(3600000);
  EXPECT_FALSE(t.Poll());
  EXPECT_GT(t.RemainingMs(), 3000000);
  EXPECT_EQ(fired, 0);
}

}  // namespace
}  // namespace toravin
