#pragma once

#include <cstddef>

// How many threads a parallel step may use (base/parallel.h runs them), and the switches with
// which tests and benchmarks choose the count.
namespace base {

// Most threads a step ever uses, whatever is asked for.
inline constexpr std::size_t maxThreads = 256;

// The threads a parallel step may use: the environment variable BRINDLE_THREADS when it holds a
// whole number of at least 1, but never more than availableCores(): more threads than cores only
// take turns, and their waits for each other cost far more than their share of the work. Without
// the variable, availableCores(). Read at every call, so that a host setting the variable before
// a task is heard. For tests, which need steps split into more parts than this machine has cores
// to show the results do not change: while a ScopedThreadCount lives its count, else in a process
// whose environment variable BRINDLE_TEST_THREADS held such a whole number at the first call that
// number, each up to maxThreads whatever the cores.
std::size_t threadCount();

// The cores this process may run on: its affinity mask where the system has one (Linux), else
// what the standard library reports; at least 1, at most maxThreads.
std::size_t availableCores();

// The threads for a step of `work` (in the step's own units): threadCount(), or 1 when the work
// is below `minimum`, too little for threads to pay for their start. Small steps split all the
// same while a ScopedSmallStepSplit(true) lives, and, without one, in a process whose environment
// variable BRINDLE_SPLIT_SMALL_STEPS was switched on (base/environment.h) at the first call.
std::size_t threadsFor(std::size_t work, std::size_t minimum);

// For tests and benchmarks: makes threadCount() give `threads` (1 to maxThreads, more than the
// cores too) for its lifetime, whatever the environment says, then gives back the previous count.
// Make and end it while no step runs.
class ScopedThreadCount {
 public:
  explicit ScopedThreadCount(std::size_t threads);
  ~ScopedThreadCount();
  ScopedThreadCount(const ScopedThreadCount&) = delete;
  ScopedThreadCount& operator=(const ScopedThreadCount&) = delete;

 private:
  std::size_t previous_;
};

// For tests: makes threadsFor split small steps (`split`) or keep them on one thread for its
// lifetime, whatever the environment says, then gives back the previous choice. The tests' shapes
// are small on purpose, and would otherwise stay on one thread.
class ScopedSmallStepSplit {
 public:
  explicit ScopedSmallStepSplit(bool split);
  ~ScopedSmallStepSplit();
  ScopedSmallStepSplit(const ScopedSmallStepSplit&) = delete;
  ScopedSmallStepSplit& operator=(const ScopedSmallStepSplit&) = delete;

 private:
  int previous_;
};

}  // namespace base
