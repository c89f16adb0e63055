#include "plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "host/plugin_interface.h"

namespace tormel {

namespace {

// dlsym hands back an object pointer; the exports are functions.
template <typename Function>
Function functionAt(void* address) {
  return reinterpret_cast<Function>(address);
}

std::string textOf(const char* text) { return text == nullptr ? std::string("(null)") : std::string(text); }

}  // namespace

std::string defaultPluginPath() {
  char path[PATH_MAX + 1] = {};
  const ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
  std::string program = length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
  const auto slash = program.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
  return folder + "/libbrindle.so";
}

PluginLibrary::PluginLibrary(const std::string& path) {
  // RTLD_NOW: a library with unresolved symbols fails here, not in the middle of a task.
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = ::dlerror();
    throw PluginLoadError("cannot load the plug-in " + path + ": " +
                          (reason != nullptr ? reason : "unknown reason"));
  }
  std::string missing;
  const auto lookUp = [&](const char* name) {
    void* address = ::dlsym(handle_, name);
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
    ::dlclose(handle_);
    handle_ = nullptr;
    throw PluginLoadError("the plug-in " + path + " does not export: " + missing);
  }
}

PluginLibrary::~PluginLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
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

std::unique_ptr<TRMLPluginInterface> PluginLibrary::createPlugin() const {
  return std::unique_ptr<TRMLPluginInterface>(create_());
}

}  // namespace tormel
