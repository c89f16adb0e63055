#pragma once

#include <charconv>
#include <string>

namespace testing_support {

// The shortest text that reads back as `value` ("1.5", "-2", "0.25"), locale-free.
inline std::string numberText(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace testing_support
