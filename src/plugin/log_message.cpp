#include "plugin/log_message.h"

#include "host/trml_log.h"
#include "plugin/metadata.h"

void logMessage(TRMLLog& log, std::string_view text) {
  log << '\n' << pluginName << text;
  log.flush();
}
