#pragma once

// Switches the tests and the benchmarks set in the environment of a process.
namespace base {

// True for the value of a switch that is on: a non-empty text other than "0". Null (a variable
// that is not set) is off.
bool switchOn(const char* value);

// switchOn of the environment variable `name` as it is now. Callers read it once per process:
// the environment is no channel between threads.
bool environmentSwitch(const char* name);

}  // namespace base
