#include "diagnostics/display_names.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <string_view>
#include <unordered_map>

namespace diagnostics {

std::vector<std::string> displayNames(std::span<const std::string> names) {
  std::unordered_map<std::string_view, std::size_t> occurrences;
  for (const std::string& name : names) ++occurrences[name];
  std::unordered_map<std::string_view, std::size_t> seen;
  std::vector<std::string> shown;
  shown.reserve(names.size());
  for (const std::string& name : names) {
    shown.push_back(name);
    if (occurrences[name] > 1) {
      std::array<char, 24> digits{};
      const auto end =
          std::to_chars(digits.data(), digits.data() + digits.size(), ++seen[name]).ptr;
      shown.back() += " #";
      shown.back().append(digits.data(), end);
    }
  }
  return shown;
}

}  // namespace diagnostics
