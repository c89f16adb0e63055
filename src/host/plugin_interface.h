#pragma once

#include "host/export.h"

// The host's abstract plug-in base. The host creates a plug-in through the library's
// createPlugin, calls initPlugin once, execute once per dialog action, and deletes the object
// through the virtual destructor, all on its own thread.
//
// The virtual slots are part of the host's binary interface: do not reorder, add or remove.
class BRINDLE_EXPORT TRMLPluginInterface {
 public:
  TRMLPluginInterface();
  TRMLPluginInterface(const TRMLPluginInterface& other);
  TRMLPluginInterface& operator=(const TRMLPluginInterface& other);

  // Slot 0. Does nothing in the base.
  virtual ~TRMLPluginInterface();
  // Slot 1. Runs one dialog action; the result goes back to the host's dialog.
  virtual bool execute() = 0;
  // Slot 2. Prepares the plug-in; false when it cannot run in this host.
  virtual bool initPlugin() = 0;
};
