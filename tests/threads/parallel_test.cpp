// The worker team behind every parallel step: each part once, the exception one thread would
// give, fewer threads when they cannot be had, the count from the environment and the affinity
// mask, and no thread left running once a step has returned.

#include "base/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#include "base/environment.h"
#include "support/failing_allocation.h"
#include "support/live_threads.h"

using namespace base;

namespace {

using testing_support::liveThreads;

// Every parallel step of this program splits, however little its work: the tests' shapes are
// small on purpose (K below the thread count, K = 1, n = 1), and would otherwise stay on one
// thread.
class SplitSmallSteps : public ::testing::Environment {
  void SetUp() override { split_ = std::make_unique<ScopedSmallStepSplit>(true); }
  void TearDown() override { split_.reset(); }
  std::unique_ptr<ScopedSmallStepSplit> split_;
};
[[maybe_unused]] ::testing::Environment* const split =
    ::testing::AddGlobalTestEnvironment(new SplitSmallSteps);

TEST(ThreadsTeam, EveryPartRunsOnceAndStepsFollowEachOther) {
  for (const std::size_t threads : {1u, 2u, 3u, 7u, 16u}) {
    for (const std::size_t parts : {0u, 1u, 2u, 7u, 1000u}) {
      std::vector<std::atomic<int>> runs(parts);
      parallelFor(
          parts, [&](std::size_t part) { runs[part].fetch_add(1); }, threads);
      for (std::size_t part = 0; part < parts; ++part)
        ASSERT_EQ(runs[part].load(), 1) << threads << " threads, part " << part << " of " << parts;
    }
  }
  WorkerTeam team(4);
  std::vector<long> cells(64, 0);
  for (long step = 1; step <= 500; ++step) {
    // Each step reads what the one before wrote: the steps must not overlap.
    team.forEach(cells.size(), [&](std::size_t part) {
      ASSERT_EQ(cells[part], (step - 1) * step / 2);
      cells[part] += step;
    });
  }
}

TEST(ThreadsTeam, TheLowestFailingPartsExceptionIsRethrownAndTheTeamGoesOn) {
  WorkerTeam team(7);
  for (int round = 0; round < 3; ++round) {
    std::vector<std::atomic<int>> runs(200);
    try {
      team.forEach(200, [&](std::size_t part) {
        runs[part].fetch_add(1);
        if (part == 150) throw std::invalid_argument("part 150");
        if (part == 37) throw std::out_of_range("part 37");
        if (part == 90) throw 90;  // not a std::exception: passed on as it is
      });
      FAIL() << "nothing thrown";
    } catch (const std::out_of_range& error) {
      EXPECT_STREQ(error.what(), "part 37");
    }
    // Every part before the failing one ran, as on one thread.
    for (std::size_t part = 0; part <= 37; ++part) EXPECT_EQ(runs[part].load(), 1) << part;
  }
  std::atomic<int> total{0};
  team.forEach(10, [&](std::size_t part) { total += static_cast<int>(part); });
  EXPECT_EQ(total.load(), 45);
}

TEST(ThreadsTeam, ThreadsOrMemoryThatCannotBeHadLeaveTheCallerAlone) {
  std::optional<ScopedThreadStartRefusal> refusal(std::in_place);
  WorkerTeam refused(8);
  refusal.reset();
  EXPECT_EQ(refused.size(), 1u);
  std::vector<int> order;
  refused.forEach(5, [&](std::size_t part) { order.push_back(static_cast<int>(part)); });
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));

  testing_support::failAllocations(true);
  const std::size_t size = WorkerTeam(8).size();  // made and ended without memory
  testing_support::failAllocations(false);
  EXPECT_EQ(size, 1u);
}

TEST(ThreadsTeam, NoThreadOutlivesItsStep) {
  const std::size_t before = liveThreads();
  for (int round = 0; round < 20; ++round)
    parallelFor(
        50, [](std::size_t) {}, 7);
  EXPECT_EQ(liveThreads(), before);
}

// threadCount() with BRINDLE_THREADS set to `value` for the call.
std::size_t countWith(const char* value) {
  ::setenv("BRINDLE_THREADS", value, 1);
  const std::size_t count = threadCount();
  ::unsetenv("BRINDLE_THREADS");
  return count;
}

TEST(ThreadsCount, TheVariableSetsTheCountWhenItIsAWholeNumberOfOneOrMoreUpToTheCores) {
  const std::size_t cores = availableCores();
  EXPECT_EQ(countWith("3"), std::min<std::size_t>(3, cores));
  EXPECT_EQ(countWith("1"), 1u);
  EXPECT_EQ(countWith("100000"), cores);
  EXPECT_EQ(countWith("99999999999999999999999999"), cores);
  for (const char* ignored : {"0", "-2", "+2", " 2", "2 ", "2x", "two", "1.5", ""})
    EXPECT_EQ(countWith(ignored), cores) << '"' << ignored << '"';
  EXPECT_EQ(threadCount(), cores);
  const ScopedThreadCount seven(7);
  EXPECT_EQ(countWith("5"), 7u);  // the test's count comes first, beyond the cores too
}

TEST(ThreadsCount, LittleWorkStaysOnOneThreadUnlessSmallStepsSplit) {
  const ScopedThreadCount three(3);
  {
    const ScopedSmallStepSplit noSplit(false);
    EXPECT_EQ(threadsFor(99, 100), 1u);
    EXPECT_EQ(threadsFor(100, 100), 3u);
  }
  EXPECT_EQ(threadsFor(99, 100), 3u);  // as this program's tests run
  // The switch in the environment of a process (read once there): on for any text but "" and "0".
  for (const auto& [value, on] : {std::pair<const char*, bool>{nullptr, false},
                                  {"", false},
                                  {"0", false},
                                  {"1", true},
                                  {"yes", true},
                                  {"00", true}})
    EXPECT_EQ(switchOn(value), on) << (value == nullptr ? "(not set)" : value);
}

#if defined(__linux__)
TEST(ThreadsCount, TheDefaultIsTheCoresOfTheAffinityMaskAndNoCountGoesBeyondThem) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(availableCores(), static_cast<std::size_t>(CPU_COUNT(&all)));
  // One core allowed: one thread.
  int first = 0;
  while (!CPU_ISSET(first, &all)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const std::size_t cores = availableCores();
  const std::size_t asked = countWith("256");
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(cores, 1u);
  EXPECT_EQ(asked, 1u);
}
#endif

}  // namespace
