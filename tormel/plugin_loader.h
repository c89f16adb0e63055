#pragma once

#include <stdexcept>
#include <string>

#include "host/plugin_deleter.h"

// Loading the plug-in library and reaching its seven exports.
namespace tormel {

// The library could not be loaded, or lacks exports; the message says which and why.
class PluginLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The six metadata texts, as the plug-in returned them ("(null)" for a null pointer).
struct PluginMetadata {
  std::string name, description, version, author, helpFile, guiScript;
};

// The plug-in library of the running program: libbrindle.so (brindle.dll on Windows) in the
// program's folder, or else in ../lib/brindle/ from there (the installed layout) when it is
// there; the first of the two when neither is, so that the loader's complaint names it.
std::string defaultPluginPath();

// A loaded plug-in library. Unloads it when destroyed, so every plug-in object it created must
// be deleted first.
class PluginLibrary {
 public:
  // Loads the library at `path` and looks up createPlugin and the six metadata functions.
  // Throws PluginLoadError when it cannot be loaded or any of the seven is missing (all
  // missing names in the message).
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Calls the six metadata functions, in the order of PluginMetadata.
  PluginMetadata metadata() const;
  // Calls createPlugin; the caller owns the object (null when the plug-in returned none).
  PluginPointer createPlugin() const;

 private:
  using TextFunction = const char* (*)();
  using FactoryFunction = TRMLPluginInterface* (*)();

  void* handle_ = nullptr;
  FactoryFunction create_ = nullptr;
  TextFunction name_ = nullptr, description_ = nullptr, version_ = nullptr, author_ = nullptr,
               helpFile_ = nullptr, guiScript_ = nullptr;
};

}  // namespace tormel
