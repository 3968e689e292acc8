#include <gtest/gtest.h>

#include "double/platform_double.h"

TEST(PlatformDouble, RunLoopMovesTheFakeClock) {
  double_platform::PlatformDouble p;
  auto start = p.monotonic_now();
  p.run_main_loop_until(platform::Date{p.now().seconds_since_1970 + 0.2});
  EXPECT_EQ(p.monotonic_now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(p.counters().run_loop_slices, 1);
  EXPECT_EQ(p.counters().longest_run_loop_slice, std::chrono::milliseconds(200));
}
