#pragma once

#include <string>

// What the stand-in host needs of the operating system: loading the plug-in library and finding
// its functions, its own program path, and standard streams that pass bytes unchanged.
// POSIX: dlopen, dlsym and /proc/self/exe. Windows: LoadLibraryA, GetProcAddress and
// GetModuleFileNameA.
namespace tormel::os {

// The plug-in library's file name, looked for beside the program, and the characters that end
// a folder in a path.
#if defined(_WIN32)
inline constexpr const char* pluginFileName = "brindle.dll";
inline constexpr const char* folderSeparators = "/\\";
inline constexpr char folderSeparator = '\\';
#else
inline constexpr const char* pluginFileName = "libbrindle.so";
inline constexpr const char* folderSeparators = "/";
inline constexpr char folderSeparator = '/';
#endif

// Loads the library at `path`, resolving everything it needs at once. Returns its handle, or
// null with the system's reason in `reason`. The caller releases it with unloadLibrary.
void* loadLibrary(const std::string& path, std::string& reason);

// The address of the function `library` exports under exactly `name`, or null.
void* findFunction(void* library, const char* name);

// Releases a handle from loadLibrary.
void unloadLibrary(void* library);

// True when `path` names an existing file that is not a folder (links followed).
bool isFile(const std::string& path);

// The full path of the running program; empty when the system does not tell.
std::string programPath();

// Sets the environment variable `name` to `value` for this process and the plug-in it loads.
void setEnvironment(const char* name, const std::string& value);

// Makes standard output and standard error pass every byte unchanged, so the log text reaches
// them exactly as the plug-in sent it (Windows would turn "\n" into "\r\n"). No-op on POSIX.
void useBinaryStandardStreams();

// Lets a write beyond the process's file size limit fail with its error (the plug-in then says
// "(file too large)") rather than end the process with a signal. No-op on Windows.
void ignoreFileSizeSignal();

}  // namespace tormel::os
