#pragma once

#include <memory>

#include "host/plugin_interface.h"

// Deletes a plug-in object the way the host does, whichever way TRMLPluginInterface declares
// its destructor: `delete` for the plain virtual destructor; in GCC builds for Windows, whose
// base has no public destructor, a call of slot 0 with flags 1 (destroy and free), which is
// what the host's compiler makes of `delete`. Null is left alone.
struct PluginDeleter {
  void operator()(TRMLPluginInterface* plugin) const noexcept {
#if BRINDLE_SCALAR_DELETING_DESTRUCTOR
    if (plugin != nullptr) plugin->scalarDeletingDestructor(1u);
#else
    delete plugin;
#endif
  }
};

// A plug-in object owned by our own code (the stand-in host, the tests).
using PluginPointer = std::unique_ptr<TRMLPluginInterface, PluginDeleter>;
