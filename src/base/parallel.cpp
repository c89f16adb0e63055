#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace base {

namespace {

// Whether a ScopedThreadStartRefusal lives.
std::atomic<bool> threadStartsRefused{false};

// A waiting thread first watches for what it waits for this long before it sleeps: waking a
// sleeping thread takes tens of microseconds on some machines (a virtual one's idle core), longer
// than many steps, while steps of one computation follow each other within microseconds. Only a
// team that fits the cores watches: with more threads than cores, a watching thread holds the
// core that the thread it waits for needs, and all of them sleep at once.
constexpr auto spinTime = std::chrono::microseconds(100);

// A hint to the processor that this thread is waiting in a loop.
inline void relax() {
#if defined(_MSC_VER)
  _mm_pause();
#elif defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Watches `done` for about spinTime (not at all unless `spin`); true when it came true.
template <typename Done>
bool spinUntil(bool spin, const Done& done) {
  if (!spin) return done();
  const auto end = std::chrono::steady_clock::now() + spinTime;
  for (unsigned i = 1;; ++i) {
    if (done()) return true;
    relax();
    if (i % 64 == 0 && std::chrono::steady_clock::now() >= end) return false;
  }
}

}  // namespace

// What the caller and the workers share. A job is open from the moment the caller posts it until
// the caller has run out of parts; only then may workers join it (under the mutex, which makes
// the job's fields theirs to read), and the caller waits for those inside before it returns.
struct WorkerTeam::Shared {
  std::mutex mutex;
  std::condition_variable wake;            // workers: a job opened, or the team ends
  std::condition_variable idle;            // the caller: the last worker left the job
  std::atomic<std::size_t> generation{0};  // jobs posted so far
  std::atomic<bool> open{false};
  std::atomic<bool> stop{false};
  std::atomic<std::size_t> inside{0};  // workers running parts of the current job
  bool spin = true;                    // the team fits the cores: waits watch before they sleep
  std::size_t sleeping = 0;            // workers asleep on `wake` (under the mutex)
  const PartBody* body = nullptr;
  std::size_t parts = 0;
  std::atomic<std::size_t> next{0};        // the next part to claim
  std::atomic<std::size_t> failedPart{0};  // the lowest part that threw; `parts` when none did
  std::exception_ptr error;                // its exception

  bool jobFor(std::size_t seen) const {
    return stop.load(std::memory_order_acquire) ||
           (open.load(std::memory_order_acquire) &&
            generation.load(std::memory_order_acquire) != seen);
  }
};

ScopedThreadStartRefusal::ScopedThreadStartRefusal()
    : previous_(threadStartsRefused.exchange(true, std::memory_order_relaxed)) {}

ScopedThreadStartRefusal::~ScopedThreadStartRefusal() {
  threadStartsRefused.store(previous_, std::memory_order_relaxed);
}

WorkerTeam::WorkerTeam(std::size_t threads) {
  threads = std::clamp<std::size_t>(threads, 1, maxThreads);
  if (threads == 1) return;
  try {
    shared_ = std::make_unique<Shared>();
    shared_->spin = threads <= availableCores();
    workers_.reserve(threads - 1);
  } catch (const std::bad_alloc&) {
    shared_.reset();
    return;
  }
  for (std::size_t i = 1; i < threads; ++i) {
    try {
      if (threadStartsRefused.load(std::memory_order_relaxed))
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      workers_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
}

WorkerTeam::~WorkerTeam() {
  if (workers_.empty()) return;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stop.store(true, std::memory_order_release);
  }
  shared_->wake.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void WorkerTeam::runParts(Shared& shared) {
  const std::size_t parts = shared.parts;
  const PartBody& body = *shared.body;
  for (;;) {
    const std::size_t part = shared.next.fetch_add(1, std::memory_order_relaxed);
    if (part >= parts) return;
    // A part after one that failed is not needed: its results are thrown away.
    if (part > shared.failedPart.load(std::memory_order_relaxed)) continue;
    try {
      body(part);
    } catch (...) {
      const std::lock_guard lock(shared.mutex);
      if (part < shared.failedPart.load(std::memory_order_relaxed)) {
        shared.failedPart.store(part, std::memory_order_relaxed);
        shared.error = std::current_exception();
      }
    }
  }
}

void WorkerTeam::work() {
  Shared& shared = *shared_;
  std::size_t seen = 0;
  for (;;) {
    spinUntil(shared.spin, [&] { return shared.jobFor(seen); });
    std::unique_lock lock(shared.mutex);
    if (!shared.jobFor(seen)) {
      ++shared.sleeping;
      shared.wake.wait(lock, [&] { return shared.jobFor(seen); });
      --shared.sleeping;
    }
    if (shared.stop.load(std::memory_order_relaxed)) return;
    seen = shared.generation.load(std::memory_order_relaxed);
    shared.inside.fetch_add(1, std::memory_order_relaxed);
    lock.unlock();
    runParts(shared);
    if (shared.inside.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      lock.lock();
      shared.idle.notify_one();
    }
  }
}

void WorkerTeam::forEach(std::size_t parts, PartBody body) {
  if (workers_.empty() || parts <= 1) {
    for (std::size_t part = 0; part < parts; ++part) body(part);
    return;
  }
  Shared& shared = *shared_;
  bool anyAsleep = false;
  {
    const std::lock_guard lock(shared.mutex);
    shared.body = &body;
    shared.parts = parts;
    shared.next.store(0, std::memory_order_relaxed);
    shared.failedPart.store(parts, std::memory_order_relaxed);
    shared.error = nullptr;
    shared.generation.fetch_add(1, std::memory_order_release);
    shared.open.store(true, std::memory_order_release);
    anyAsleep = shared.sleeping > 0;
  }
  if (anyAsleep) shared.wake.notify_all();
  runParts(shared);
  finishJob(shared);
}

void WorkerTeam::finishJob(Shared& shared) {
  {
    // From here no worker joins: those inside are all the caller waits for.
    const std::lock_guard lock(shared.mutex);
    shared.open.store(false, std::memory_order_release);
  }
  const auto allOut = [&] { return shared.inside.load(std::memory_order_acquire) == 0; };
  std::exception_ptr error;
  {
    std::unique_lock lock(shared.mutex);
    if (!allOut()) {
      lock.unlock();
      spinUntil(shared.spin, allOut);
      lock.lock();
      shared.idle.wait(lock, allOut);
    }
    error = std::move(shared.error);
    shared.error = nullptr;
    shared.body = nullptr;
  }
  if (error) std::rethrow_exception(error);
}

// A team of 0 or 1 threads starts none and runs the parts in order on the caller's.
void parallelFor(std::size_t parts, PartBody body, std::size_t threads) {
  WorkerTeam team(std::min(parts, threads));
  team.forEach(parts, body);
}

}  // namespace base
