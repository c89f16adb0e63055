#pragma once

// Makes operator new fail in this test program, to drive code into its out-of-memory paths.
// The replacement operator new lives in failing_allocation.cpp and allocates normally until
// failAllocations(true).
namespace testing_support {

// From now on (true) every allocation throws std::bad_alloc, until failAllocations(false).
void failAllocations(bool fail);

// Lets allocations succeed for its lifetime, for code that stands in for the host: the host's
// own memory is not the plug-in's to run out of.
class AllocationPause {
 public:
  AllocationPause();
  ~AllocationPause();
  AllocationPause(const AllocationPause&) = delete;
  AllocationPause& operator=(const AllocationPause&) = delete;

 private:
  bool was_;
};

}  // namespace testing_support
