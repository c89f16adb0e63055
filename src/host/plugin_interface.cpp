#include "host/plugin_interface.h"

// Defined out of line so that the library exports them with the virtual table.
TRMLPluginInterface::TRMLPluginInterface() = default;
TRMLPluginInterface::TRMLPluginInterface(const TRMLPluginInterface&) = default;
TRMLPluginInterface& TRMLPluginInterface::operator=(const TRMLPluginInterface&) = default;
TRMLPluginInterface::~TRMLPluginInterface() = default;
