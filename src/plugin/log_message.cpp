#include "plugin/log_message.h"

#include "contract/log_text.h"
#include "host/trml_log.h"

namespace plugin {

void logMessage(TRMLLog& log, std::string_view text) {
  // A stream left bad by an earlier failure (the host's log function threw, memory ran out)
  // would drop every later message: each message starts afresh.
  log.clear();
  log << contract::logPrefix << text;
  log.flush();
}

}  // namespace plugin
