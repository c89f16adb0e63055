#include "sdm/sdm_input.h"

#include <cstring>
#include <limits>
#include <utility>

#include "sdm/io_error.h"

namespace sdm {

namespace {

constexpr std::size_t inputBufferSize = 64 * 1024;

// The white space of the classic locale.
bool isSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(int c) { return c >= '0' && c <= '9'; }

std::string cannotOpen(const std::string& path, int error) {
  return "Failed opening for reading: " + path + " (" + filesys::failureReason(error) + ")";
}

}  // namespace

SdmInput::SdmInput(const std::string& path)
    : path_(path), buffer_(inputBufferSize), limitEnd_(std::numeric_limits<std::size_t>::max()) {
  // Bytes as they are: the reader itself drops the carriage return before a line feed, the
  // same on every platform.
  std::int64_t size = -1;
  if (const int error = filesys::fileSystem().openForReading(path, file_, size); error != 0) {
    file_ = filesys::noHandle;
    throw OpenFileError(cannotOpen(path, error));
  }
  if (size >= 0) size_ = static_cast<std::uintmax_t>(size);
  // Some systems open a folder as a file and fail only on the first read; that is still a
  // path that cannot be opened for reading.
  try {
    refill();
  } catch (const IOError&) {
    throw OpenFileError(cannotOpen(path, readError_));
  }
}

SdmInput::~SdmInput() {
  if (file_ != filesys::noHandle) filesys::fileSystem().close(file_);
}

void SdmInput::limit(std::size_t bytes, std::string message) {
  const std::size_t consumed = bufferStart_ + pos_;
  limitEnd_ = bytes > std::numeric_limits<std::size_t>::max() - consumed
                  ? std::numeric_limits<std::size_t>::max()
                  : consumed + bytes;
  limitMessage_ = std::move(message);
  setEnd();
}

void SdmInput::unlimit() {
  limitEnd_ = std::numeric_limits<std::size_t>::max();
  setEnd();
}

std::optional<std::uintmax_t> SdmInput::remainingBytes() const {
  if (!size_) return std::nullopt;
  const std::uintmax_t consumed = bufferStart_ + pos_;
  return *size_ > consumed ? *size_ - consumed : 0;
}

void SdmInput::setEnd() {
  const std::size_t room = limitEnd_ - bufferStart_;  // the limit never lies behind the buffer
  end_ = filled_ < room ? filled_ : room;
}

bool SdmInput::more() {
  // The limit is checked once a buffer, not once a byte: it only shortens the usable part.
  if (end_ < filled_) throw IOError(limitMessage_);
  if (!refill()) return false;
  if (end_ == 0) throw IOError(limitMessage_);
  return true;
}

bool SdmInput::refill() {
  bufferStart_ += filled_;
  pos_ = 0;
  end_ = 0;
  filled_ = 0;
  if (exhausted_) return false;
  readError_ = filesys::fileSystem().read(file_, buffer_.data(), buffer_.size(), filled_);
  if (readError_ != 0) {
    filled_ = 0;
    throw IOError("Failed reading from: " + path_ + " (" + filesys::failureReason(readError_) +
                  ")");
  }
  if (filled_ == 0) {
    exhausted_ = true;
    return false;
  }
  setEnd();
  return true;
}

bool SdmInput::readToken(std::string& token, std::size_t maxStored) {
  token.clear();
  int c = peek();
  while (isSpace(c)) {
    advance();
    c = peek();
  }
  if (c < 0) return false;
  bool overlong = false;
  while (c >= 0 && !isSpace(c)) {
    if (!overlong) {
      if (token.size() < maxStored) {
        token.push_back(static_cast<char>(c));
      } else {
        overlong = true;
        token.clear();
      }
    }
    advance();
    c = peek();
  }
  return true;
}

SdmInput::Extract SdmInput::readInteger(int32_t& value) {
  int c = peek();
  while (isSpace(c)) {
    advance();
    c = peek();
  }
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    advance();
    c = peek();
  }
  if (!isDigit(c)) return Extract::failed;
  // Like a stream, every digit is consumed even when the number has already overflowed.
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  int64_t magnitude = 0;
  bool overflow = false;
  while (isDigit(c)) {
    if (!overflow) {
      magnitude = magnitude * 10 + (c - '0');
      overflow = magnitude > limit;
    }
    advance();
    c = peek();
  }
  if (overflow) return Extract::failed;
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return c < 0 ? Extract::okAtEnd : Extract::ok;
}

bool SdmInput::readLine(std::string& line, std::size_t maxLength) {
  line.clear();
  return appendLine(line, maxLength);
}

bool SdmInput::appendLine(std::string& text, std::size_t maxLength) {
  if (peek() < 0) return false;
  const std::size_t start = text.size();
  // One byte more than the bound may be held: the carriage return before the line feed.
  const std::size_t holdLimit =
      maxLength < std::numeric_limits<std::size_t>::max() ? maxLength + 1 : maxLength;
  for (;;) {
    if (pos_ == end_ && !more()) break;
    const char* begin = buffer_.data() + pos_;
    const std::size_t available = end_ - pos_;
    const auto* feed = static_cast<const char*>(std::memchr(begin, '\n', available));
    const std::size_t take = feed ? static_cast<std::size_t>(feed - begin) : available;
    if (take > holdLimit - (text.size() - start)) throw IOError("Line too long in " + path_);
    text.append(begin, take);
    pos_ += take;
    if (feed) {
      ++pos_;
      if (text.size() > start && text.back() == '\r') text.pop_back();
      break;
    }
  }
  if (text.size() - start > maxLength) throw IOError("Line too long in " + path_);
  return true;
}

}  // namespace sdm
