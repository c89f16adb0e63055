#pragma once

#include <string>

// A private folder for the files one fuzzing process writes, made under $TMPDIR (or /tmp)
// the first time it is asked for and removed with everything in it when the process exits
// normally. Aborts the process when no folder can be made: a fuzz run cannot go on without it.
const std::string& fuzzFolder();
