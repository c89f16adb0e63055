#pragma once

#include "host/export.h"

// The host is built with Microsoft's compiler and calls the plug-in object through its virtual
// table, which that compiler lays out as: slot 0 the scalar deleting destructor, slot 1
// execute, slot 2 initPlugin. GCC on Windows (MinGW-w64) follows the Itanium rules instead,
// which give a virtual destructor two slots and would move execute and initPlugin down by one.
// There the destructor's slot is declared as the function the host calls, so both compilers
// build the same table. BRINDLE_PLAIN_PLUGIN_DESTRUCTOR keeps the plain virtual destructor
// (the control build that shows the two tables apart).
#if defined(_WIN32) && !defined(_MSC_VER) && !defined(BRINDLE_PLAIN_PLUGIN_DESTRUCTOR)
#define BRINDLE_SCALAR_DELETING_DESTRUCTOR 1
#else
#define BRINDLE_SCALAR_DELETING_DESTRUCTOR 0
#endif

// The host's abstract plug-in base. The host creates a plug-in through the library's
// createPlugin, calls initPlugin, then execute once per dialog action, and deletes the object
// through slot 0, all on its own thread, one call at a time. Our own code deletes one with
// PluginDeleter (host/plugin_deleter.h), which works with either declaration.
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

#if BRINDLE_SCALAR_DELETING_DESTRUCTOR
  // Slot 0, the host's delete: destroys the object and, when bit 0 of `flags` is set, frees
  // its memory with this library's operator delete. Returns this. Never throws.
  virtual void* scalarDeletingDestructor(unsigned int flags) noexcept = 0;
#else
  // Slot 0. Called by the host's delete, once, after the last execute. Does nothing in the
  // base. Never throws.
  virtual ~TRMLPluginInterface();
#endif
  // Slot 1. Runs one dialog action; the result goes back to the host's dialog. Called after
  // initPlugin returned true. Never throws: failures are shown in a message box.
  virtual bool execute() noexcept = 0;
  // Slot 2. Prepares the plug-in; false when it cannot run in this host. May be called again at
  // any time. Never throws: any failure returns false.
  virtual bool initPlugin() noexcept = 0;

#if BRINDLE_SCALAR_DELETING_DESTRUCTOR
 protected:
  // Not virtual (that would add the two slots back): only slot 0 destroys a plug-in.
  ~TRMLPluginInterface();
#endif
};
