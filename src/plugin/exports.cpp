// The functions the host looks up in the library by their plain names. Each may be called at
// any time, any number of times, on the host's thread, and never throws. Texts are static
// constants that stay valid while the library is loaded; the host never frees them.

#include <new>

#include "host/export.h"
#include "plugin/brindle.h"
#include "plugin/metadata.h"

extern "C" {

// A new plug-in object with no log stream, or null when memory runs out; the host owns it and
// deletes it through slot 0 of its virtual table. Never throws.
BRINDLE_EXPORT TRMLPluginInterface* createPlugin() noexcept { return new (std::nothrow) brindle(); }

// The display name, which also heads every log line. Never throws.
BRINDLE_EXPORT const char* getPluginName() noexcept { return plugin::pluginName; }

// One sentence for the host's plug-in list. Never throws.
BRINDLE_EXPORT const char* getPluginDescription() noexcept { return plugin::pluginDescription; }

// The version text. Never throws.
BRINDLE_EXPORT const char* getPluginVersion() noexcept { return plugin::pluginVersion; }

// The author line, a short HTML fragment. Never throws.
BRINDLE_EXPORT const char* getAuthor() noexcept { return plugin::pluginAuthor; }

// The help page, relative to the plug-in's folder. Never throws.
BRINDLE_EXPORT const char* getHelpFile() noexcept { return plugin::pluginHelpFile; }

// The dialog script the host runs for the plug-in. Never throws.
BRINDLE_EXPORT const char* getGUIScript() noexcept { return plugin::pluginGuiScript; }

}  // extern "C"
