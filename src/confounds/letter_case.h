#pragma once

#include <string>
#include <string_view>

namespace confounds {

// `text` with the letters A to Z made lower case, nothing else changed (whatever the locale).
inline std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace confounds
