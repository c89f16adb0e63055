#include "support/failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {
bool failing = false;
}

namespace testing_support {

void failAllocations(bool fail) { failing = fail; }

AllocationPause::AllocationPause() : was_(failing) { failing = false; }
AllocationPause::~AllocationPause() { failing = was_; }

}  // namespace testing_support

// Every form of operator new of the standard library ends here; operator delete matches it with
// free, so sanitizers see one allocator.
void* operator new(std::size_t size) {
  if (failing) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ::operator new(size, std::nothrow);
}
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
