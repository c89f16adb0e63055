#include "contract/terms.h"

#include <algorithm>
#include <cstddef>

namespace contract {

namespace {

// True when `piece` (no "*", "?" matching any byte) matches `text` at its start.
bool piecePrefix(std::string_view piece, std::string_view text) {
  if (text.size() < piece.size()) return false;
  for (std::size_t k = 0; k < piece.size(); ++k)
    if (piece[k] != '?' && piece[k] != text[k]) return false;
  return true;
}

// Where `piece` first matches in `text` at or after `from`; npos when nowhere.
std::size_t findPiece(std::string_view piece, std::string_view text, std::size_t from) {
  for (std::size_t at = from; at + piece.size() <= text.size(); ++at)
    if (piecePrefix(piece, text.substr(at))) return at;
  return std::string_view::npos;
}

}  // namespace

std::string_view withoutBlanks(std::string_view text) {
  constexpr std::string_view blanks = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

std::vector<std::string_view> splitTerms(std::string_view terms) {
  std::vector<std::string_view> list;
  for (std::size_t start = 0; start <= terms.size();) {
    const std::size_t comma = std::min(terms.find(',', start), terms.size());
    const std::string_view term = withoutBlanks(terms.substr(start, comma - start));
    start = comma + 1;
    if (!term.empty()) list.push_back(term);
  }
  return list;
}

bool matchesWildcard(std::string_view term, std::string_view name) {
  const std::size_t firstStar = term.find('*');
  if (firstStar == std::string_view::npos)
    return term.size() == name.size() && piecePrefix(term, name);
  // Before the first star: the start of the name; after the last: its end; every piece
  // between two stars at its leftmost place after the one before, which leaves the most room
  // for the rest.
  const std::string_view head = term.substr(0, firstStar);
  const std::size_t lastStar = term.rfind('*');
  const std::string_view tail = term.substr(lastStar + 1);
  if (name.size() < head.size() + tail.size() || !piecePrefix(head, name) ||
      !piecePrefix(tail, name.substr(name.size() - tail.size())))
    return false;
  const std::string_view middle = name.substr(0, name.size() - tail.size());
  std::size_t at = head.size();
  for (std::size_t star = firstStar; star < lastStar;) {
    const std::size_t next = term.find('*', star + 1);
    const std::string_view piece = term.substr(star + 1, next - star - 1);
    at = findPiece(piece, middle, at);
    if (at == std::string_view::npos) return false;
    at += piece.size();
    star = next;
  }
  return true;
}

}  // namespace contract
