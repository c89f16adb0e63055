#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Pieces of JSON text, written without regard to any locale.
namespace base {

// Appends `bytes` as a JSON string with its quotes. The text stays ASCII: '"' and '\' are
// escaped, control characters become \b \f \n \r \t or \u00XX, every character beyond ASCII a
// \uXXXX escape (a surrogate pair above U+FFFF). Valid UTF-8 sequences keep their character; any
// other byte reads as Latin-1, as predictor names from older files are.
void appendJsonString(std::string& out, std::string_view bytes);

// Appends the shortest decimal text that reads back as exactly `value` ("0.1", "-2.5e-07",
// "1e+20"), or null when it is not finite.
void appendJsonNumber(std::string& out, double value);
void appendJsonNumber(std::string& out, float value);
void appendJsonNumber(std::string& out, int64_t value);

}  // namespace base
