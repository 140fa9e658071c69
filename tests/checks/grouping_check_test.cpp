// Which groups a check reports.
#include "checks/grouping_check.h"

#include <gtest/gtest.h>

namespace {

// Walks groups of the given sizes in key order and lists the reported ones.
std::vector<int> ReportedByRunningMaximum(const std::vector<int>& sizes) {
  std::vector<int> reported;
  int running_maximum = 0;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    if (GroupReported(ReportRule::kRunningMaximum, "key", sizes[i], &running_maximum)) {
      reported.push_back(static_cast<int>(i) + 1);
    }
  }
  return reported;
}

TEST(GroupingCheck, RunningMaximum) {
  const struct {
    std::vector<int> sizes;
    std::vector<int> reported;  // 1-based positions in key order
  } cases[] = {
      {{10, 3}, {2}},         {{3, 10}, {}},          {{5, 5}, {2}},
      {{2, 7, 2, 7}, {3, 4}}, {{4, 1, 9, 1}, {2, 4}}, {{1}, {}},
      {{1, 1, 1}, {2, 3}},    {{1, 2, 3}, {}},        {{}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReportedByRunningMaximum(c.sizes), c.reported)
        << "sizes " << testing::PrintToString(c.sizes);
  }
}

TEST(GroupingCheck, SpecialKeysWholeKeyOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"0", true},       {"error", true}, {"00", false}, {"0*0", false},       {"Error", false},
      {"errors", false}, {"", false},     {"24", false}, {"error\x01", false},
  };
  for (const auto& c : cases) {
    int running_maximum = 0;
    EXPECT_EQ(GroupReported(ReportRule::kSpecialKeys, c.first, 100, &running_maximum), c.second)
        << c.first;
    EXPECT_EQ(running_maximum, 0) << "no running maximum under this rule";
  }
}

}  // namespace
