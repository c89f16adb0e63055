#pragma once

#include <string_view>

class TRMLLog;

// Writes one progress message: "\n", the display name, `text` (which begins with ">  "), then
// flushes, so the host's log receives it in one piece. Throws what the stream throws (nothing
// unless exceptions were enabled on it, or memory runs out).
void logMessage(TRMLLog& log, std::string_view text);
