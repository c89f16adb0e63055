#include "contract/contrasts.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <system_error>

namespace contract {
namespace {

constexpr std::string_view specialBytes = "+-*=,[]\"";
constexpr std::string_view termHelp =
    "write terms as [+|-] [NUMBER [*]] PREDICTOR joined by + or -, a predictor name with blanks, "
    "+ - * = , [ ] in double quotes, as in faces - 0.5 \"left hand\"";
constexpr std::string_view fHelp = "write an F contrast as NAME = [EXPR, EXPR, ...]";

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}
bool isNameByte(char c) {
  return !isBlank(c) && !isControl(c) && specialBytes.find(c) == std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A long definition is shown by its start, cut before a character (never inside the bytes of
// one UTF-8 character), so that a message stays readable.
std::string shown(std::string_view text) {
  constexpr std::size_t most = 80;
  if (text.size() <= most) return std::string(text);
  std::size_t cut = most;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

// The number that starts `text`, when one does: digits or a point first, read by from_chars,
// and not running on into a name ("2back" is a predictor). `length` gets the bytes it takes.
// A number beyond the range of a double gives +inf.
std::optional<double> leadingNumber(std::string_view text, std::size_t& length) {
  if (text.empty() || !((text[0] >= '0' && text[0] <= '9') || text[0] == '.')) return std::nullopt;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  length = static_cast<std::size_t>(end - text.data());
  if (error == std::errc::invalid_argument) return std::nullopt;
  if (length < text.size() && isNameByte(text[length])) return std::nullopt;
  if (error == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
  return value;
}

class Parser {
 public:
  explicit Parser(std::string_view definition) : text_(trimmed(definition)) {}
  ContrastDefinition parse();

 private:
  [[noreturn]] void fail(std::string_view problem) const {
    throw ContrastSyntaxError("contrast \"" + shown(text_) + "\"" + std::string(problem));
  }
  [[noreturn]] void unexpected(std::string_view help) const;
  [[noreturn]] void notFollowed(std::string_view lead) const {
    fail(": \"" + std::string(lead) + "\" is not followed by a predictor; " +
         std::string(termHelp));
  }
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  void skipBlanks() {
    while (!atEnd() && isBlank(peek())) ++pos_;
  }
  std::string_view rest() const { return text_.substr(pos_); }
  void checkName(std::string_view name) const;
  std::string predictor(std::string_view lead);
  std::vector<ContrastTerm> expression(bool inRows);
  void rows(ContrastDefinition& contrast);

  std::string_view text_;
  std::size_t pos_ = 0;
};

void Parser::unexpected(std::string_view help) const {
  std::string token;
  if (isControl(peek())) {
    token = "control character";
  } else if (peek() == '"') {
    token = "quoted name";
  } else if (isNameByte(peek())) {
    std::size_t length = 0;
    while (length < rest().size() && isNameByte(rest()[length])) ++length;
    token = "\"" + shown(rest().substr(0, length)) + "\"";
  } else {
    token = std::string("\"") + peek() + "\"";
  }
  fail(": unexpected " + token + "; " + std::string(help));
}

// The quoted or bare predictor name at the position; `lead` (the sign, number or `*` before
// it) names what it should follow when there is none.
std::string Parser::predictor(std::string_view lead) {
  skipBlanks();
  if (!atEnd() && peek() == '"') {
    const std::size_t close = text_.find('"', pos_ + 1);
    const std::size_t lineEnd = text_.find_first_of("\r\n", pos_ + 1);
    if (close == std::string_view::npos || lineEnd < close)
      fail(
          " has a quote that is not closed; write a predictor name with blanks or signs in "
          "double quotes, as in \"left hand\"");
    std::string name(text_.substr(pos_ + 1, close - pos_ - 1));
    if (name.empty()) fail(" has an empty predictor name \"\"; write the name between the quotes");
    pos_ = close + 1;
    return name;
  }
  std::size_t length = 0;
  if (atEnd() || !isNameByte(peek()) || leadingNumber(rest(), length)) {
    if (lead.empty()) {
      if (peek() == '=') fail(" has a second \"=\"; write one NAME = EXPR per definition");
      unexpected(termHelp);
    }
    notFollowed(lead);
  }
  const std::size_t start = pos_;
  while (!atEnd() && isNameByte(peek())) ++pos_;
  return std::string(text_.substr(start, pos_ - start));
}

// One sum of terms, up to the end, or in rows up to the `,` or `]` after it. Predictors named
// again add to their first term's weight.
std::vector<ContrastTerm> Parser::expression(bool inRows) {
  std::vector<ContrastTerm> terms;
  std::map<std::string, std::size_t> places;  // term of each predictor
  for (bool first = true;; first = false) {
    skipBlanks();
    if (atEnd() || (inRows && (peek() == ',' || peek() == ']'))) break;
    double weight = 1.0;
    std::string_view lead;
    if (peek() == '+' || peek() == '-') {
      weight = peek() == '-' ? -1.0 : 1.0;
      lead = text_.substr(pos_++, 1);
      skipBlanks();
    } else if (!first) {
      if (peek() == '=') fail(" has a second \"=\"; write one NAME = EXPR per definition");
      unexpected(inRows ? std::string(termHelp)
                        : std::string(termHelp) + "; " + std::string(fHelp));
    }
    std::size_t length = 0;
    if (const std::optional<double> number = leadingNumber(rest(), length)) {
      lead = rest().substr(0, length);
      if (std::isinf(*number))
        fail(": the weight " + std::string(lead) +
             " is out of range; write a finite weight such as 2, 0.5 or 1e-1");
      weight = weight * *number;
      pos_ += length;
      skipBlanks();
      if (!atEnd() && peek() == '*') lead = text_.substr(pos_++, 1);
    }
    std::string name = predictor(lead);
    const auto [place, isNew] = places.try_emplace(name, terms.size());
    if (isNew) {
      terms.push_back({std::move(name), weight});
      continue;
    }
    ContrastTerm& same = terms[place->second];
    same.weight = same.weight + weight;
    if (!std::isfinite(same.weight))
      fail(": the weights of " + same.predictor +
           " add up beyond the range of a double; write smaller weights");
  }
  return terms;
}

void Parser::rows(ContrastDefinition& contrast) {
  const std::string unclosed = ": \"[\" is not closed; " + std::string(fHelp);
  ++pos_;
  for (std::size_t row = 1;; ++row) {
    skipBlanks();
    if (atEnd()) fail(unclosed);
    if (peek() == ',' || peek() == ']')
      fail(": row " + std::to_string(row) + " of the F contrast is empty; " + std::string(fHelp));
    contrast.rows.push_back(expression(true));
    if (atEnd()) fail(unclosed);
    if (text_[pos_++] == ']') break;
  }
  skipBlanks();
  if (!atEnd()) unexpected(fHelp);
}

// The name part is kept as written, quotes and all: only brackets (outside quotes) and control
// characters are refused, which would make it look like an F contrast or break a log line.
void Parser::checkName(std::string_view name) const {
  bool quoted = false;
  for (const char c : name) {
    if (c == '"') quoted = !quoted;
    if (isControl(c) || (!quoted && (c == '[' || c == ']')))
      fail(": the name holds \"" + std::string(1, c) +
           "\"; write a name without brackets or control characters");
  }
}

ContrastDefinition Parser::parse() {
  if (text_.empty())
    throw ContrastSyntaxError(
        "a contrast definition is empty; write NAME = EXPR, as in faces_vs_houses = faces - "
        "houses");
  // The first `=` outside quotes ends the name; a quote left open is refused later, where the
  // expression reads it.
  std::size_t equals = std::string_view::npos;
  bool quoted = false;
  for (std::size_t i = 0; i < text_.size() && equals == std::string_view::npos; ++i) {
    if (text_[i] == '"') quoted = !quoted;
    if (text_[i] == '=' && !quoted) equals = i;
  }
  ContrastDefinition contrast;
  if (equals == std::string_view::npos) {
    if (text_.front() == '[') fail(" is an F contrast without a name; " + std::string(fHelp));
    contrast.name = std::string(text_);
  } else {
    contrast.name = std::string(trimmed(text_.substr(0, equals)));
    if (contrast.name.empty())
      fail(" has no name before \"=\"; write NAME = EXPR, as in faces_vs_houses = faces - houses");
    checkName(contrast.name);
    pos_ = equals + 1;
    skipBlanks();
    if (atEnd()) fail(" has nothing after \"=\"; " + std::string(termHelp));
  }
  contrast.fTest = peek() == '[';
  if (contrast.fTest)
    rows(contrast);
  else
    contrast.rows.push_back(expression(false));
  return contrast;
}

// Every row needs a weight other than 0: a contrast whose weights cancel tests nothing.
void checkWeights(const ContrastDefinition& contrast) {
  for (std::size_t row = 0; row < contrast.rows.size(); ++row) {
    bool weighted = false;
    for (const ContrastTerm& term : contrast.rows[row]) weighted = weighted || term.weight != 0.0;
    if (weighted) continue;
    const std::string where =
        contrast.fTest ? "row " + std::to_string(row + 1) + " of contrast \"" : "contrast \"";
    throw ContrastSyntaxError(where + contrast.name +
                              "\" has no weight; give a predictor a weight other than 0");
  }
}

// Adds `contrast` to `list`, refused beyond the most definitions or under a name already taken.
void append(std::vector<ContrastDefinition>& list, std::set<std::string>& names,
            ContrastDefinition contrast) {
  if (list.size() == maxContrastDefinitions)
    throw ContrastSyntaxError("more than " + std::to_string(maxContrastDefinitions) +
                              " contrasts are defined; test at most " +
                              std::to_string(maxContrastDefinitions) + " at once");
  if (!names.insert(contrast.name).second)
    throw ContrastSyntaxError("contrast \"" + contrast.name +
                              "\" is defined twice; give each contrast its own name");
  list.push_back(std::move(contrast));
}

// The name or predictor as parseContrast reads it back: bare when it holds only name bytes and
// does not start like a number, else in quotes.
std::string written(const std::string& predictor) {
  std::size_t length = 0;
  bool bare = !predictor.empty() && !leadingNumber(predictor, length);
  for (const char c : predictor) bare = bare && isNameByte(c);
  return bare ? predictor : "\"" + predictor + "\"";
}

std::string numberText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string rowText(const std::vector<ContrastTerm>& terms) {
  std::string text;
  for (const ContrastTerm& term : terms) {
    const bool negative = std::signbit(term.weight);
    if (!text.empty()) text += negative ? " - " : " + ";
    if (text.empty() && negative) text += "-";
    const double size = std::fabs(term.weight);
    if (size != 1.0) text += numberText(size) + " ";
    text += written(term.predictor);
  }
  return text;
}

}  // namespace

ContrastDefinition parseContrast(std::string_view definition) {
  if (definition.size() > maxContrastDefinitionBytes)
    throw ContrastSyntaxError("contrast \"" + shown(trimmed(definition)) + "\" is longer than " +
                              std::to_string(maxContrastDefinitionBytes) +
                              " bytes; write it with fewer terms or shorter names");
  ContrastDefinition contrast = Parser(definition).parse();
  checkWeights(contrast);
  return contrast;
}

std::vector<ContrastDefinition> parseContrastList(std::string_view lines) {
  std::vector<ContrastDefinition> list;
  std::set<std::string> names;
  while (!lines.empty()) {
    const std::size_t lineEnd = lines.find('\n');
    std::string_view line = lines.substr(0, lineEnd);
    lines.remove_prefix(lineEnd == std::string_view::npos ? lines.size() : lineEnd + 1);
    if (lineEnd != std::string_view::npos && !line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (!trimmed(line).empty()) append(list, names, parseContrast(line));
  }
  return list;
}

std::vector<ContrastDefinition> parseContrasts(std::span<const std::string> definitions) {
  std::vector<ContrastDefinition> list;
  std::set<std::string> names;
  for (const std::string& definition : definitions) append(list, names, parseContrast(definition));
  return list;
}

std::string contrastText(const ContrastDefinition& contrast) {
  std::string text = contrast.name + " = ";
  if (!contrast.fTest) return contrast.rows.empty() ? text : text + rowText(contrast.rows[0]);
  text += "[";
  for (std::size_t row = 0; row < contrast.rows.size(); ++row)
    text += (row == 0 ? "" : ", ") + rowText(contrast.rows[row]);
  return text + "]";
}

}  // namespace contract
