#include "bench/soak/SoakPlan.h"

#include <gtest/gtest.h>

using namespace soak;

TEST(SoakPlanTest, TwoMinutesScaleUpAndRepeatEveryRareEventAfterTheWarmUp) {
  const SoakPlan plan = PlanFor(2);
  EXPECT_EQ(plan.Periods, 4);
  EXPECT_EQ(plan.WarmupPeriods, 1);
  EXPECT_EQ(plan.Menus, 334);
  EXPECT_EQ(plan.Sites, 67);
  for (int count : {plan.ShellRestarts, plan.BrowserOutages}) {
    ASSERT_EQ(count, 2);
    EXPECT_EQ(EventsInPeriod(count, plan.Periods, 0), 1) << "one in the warm-up";
    int after = 0;
    for (int p = plan.WarmupPeriods; p < plan.Periods; ++p) after += EventsInPeriod(count, plan.Periods, p);
    EXPECT_EQ(after, 1);
  }
  EXPECT_GE(plan.AbandonPeriod, plan.WarmupPeriods);
  EXPECT_LT(plan.AbandonPeriod, plan.Periods);
}

TEST(SoakPlanTest, EventsSpreadOverThePeriodsStartingInTheFirst) {
  int total = 0;
  for (int p = 0; p < 60; ++p) {
    const int n = EventsInPeriod(20, 60, p);
    EXPECT_EQ(n, p % 3 == 0 ? 1 : 0) << "period " << p;
    total += n;
  }
  EXPECT_EQ(total, 20);
  EXPECT_EQ(EventsInPeriod(5, 2, 0) + EventsInPeriod(5, 2, 1), 5) << "more events than periods";
  EXPECT_EQ(EventsInPeriod(0, 4, 0), 0);
  EXPECT_EQ(EventsInPeriod(3, 0, 0), 0);
}

TEST(SoakPlanTest, ActionsDueGrowEvenlyAndStopAtTheTotal) {
  EXPECT_EQ(DueBy(5000, 60, 0.0), 0);
  EXPECT_EQ(DueBy(5000, 60, 30.0), 2500);
  EXPECT_EQ(DueBy(5000, 60, 60.0), 5000);
  EXPECT_EQ(DueBy(5000, 60, 75.0), 5000);
  EXPECT_EQ(DueBy(5000, 60, -1.0), 0);
}

TEST(SoakPlanTest, TheRunIsTimedByDefaultOrCountedInRounds) {
  EXPECT_EQ(ParseRun({})->Minutes, 30);
  EXPECT_EQ(ParseRun({})->Rounds, 0);
  EXPECT_EQ(ParseRun({"--minutes", "2"})->Minutes, 2);
  EXPECT_EQ(ParseRun({"--minutes", "1440"})->Minutes, 1440);
  EXPECT_EQ(ParseRun({"--minutes", "2"})->Rounds, 0);
  EXPECT_EQ(ParseRun({"--rounds", "3"})->Rounds, 3);
  EXPECT_EQ(ParseRun({"--rounds", "100"})->Rounds, 100);
  for (const auto& bad : std::vector<std::vector<std::string>>{{"--minutes"},
                                                               {"--minutes", "0"},
                                                               {"--minutes", "1441"},
                                                               {"--minutes", "2x"},
                                                               {"--minutes", ""},
                                                               {"2"},
                                                               {"--rounds", "0"},
                                                               {"--rounds", "101"},
                                                               {"--rounds", "2", "--minutes", "2"}}) {
    EXPECT_EQ(ParseRun(bad), std::nullopt) << (bad.size() > 1 ? bad[1] : bad[0]);
  }
}

TEST(SoakPlanTest, GrowthComparesTheLastSampleWithTheReferencePer10000Cycles) {
  const std::vector<double> cycles{0, 100, 2100, 5100};
  const Growth g = GrowthFrom({50, 60, 58, 65}, cycles, 1);
  ASSERT_TRUE(g.Known);
  EXPECT_EQ(g.Reference, 60);
  EXPECT_EQ(g.Last, 65);
  EXPECT_EQ(g.Change, 5);
  EXPECT_EQ(g.Low, 58);
  EXPECT_EQ(g.High, 65);
  EXPECT_DOUBLE_EQ(g.Per10000Cycles, 10.0);

  const Growth flat = GrowthFrom({70, 60, 61, 60}, cycles, 1);
  EXPECT_EQ(flat.Change, 0) << "a rise between steady states that falls back is no growth";
  EXPECT_EQ(flat.High, 61);
}

TEST(SoakPlanTest, GrowthIsUnknownWhenASampleAfterTheReferenceIsMissing) {
  const std::vector<double> cycles{0, 100, 200};
  EXPECT_FALSE(GrowthFrom({-1, 5, -1}, cycles, 1).Known);
  EXPECT_TRUE(GrowthFrom({-1, 5, 5}, cycles, 1).Known) << "before the reference it does not matter";
  EXPECT_FALSE(GrowthFrom({1, 2, 3}, cycles, 3).Known);
  EXPECT_FALSE(GrowthFrom({1, 2}, cycles, 0).Known) << "one cycle count per value";
  EXPECT_EQ(GrowthFrom({4, 4, 4}, {0, 0, 0}, 0).Per10000Cycles, 0.0) << "no cycles in between";
}

TEST(SoakPlanTest, MarkdownTableHasItsRuleLine) {
  EXPECT_EQ(MarkdownTable({"a", "b"}, {{"1", "2"}, {"3", "4"}}), "| a | b |\n|---|---|\n| 1 | 2 |\n| 3 | 4 |\n");
  EXPECT_EQ(MarkdownTable({"a"}, {}), "| a |\n|---|\n");
}
