#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/thread_count.h"

// Work spread over the cores for the length of one call. Every parallel step of the plug-in
// splits its work into parts that write disjoint results (cells, rows, lines), never a sum into
// pieces, so that its results are the bits of one thread whatever the count. Threads start and
// end inside the call that uses them: nothing runs on once a task has returned to the host.
namespace base {

// For tests: while one lives, every team made starts no thread, as when the system refuses one
// (std::system_error). Make and end it while no step runs.
class ScopedThreadStartRefusal {
 public:
  ScopedThreadStartRefusal();
  ~ScopedThreadStartRefusal();
  ScopedThreadStartRefusal(const ScopedThreadStartRefusal&) = delete;
  ScopedThreadStartRefusal& operator=(const ScopedThreadStartRefusal&) = delete;

 private:
  bool previous_;
};

// A part of a step, by reference to any callable taking the part's number: no allocation. Only
// for parameters: it refers to the callable, which must outlive the call it is passed to.
class PartBody {
 public:
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, PartBody>>>
  PartBody(F&& f)  // NOLINT: converts implicitly, like a function reference
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
        call_([](void* object, std::size_t part) {
          (*static_cast<std::remove_reference_t<F>*>(object))(part);
        }) {}
  void operator()(std::size_t part) const { call_(object_, part); }

 private:
  void* object_;
  void (*call_)(void*, std::size_t);
};

// Threads that live as long as the team: the caller's and up to threads - 1 more, started when
// the team is made and joined when it ends. A team that cannot start a thread (no memory, or the
// system refuses one: std::system_error) goes on with those it has, down to the caller alone.
// A thread with nothing to do sleeps on a condition variable, after watching for about 100 us
// in a team no larger than availableCores() (base/thread_count.h).
class WorkerTeam {
 public:
  explicit WorkerTeam(std::size_t threads = threadCount());
  ~WorkerTeam();
  WorkerTeam(const WorkerTeam&) = delete;
  WorkerTeam& operator=(const WorkerTeam&) = delete;

  // The threads that run parts, the caller's included.
  std::size_t size() const { return workers_.size() + 1; }

  // Runs body(part) once for every part 0 ... parts - 1, the caller taking parts too, and
  // returns when all have finished. When parts throw, the exception of the lowest-numbered one
  // is rethrown here (parts after it may or may not have run): the exception one thread gives.
  void forEach(std::size_t parts, PartBody body);

 private:
  struct Shared;
  void work();
  static void runParts(Shared& shared);
  static void finishJob(Shared& shared);

  std::unique_ptr<Shared> shared_;
  std::vector<std::thread> workers_;
};

// body(part) for every part 0 ... parts - 1 on a team of at most `threads` threads (no more
// than there are parts), as WorkerTeam::forEach.
void parallelFor(std::size_t parts, PartBody body, std::size_t threads = threadCount());

// Splits `count` items into `parts` ranges of consecutive items, as even as they come: part p
// is [partBegin(count, parts, p), partBegin(count, parts, p + 1)).
inline std::size_t partBegin(std::size_t count, std::size_t parts, std::size_t part) {
  return count / parts * part + std::min(part, count % parts);
}

}  // namespace base
