#pragma once

#include <string_view>

// The text after the last "/" or "\" of `path`; the whole path when it has neither. The view
// points into `path`.
inline std::string_view baseNameOf(std::string_view path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}
