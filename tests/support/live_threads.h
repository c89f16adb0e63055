#pragma once

#include <cstddef>
#include <filesystem>

#include "base/parallel.h"

namespace testing_support {

// Threads of this process now, as the system lists them. A first step of two threads comes
// before counting: a sanitizer's runtime starts a thread of its own at the first thread a
// program makes, and keeps it.
inline std::size_t liveThreads() {
  base::parallelFor(
      2, [](std::size_t) {}, 2);
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
    ++count;
  return count;
}

}  // namespace testing_support
