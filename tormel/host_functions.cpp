// The host functions the plug-in calls, exported from the executable under their plain names so
// that the plug-in finds them in the main program (dlsym; GetProcAddress on Tormel.exe on
// Windows). Each forwards to the installed HostState.

#include "host_functions.h"

#include <type_traits>

#include "host/host_api.h"
#include "host_state.h"

namespace tormel {
namespace {
HostState* installed = nullptr;
}  // namespace

void installHost(HostState* state) { installed = state; }

}  // namespace tormel

using tormel::installed;

#if defined(_WIN32)
#define TORMEL_EXPORT extern "C" __declspec(dllexport)
#else
#define TORMEL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TORMEL_EXPORT void tmGetVersionOfTormel(int* major, int* minor, int* third) {
  if (installed != nullptr) installed->getVersion(major, minor, third);
}

TORMEL_EXPORT void tmShowLogTab() {
  if (installed != nullptr) installed->showLogTab();
}

TORMEL_EXPORT void tmLogText(const char* text) {
  if (installed != nullptr) installed->logText(text);
}

TORMEL_EXPORT void tmMessageBox(const char* text) {
  if (installed != nullptr) installed->messageBox(text);
}

TORMEL_EXPORT void tmGetStringParameter(const char* name, char* buffer) {
  if (installed != nullptr) installed->getStringParameter(name, buffer);
}

TORMEL_EXPORT int tmGetIntParameter(const char* name) {
  return installed != nullptr ? installed->getIntParameter(name) : 0;
}

TORMEL_EXPORT void tmSetStringParameter(const char* name, const char* text) {
  if (installed != nullptr) installed->setStringParameter(name, text);
}

TORMEL_EXPORT int tmGetOpenFileName(const char* title, const char* initialPath, const char* filter,
                                    char* buffer) {
  return installed != nullptr ? installed->getOpenFileName(title, initialPath, filter, buffer) : 0;
}

TORMEL_EXPORT int tmGetSaveFileName(const char* title, const char* initialPath, const char* filter,
                                    char* buffer) {
  return installed != nullptr ? installed->getSaveFileName(title, initialPath, filter, buffer) : 0;
}

TORMEL_EXPORT void tmShowBusyCursor() {
  if (installed != nullptr) installed->showBusyCursor();
}

TORMEL_EXPORT void tmStopBusyCursor() {
  if (installed != nullptr) installed->stopBusyCursor();
}

// The plug-in calls these through pointers of the hostfn shapes: keep them identical.
static_assert(std::is_same_v<decltype(&tmGetVersionOfTormel), hostfn::VersionFunction>);
static_assert(std::is_same_v<decltype(&tmShowLogTab), hostfn::VoidFunction>);
static_assert(std::is_same_v<decltype(&tmLogText), hostfn::TextFunction>);
static_assert(std::is_same_v<decltype(&tmMessageBox), hostfn::TextFunction>);
static_assert(std::is_same_v<decltype(&tmGetStringParameter), hostfn::GetStringParameterFunction>);
static_assert(std::is_same_v<decltype(&tmGetIntParameter), hostfn::GetIntParameterFunction>);
static_assert(std::is_same_v<decltype(&tmSetStringParameter), hostfn::SetStringParameterFunction>);
static_assert(std::is_same_v<decltype(&tmGetOpenFileName), hostfn::OpenFileNameFunction>);
static_assert(std::is_same_v<decltype(&tmGetSaveFileName), hostfn::SaveFileNameFunction>);
static_assert(std::is_same_v<decltype(&tmShowBusyCursor), hostfn::VoidFunction>);
static_assert(std::is_same_v<decltype(&tmStopBusyCursor), hostfn::VoidFunction>);
