#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The host calls of the task drivers, through HostApi, with buffers the plug-in owns. The host
// writes into a buffer without being told its size, so every buffer is far larger than any
// path or list the host's dialogs produce, and zero-filled before the call.
namespace host {

inline constexpr std::size_t pathBufferSize = 4096;   // "task", "sdm1", file dialogs
inline constexpr std::size_t listBufferSize = 65536;  // "sdms2", "events"

// The filter of both file dialogs.
inline constexpr const char* sdmFileFilter = "Design Matrix (*.sdm)";

// The text of a dialog parameter, read into a zero-filled buffer of `bufferSize` bytes and
// taken up to its first NUL.
std::string stringParameter(const char* name, std::size_t bufferSize = pathBufferSize);
// A dialog parameter as an on/off flag: true when its integer value is non-zero.
bool flagParameter(const char* name);
// The integer value of a dialog parameter.
int intParameter(const char* name);
// Stores a dialog parameter.
void setStringParameter(const char* name, const std::string& text);
// Shows a modal message box.
void messageBox(const std::string& text);
// The open-file dialog's answer, whatever the dialog returned (empty when the host wrote none).
std::string openFileName(const char* title, const std::string& initialPath);
// The save-file dialog's answer, or nothing when the user cancelled.
std::optional<std::string> saveFileName(const char* title, const std::string& initialPath);

}  // namespace host
