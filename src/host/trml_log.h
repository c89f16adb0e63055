#pragma once

#include <ostream>
#include <sstream>

#include "host/host_api.h"

// The plug-in's log: an ordinary output stream whose text reaches the host's log pane in one
// call per flush. Write a message with the insertion operators and end it with a flush.
class TRMLLog : public std::ostream {
 public:
  // The in-memory buffer behind the stream: collects text and hands all of it to the log
  // function on every sync, also when it is empty.
  class TRMLBuf : public std::stringbuf {
   public:
    // `logFunction` must not be null; it is never tested.
    explicit TRMLBuf(hostfn::TextFunction logFunction);
    // Syncs once, forwarding whatever is pending (the empty text when nothing is).
    ~TRMLBuf() override;

   protected:
    // Passes the whole content to the log function in one call, empties the buffer and
    // returns 0: a flush never fails.
    int sync() override;

   private:
    hostfn::TextFunction logFunction_;
  };

  // Binds the stream's own buffer to `logFunction`. Numbers are formatted in the classic
  // locale whatever the host set as the global one.
  explicit TRMLLog(hostfn::TextFunction logFunction);
  // Destroys the buffer without flushing the stream; the buffer forwards what is pending.
  ~TRMLLog() override;

  TRMLLog(const TRMLLog&) = delete;
  TRMLLog& operator=(const TRMLLog&) = delete;

 private:
  TRMLBuf buffer_;
};
