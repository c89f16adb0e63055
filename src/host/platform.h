#pragma once

// The platform layer: the two things the plug-in needs of the operating system to reach its
// host. The plug-in library links the real layer (Windows or POSIX); the unit tests link a
// fake in which each test decides which module is loaded and what it exports.

namespace platform {

// The file name of the host's executable.
#if defined(_WIN32)
inline constexpr const char* hostModuleName = "Tormel.exe";
#else
inline constexpr const char* hostModuleName = "Tormel";
#endif

// An opaque handle of a module loaded in the current process.
using Module = void*;

// Finds a module that is already loaded in this process by its file name (no folder), without
// loading anything and without keeping a reference. POSIX: the main program when the base name
// of its path is `fileName`, else a loaded shared object of that file name. Null when none is.
Module findLoadedModule(const char* fileName);

// The address of the function that `module` exports under exactly `name`, or null.
void* findExportedFunction(Module module, const char* name);

}  // namespace platform
