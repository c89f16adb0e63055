#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace base {

// Receives a text piece by piece, in order: a file being written, a string being built. Renderers
// write to one so that what they make never has to be held whole.
using TextSink = std::function<void(std::string_view)>;

// Text built in a string and handed on to a sink in pieces of about a mebibyte, so that a long
// text is never held whole: append to `text`, call spillWhenFull() at convenient places and
// flush() at the end.
class ChunkedText {
 public:
  explicit ChunkedText(const TextSink& put) : put_(put) {}
  std::string text;
  void spillWhenFull() {
    if (text.size() >= (std::size_t{1} << 20)) flush();
  }
  void flush() {
    if (!text.empty()) put_(text);
    text.clear();
  }

 private:
  const TextSink& put_;
};

}  // namespace base
