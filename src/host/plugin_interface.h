#pragma once

#include "host/export.h"

// The host's abstract plug-in base. The host creates a plug-in through the library's
// createPlugin, calls initPlugin, then execute once per dialog action, and deletes the object
// through the virtual destructor, all on its own thread, one call at a time.
//
// Nothing may unwind into the host: an exception leaving any of these entries would end the
// host's process and lose the user's unsaved work. Every entry below never throws.
//
// The virtual slots are part of the host's binary interface: do not reorder, add or remove.
class BRINDLE_EXPORT TRMLPluginInterface {
 public:
  TRMLPluginInterface();
  TRMLPluginInterface(const TRMLPluginInterface& other);
  TRMLPluginInterface& operator=(const TRMLPluginInterface& other);

  // Slot 0. Called by the host's delete, once, after the last execute. Does nothing in the
  // base. Never throws.
  virtual ~TRMLPluginInterface();
  // Slot 1. Runs one dialog action; the result goes back to the host's dialog. Called after
  // initPlugin returned true. Never throws: failures are shown in a message box.
  virtual bool execute() noexcept = 0;
  // Slot 2. Prepares the plug-in; false when it cannot run in this host. May be called again at
  // any time. Never throws: any failure returns false.
  virtual bool initPlugin() noexcept = 0;
};
