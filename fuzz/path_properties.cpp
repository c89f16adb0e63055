#include "path_properties.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/split.h"
#include "merge/merge_names.h"

using namespace base;
using namespace merge;

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }
bool isBreak(char c) { return c == '_' || c == ' '; }

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The base name is the path's tail after its last separator, and holds none.
std::string baseNameProblem(const std::string& path) {
  const std::string base = baseName(path);
  if (!endsWith(path, base)) return "baseName is not the end of the path";
  if (std::any_of(base.begin(), base.end(), isSeparator)) return "baseName holds a separator";
  if (base.size() < path.size() && !isSeparator(path[path.size() - base.size() - 1])) {
    return "baseName does not start after a separator";
  }
  return "";
}

// The stripped text is the text before its last point, or all of it without one.
std::string stripExtensionProblem(const std::string& text) {
  const std::string stem = stripExtension(text);
  if (!startsWith(text, stem)) return "stripExtension is not the start of the text";
  const auto dot = text.rfind('.');
  if (dot == std::string::npos ? stem.size() != text.size() : stem.size() != dot) {
    return "stripExtension did not cut at the last point";
  }
  return "";
}

// The suffix goes in right before the last point of the whole path (or at its end), and every
// other byte of the path stays where it was around it.
std::string insertSuffixProblem(const std::string& path, const std::string& suffix) {
  const std::string merged = insertSuffix(path, suffix);
  const auto dot = path.rfind('.');
  const std::size_t at = dot == std::string::npos ? path.size() : dot;
  if (merged.size() != path.size() + suffix.size() ||
      std::string_view(merged).substr(0, at) != std::string_view(path).substr(0, at) ||
      std::string_view(merged).substr(at, suffix.size()) != suffix ||
      std::string_view(merged).substr(at + suffix.size()) != std::string_view(path).substr(at)) {
    return "insertSuffix did not insert before the last point";
  }
  return "";
}

// The suffix starts at the last underscore or space c of the other's stem A at which this stem
// B begins with A's first c characters; "_" and all of A when A has neither character.
std::string mergeSuffixProblem(const std::string& thisPath, const std::string& otherPath) {
  const std::string suffix = mergeSuffix(thisPath, otherPath);
  const std::string other = stripExtension(baseName(otherPath));
  const std::string self = stripExtension(baseName(thisPath));
  std::size_t expected = std::string::npos;
  for (std::size_t c = other.size(); c-- > 0;) {
    if (isBreak(other[c]) && startsWith(self, std::string_view(other).substr(0, c))) {
      expected = c;
      break;
    }
  }
  const std::string wanted = expected == std::string::npos ? "_" + other : other.substr(expected);
  if (suffix != wanted) return "mergeSuffix is not the text from the agreeing break";
  return insertSuffixProblem(thisPath, suffix);
}

// Entries joined by the delimiter give the text back (less a final delimiter), none holds the
// delimiter, and each delimiter ends exactly one entry.
std::string splitProblem(const std::string& text, char delimiter) {
  const std::vector<std::string> entries = split(text, delimiter);
  std::string joined;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].find(delimiter) != std::string::npos)
      return "split left a delimiter in an entry";
    if (i > 0) joined += delimiter;
    joined += entries[i];
  }
  const bool finalDelimiter = !text.empty() && text.back() == delimiter;
  if (joined != (finalDelimiter ? text.substr(0, text.size() - 1) : text)) {
    return "split entries do not join to the text";
  }
  const auto delimiters = static_cast<std::size_t>(std::count(text.begin(), text.end(), delimiter));
  if (entries.size() != delimiters + (text.empty() || finalDelimiter ? 0 : 1)) {
    return "split gave the wrong number of entries";
  }
  return "";
}

}  // namespace

std::string checkPathFunctions(std::string_view bytes) {
  const auto nul = bytes.find('\0');
  const std::string thisPath(bytes.substr(0, nul));
  const std::string otherPath(nul == std::string_view::npos ? std::string_view()
                                                            : bytes.substr(nul + 1));
  const std::string whole(bytes);
  for (const std::string& problem :
       {baseNameProblem(thisPath), baseNameProblem(otherPath), stripExtensionProblem(thisPath),
        stripExtensionProblem(otherPath), insertSuffixProblem(thisPath, otherPath),
        mergeSuffixProblem(thisPath, otherPath), mergeSuffixProblem(otherPath, thisPath),
        splitProblem(whole, '\n'), splitProblem(whole, whole.empty() ? '\n' : whole[0])}) {
    if (!problem.empty()) return problem;
  }
  return "";
}
