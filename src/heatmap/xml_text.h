#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Predictor names are bytes from a file, in whatever encoding the host wrote them. This turns
// them into XML character data that every XML reader accepts.
namespace heatmap {

// Appends `bytes` to `out` as XML text, safe inside elements and quoted attribute values:
// "&", "<", ">", '"' and "'" become entities, every character beyond ASCII a numeric character
// reference, so `out` stays ASCII. Valid UTF-8 sequences keep their character; any other byte
// reads as Latin-1; characters XML forbids (controls other than tab, line feed and carriage
// return, and U+0080 to U+009F) become U+FFFD. After `maxCharacters` characters the rest is
// cut and "..." (U+2026) ends the text.
struct XmlTextLength {
  std::size_t characters;  // characters appended, the ending "..." included
  bool cut;                // the text was longer than maxCharacters
};
XmlTextLength appendXmlText(std::string& out, std::string_view bytes,
                            std::size_t maxCharacters = std::string_view::npos);

}  // namespace heatmap
