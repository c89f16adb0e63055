// The functions the host looks up in the library by their plain names. Each may be called at
// any time, any number of times, on the host's thread. Texts are static constants that stay
// valid while the library is loaded; the host never frees them.

#include "host/export.h"
#include "plugin/brindle.h"
#include "plugin/metadata.h"

extern "C" {

// A new plug-in object with no log stream; the host owns it and deletes it through slot 0 of
// its virtual table.
BRINDLE_EXPORT TRMLPluginInterface* createPlugin() { return new brindle(); }

// The display name, which also heads every log line.
BRINDLE_EXPORT const char* getPluginName() { return pluginName; }

// One sentence for the host's plug-in list.
BRINDLE_EXPORT const char* getPluginDescription() { return pluginDescription; }

BRINDLE_EXPORT const char* getPluginVersion() { return pluginVersion; }

// The author line, a short HTML fragment.
BRINDLE_EXPORT const char* getAuthor() { return pluginAuthor; }

// The help page, relative to the plug-in's folder.
BRINDLE_EXPORT const char* getHelpFile() { return pluginHelpFile; }

// The dialog script the host runs for the plug-in.
BRINDLE_EXPORT const char* getGUIScript() { return pluginGuiScript; }

}  // extern "C"
