#include "base/thread_count.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <thread>

#include "base/environment.h"

#if defined(__linux__)
#include <sched.h>
#endif

namespace base {

namespace {

// The count of the innermost live ScopedThreadCount; 0 when none lives.
std::atomic<std::size_t> scopedThreads{0};
// The choice of the innermost live ScopedSmallStepSplit: 1 split, 0 not; -1 when none lives.
std::atomic<int> scopedSplit{-1};

// The count the environment variable `name` asks for: a whole number of at least 1 (digits only),
// capped at maxThreads; 0 for anything else.
std::size_t requestedThreads(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return 0;
  const std::string_view digits(text);
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || end != digits.data() + digits.size()) return 0;
  if (error == std::errc::result_out_of_range) return maxThreads;
  if (error != std::errc() || value == 0) return 0;
  return value > maxThreads ? maxThreads : static_cast<std::size_t>(value);
}

std::size_t withinLimits(std::size_t count) {
  return std::clamp<std::size_t>(count, 1, maxThreads);
}

bool smallStepsSplit() {
  const int scoped = scopedSplit.load(std::memory_order_relaxed);
  if (scoped >= 0) return scoped == 1;
  static const bool switched = environmentSwitch("BRINDLE_SPLIT_SMALL_STEPS");
  return switched;
}

}  // namespace

std::size_t availableCores() {
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int cores = CPU_COUNT(&set);
    if (cores > 0) return withinLimits(static_cast<std::size_t>(cores));
  }
#endif
  return withinLimits(std::thread::hardware_concurrency());
}

std::size_t threadCount() {
  const std::size_t scoped = scopedThreads.load(std::memory_order_relaxed);
  if (scoped != 0) return scoped;
  static const std::size_t forTests = requestedThreads("BRINDLE_TEST_THREADS");
  if (forTests != 0) return forTests;
  const std::size_t cores = availableCores();
  const std::size_t requested = requestedThreads("BRINDLE_THREADS");
  return requested != 0 ? std::min(requested, cores) : cores;
}

std::size_t threadsFor(std::size_t work, std::size_t minimum) {
  return work >= minimum || smallStepsSplit() ? threadCount() : 1;
}

ScopedThreadCount::ScopedThreadCount(std::size_t threads)
    : previous_(scopedThreads.exchange(withinLimits(threads), std::memory_order_relaxed)) {}

ScopedThreadCount::~ScopedThreadCount() {
  scopedThreads.store(previous_, std::memory_order_relaxed);
}

ScopedSmallStepSplit::ScopedSmallStepSplit(bool split)
    : previous_(scopedSplit.exchange(split ? 1 : 0, std::memory_order_relaxed)) {}

ScopedSmallStepSplit::~ScopedSmallStepSplit() {
  scopedSplit.store(previous_, std::memory_order_relaxed);
}

}  // namespace base
