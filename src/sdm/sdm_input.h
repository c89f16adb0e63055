#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"

namespace sdm {

// Buffered, locale-free input of one file (an SDM, a confound table), read as bytes through a
// fixed-size buffer from the file-system seam (base/file_system.h).
// It offers the few extractions the SDM reader needs, each with the rules of an input stream
// in the classic locale: white space is space, tab, line feed, carriage return, vertical tab
// and form feed. Owns the open file and closes it when destroyed.
class SdmInput {
 public:
  // Outcome of an integer extraction. `okAtEnd`: a number was read and the file ended right
  // after it (a stream would be at its end: no longer in a good state, yet the value counts).
  enum class Extract { ok, okAtEnd, failed };

  // Opens `path` for reading. Throws OpenFileError "Failed opening for reading: " + path + " ("
  // + filesys::failureReason(...) + ")" when it cannot be opened or its first bytes cannot be
  // read ("no such file or folder"; "a folder is in the way" for a path that names a folder).
  explicit SdmInput(const std::string& path);
  ~SdmInput();
  SdmInput(const SdmInput&) = delete;
  SdmInput& operator=(const SdmInput&) = delete;

  // The next byte (0..255) without consuming it, or -1 at the end of the file. Throws
  // IOError "Failed reading from: " + path + " (" + reason + ")" when the file cannot be read
  // any further, and
  // IOError with the message given to limit() when the next byte lies beyond the limit.
  int peek() {
    if (pos_ == end_ && !more()) return -1;
    return static_cast<unsigned char>(buffer_[pos_]);
  }

  // From here on at most `bytes` more bytes may be consumed: reaching for one beyond them
  // throws IOError(message) instead, so that a section of a file cannot run on for ever.
  // Replaces any earlier limit.
  void limit(std::size_t bytes, std::string message);
  // Lifts the limit.
  void unlimit();
  // The bytes of the file not consumed yet, as far as the file's size tells when it was opened;
  // nothing when the size is unknown (a pipe, say).
  std::optional<std::uintmax_t> remainingBytes() const;
  // The bytes read ahead and not consumed yet (all of a small file right after opening, else the
  // first block): what the file begins with, to tell its kind without reading it twice.
  std::string_view buffered() const { return {buffer_.data() + pos_, end_ - pos_}; }

  // Consumes the byte that peek() returned; call only after peek() returned a byte.
  void advance() { ++pos_; }

  // Skips white space and consumes the run of other bytes after it. Stores the run in
  // `token` when it has at most `maxStored` bytes, else leaves `token` empty (an overlong
  // token is consumed but never held). Returns false when the file ends before a token.
  bool readToken(std::string& token, std::size_t maxStored);

  // Skips white space, then reads an optional sign and decimal digits into `value`. Fails
  // (leaving `value` alone) when no digit follows or the number does not fit 32 bits; the
  // sign and digits read before a failure stay consumed, as a stream would leave them.
  Extract readInteger(int32_t& value);

  // Reads the rest of the current line into `line` (replacing its content) and consumes the
  // line feed; a carriage return right before the line feed is dropped. Returns false, with
  // `line` empty, when the file is already exhausted. Throws IOError "Line too long in " +
  // path when the line holds more than `maxLength` bytes; no more than that is ever held.
  bool readLine(std::string& line, std::size_t maxLength);
  // The same, appending the line to `text` (what `text` held before is kept and not counted);
  // returns false, adding nothing, when the file is already exhausted.
  bool appendLine(std::string& text, std::size_t maxLength);

 private:
  // Makes the next byte available once the buffer is used up: false at the end of the file;
  // throws at the limit.
  bool more();
  // Loads the next block of the file into the buffer; false at the end of the file.
  bool refill();
  // The end of the usable bytes in the buffer: what was read, cut at the limit.
  void setEnd();

  std::string path_;
  filesys::Handle file_ = filesys::noHandle;  // open through the file-system seam
  std::vector<char> buffer_;
  std::size_t pos_ = 0;          // next byte to consume in buffer_
  std::size_t end_ = 0;          // end of the usable bytes in buffer_
  std::size_t filled_ = 0;       // bytes read into buffer_
  std::size_t bufferStart_ = 0;  // offset in the file of buffer_[0]
  std::size_t limitEnd_;         // offset in the file where the limit falls
  std::string limitMessage_;
  bool exhausted_ = false;
  int readError_ = 0;                   // the system's error code of a failed read
  std::optional<std::uintmax_t> size_;  // the file's size when it was opened
};

}  // namespace sdm
