#include "main/FreeSpaceGauge.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace toravin {
namespace {

TEST(FreeSpaceGauge, AsksAgainWhenTheAnswerIsOldOrTheBodyMightNotFit) {
  struct Step {
    std::int64_t length;
    std::int64_t nowMs;
    std::optional<std::uint64_t> disk;      // what the file system answers now
    std::optional<std::uint64_t> expected;  // what the gauge gives
    bool asks;                              // whether the file system was asked
  };
  const std::uint64_t none = 0;
  const std::vector<std::vector<Step>> runs = {
      // Reused, less what the bodies took, while a body needs at most half of what is left.
      {{100, 0, 1000, 1000, true},
       {100, 10, 5, 900, false},
       {400, 20, 5, 800, false},
       {300, 30, 350, 350, true}},  // 300 is more than half of the 400 left
      // An answer a moment old is asked again, even for a small body.
      {{10, 0, 1000, 1000, true},
       {10, TFreeSpaceGauge::kFreshMs - 1, 5, 990, false},
       {10, TFreeSpaceGauge::kFreshMs, 5, 5, true}},
      // A clock that went back counts as old.
      {{10, 500, 1000, 1000, true}, {10, 499, 7, 7, true}},
      // A body that does not fit is still counted: the next one asks.
      {{10, 0, 1000, 1000, true}, {2000, 1, 600, 600, true}, {10, 2, 3, 3, true}},
      // A failed query is no answer to keep; an unknown length needs none.
      {{10, 0, std::nullopt, std::nullopt, true},
       {10, 1, 1000, 1000, true},
       {0, 2, none, std::nullopt, false},
       {-1, 3, none, std::nullopt, false},
       {10, 4, none, 990, false}},
  };
  for (std::size_t r = 0; r < runs.size(); ++r) {
    TFreeSpaceGauge gauge;
    for (std::size_t i = 0; i < runs[r].size(); ++i) {
      const Step& step = runs[r][i];
      bool asked = false;
      const TFreeSpaceGauge::Query query = [&] {
        asked = true;
        return step.disk;
      };
      EXPECT_EQ(gauge.For(query, step.length, step.nowMs), step.expected) << r << "/" << i;
      EXPECT_EQ(asked, step.asks) << r << "/" << i;
    }
  }
  // Forgotten, or with no query at all.
  TFreeSpaceGauge gauge;
  const TFreeSpaceGauge::Query big = [] { return std::optional<std::uint64_t>(1000); };
  gauge.For(big, 10, 0);
  gauge.Forget();
  EXPECT_EQ(gauge.For([] { return std::optional<std::uint64_t>(20); }, 10, 1), 20u);
  EXPECT_EQ(gauge.For(nullptr, 10, 2), std::nullopt);
}

}  // namespace
}  // namespace toravin
