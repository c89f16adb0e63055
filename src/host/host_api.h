#pragma once

#include "host/host_functions.inc"

// The host's exported functions, as the plug-in sees them. All calls happen on the host's
// thread. Texts are NUL-terminated 8-bit strings. A buffer is a character array supplied by the
// caller, which the host fills with a NUL-terminated text without being told its size.
namespace hostfn {
// Fills major, minor and the finer third number of the host's version.
using VersionFunction = void (*)(int* major, int* minor, int* third);
// Shows the log tab; shows the busy cursor; stops the busy cursor.
using VoidFunction = void (*)();
// Appends a text to the log unchanged; shows a text in a modal message box.
using TextFunction = void (*)(const char* text);
// Writes the current text of the named dialog parameter into `buffer`.
using GetStringParameterFunction = void (*)(const char* name, char* buffer);
// Returns the named dialog parameter as an integer.
using GetIntParameterFunction = int (*)(const char* name);
// Stores `text` as the named dialog parameter.
using SetStringParameterFunction = void (*)(const char* name, const char* text);
// Shows the open-file dialog; writes the chosen path into `buffer`.
using OpenFileNameFunction = int (*)(const char* title, const char* initialPath, const char* filter,
                                     char* buffer);
// Shows the save-file dialog; returns non-zero when the user chose a path, written into `buffer`.
using SaveFileNameFunction = int (*)(const char* title, const char* initialPath, const char* filter,
                                     char* buffer);
// The entries the plug-in resolves but never calls.
using UnusedFunction = void (*)();
}  // namespace hostfn

// The table of host function addresses, one entry per host function, named after it. Empty
// (null) until resolveHostApi() first succeeds; each run overwrites the entries it reaches and
// nothing ever clears them.
struct HostApi {
#define BRINDLE_HOST_ENTRY(name, type) static inline hostfn::type name = nullptr;
  BRINDLE_HOST_FUNCTIONS(BRINDLE_HOST_ENTRY)
#undef BRINDLE_HOST_ENTRY
};

// Fills HostApi from the host's executable, already loaded in this process. Returns false,
// touching no entry, when the host module is not loaded; false when it does not export
// tmGetVersionOfTormel (that entry is then null, the others keep their content). Otherwise
// looks up every other name in order (a missing one leaves its entry null) and returns true.
bool resolveHostApi();
