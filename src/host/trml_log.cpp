#include "host/trml_log.h"

#include <locale>
#include <string>

TRMLLog::TRMLBuf::TRMLBuf(hostfn::TextFunction logFunction) : logFunction_(logFunction) {}

TRMLLog::TRMLBuf::~TRMLBuf() {
  // A destructor must not throw; a log function that does loses this last piece.
  try {
    TRMLBuf::sync();
  } catch (...) {
  }
}

int TRMLLog::TRMLBuf::sync() {
  const std::string text = str();
  logFunction_(text.c_str());
  str(std::string());
  return 0;
}

// The base is built before the member buffer exists, so the buffer is installed afterwards.
TRMLLog::TRMLLog(hostfn::TextFunction logFunction) : std::ostream(nullptr), buffer_(logFunction) {
  rdbuf(&buffer_);
  imbue(std::locale::classic());
}

TRMLLog::~TRMLLog() = default;
