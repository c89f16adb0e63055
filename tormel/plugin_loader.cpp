#include "plugin_loader.h"

#include "host/plugin_deleter.h"
#include "system.h"

namespace tormel {

namespace {

// The loader hands back object pointers; the exports are functions.
template <typename Function>
Function functionAt(void* address) {
  return reinterpret_cast<Function>(address);
}

std::string textOf(const char* text) {
  return text == nullptr ? std::string("(null)") : std::string(text);
}

}  // namespace

std::string defaultPluginPath() {
  const std::string program = os::programPath();
  const auto slash = program.find_last_of(os::folderSeparators);
  const std::string folder =
      slash == std::string::npos ? std::string(".") : program.substr(0, slash);
  const std::string beside = folder + os::folderSeparator + os::pluginFileName;
  // An installed program lives in PREFIX/bin and its plug-in in PREFIX/lib/brindle.
  const std::string installed = folder + os::folderSeparator + ".." + os::folderSeparator + "lib" +
                                os::folderSeparator + "brindle" + os::folderSeparator +
                                os::pluginFileName;
  if (!os::isFile(beside) && os::isFile(installed)) return installed;
  return beside;
}

PluginLibrary::PluginLibrary(const std::string& path) {
  std::string reason;
  handle_ = os::loadLibrary(path, reason);
  if (handle_ == nullptr) throw PluginLoadError("cannot load the plug-in " + path + ": " + reason);
  std::string missing;
  const auto lookUp = [&](const char* name) {
    void* address = os::findFunction(handle_, name);
    if (address == nullptr) missing += missing.empty() ? name : std::string(", ") + name;
    return address;
  };
  create_ = functionAt<FactoryFunction>(lookUp("createPlugin"));
  name_ = functionAt<TextFunction>(lookUp("getPluginName"));
  description_ = functionAt<TextFunction>(lookUp("getPluginDescription"));
  version_ = functionAt<TextFunction>(lookUp("getPluginVersion"));
  author_ = functionAt<TextFunction>(lookUp("getAuthor"));
  helpFile_ = functionAt<TextFunction>(lookUp("getHelpFile"));
  guiScript_ = functionAt<TextFunction>(lookUp("getGUIScript"));
  if (!missing.empty()) {
    os::unloadLibrary(handle_);
    handle_ = nullptr;
    throw PluginLoadError("the plug-in " + path + " does not export: " + missing);
  }
}

PluginLibrary::~PluginLibrary() {
  if (handle_ != nullptr) os::unloadLibrary(handle_);
}

PluginMetadata PluginLibrary::metadata() const {
  PluginMetadata data;
  data.name = textOf(name_());
  data.description = textOf(description_());
  data.version = textOf(version_());
  data.author = textOf(author_());
  data.helpFile = textOf(helpFile_());
  data.guiScript = textOf(guiScript_());
  return data;
}

PluginPointer PluginLibrary::createPlugin() const { return PluginPointer(create_()); }

}  // namespace tormel
