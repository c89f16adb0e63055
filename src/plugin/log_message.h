#pragma once

#include <string_view>

class TRMLLog;

namespace plugin {

// Writes one progress message: "\n", the display name, ">  ", then `text`, and flushes, so the
// host's log receives it in one piece ("\nBrindle>  Saved out/run1.sdm"). The beginning of a
// message is contract::logPrefix. Throws what the stream throws (nothing unless exceptions were
// enabled on it, or memory runs out).
void logMessage(TRMLLog& log, std::string_view text);

}  // namespace plugin
