#include "contract/contrasts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expect_throw.h"

namespace {

using contract::ContrastDefinition;
using contract::ContrastSyntaxError;

const std::string termHelp =
    "write terms as [+|-] [NUMBER [*]] PREDICTOR joined by + or -, a predictor name with blanks, "
    "+ - * = , [ ] in double quotes, as in faces - 0.5 \"left hand\"";
const std::string fHelp = "write an F contrast as NAME = [EXPR, EXPR, ...]";
const std::string zeroHelp = "\" has no weight; give a predictor a weight other than 0";

std::string manyLines(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += "c" + std::to_string(i) + " = x\n";
  return text;
}

struct Case {
  std::string text;  // the dialog's text, or one option a line when `asOptions`
  std::vector<ContrastDefinition> expected;
  std::string written;  // contrastText of each, one a line; or the refusal
  bool asOptions = false;
};

const Case cases[] = {
    {"faces - houses",
     {{"faces - houses", false, {{{"faces", 1}, {"houses", -1}}}}},
     "faces - houses = faces - houses"},
    {"  f_vs_h = 2*faces -0.5 houses + 1e-1 \"left hand\"\t\r\n\r\n \t\nsum=faces+houses+faces",
     {{"f_vs_h", false, {{{"faces", 2}, {"houses", -0.5}, {"left hand", 0.1}}}},
      {"sum", false, {{{"faces", 2}, {"houses", 1}}}}},
     "f_vs_h = 2 faces - 0.5 houses + 0.1 \"left hand\"\nsum = 2 faces + houses"},
    {"cancel = faces + houses - houses",
     {{"cancel", false, {{{"faces", 1}, {"houses", 0}}}}},
     "cancel = faces + 0 houses"},
    {"-2back + 0back - 2 \"2\" + 1e+20 .5x",
     {{"-2back + 0back - 2 \"2\" + 1e+20 .5x",
       false,
       {{{"2back", -1}, {"0back", 1}, {"2", -2}, {".5x", 1e20}}}}},
     "-2back + 0back - 2 \"2\" + 1e+20 .5x = -2back + 0back - 2 \"2\" + 1e+20 .5x"},
    {"faces > houses = faces - houses\n\"a=b\" = \"cond[1], a+b\"",
     {{"faces > houses", false, {{{"faces", 1}, {"houses", -1}}}},
      {"\"a=b\"", false, {{{"cond[1], a+b", 1}}}}},
     "faces > houses = faces - houses\n\"a=b\" = \"cond[1], a+b\""},
    {"all = [faces, houses - objects ,2 * objects]",
     {{"all", true, {{{"faces", 1}}, {{"houses", 1}, {"objects", -1}}, {{"objects", 2}}}}},
     "all = [faces, houses - objects, 2 objects]"},
    {"a = x\n \n",
     {},
     "a contrast definition is empty; write NAME = EXPR, as in faces_vs_houses = faces - houses",
     true},
    {"faces - faces", {}, "contrast \"faces - faces" + zeroHelp},
    {"F = [faces, houses - houses]", {}, "row 2 of contrast \"F" + zeroHelp},
    {"a = x\na = y", {}, "contrast \"a\" is defined twice; give each contrast its own name"},
    {"a = x\na = y", {}, "contrast \"a\" is defined twice; give each contrast its own name", true},
    {manyLines(1001), {}, "more than 1000 contrasts are defined; test at most 1000 at once"},
    {std::string(4097, 'x'),
     {},
     "contrast \"" + std::string(80, 'x') +
         "...\" is longer than 4096 bytes; write it with fewer terms or shorter names"},
    {"faces -  ", {}, "contrast \"faces -\": \"-\" is not followed by a predictor; " + termHelp},
    {"x = 2 *", {}, "contrast \"x = 2 *\": \"*\" is not followed by a predictor; " + termHelp},
    {"x = faces + 2 3",
     {},
     "contrast \"x = faces + 2 3\": \"2\" is not followed by a predictor; " + termHelp},
    {"x = 1e-999 faces",
     {},
     "contrast \"x = 1e-999 faces\": the weight 1e-999 is out of range; write a finite weight such "
     "as 2, 0.5 or 1e-1"},
    {"x = 1e308 a + 1e308 a",
     {},
     "contrast \"x = 1e308 a + 1e308 a\": the weights of a add up beyond the range of a double; "
     "write smaller weights"},
    {"x = \"left hand - y",
     {},
     "contrast \"x = \"left hand - y\" has a quote that is not closed; write a predictor name with "
     "blanks or signs in double quotes, as in \"left hand\""},
    {"x = faces - \"\"",
     {},
     "contrast \"x = faces - \"\"\" has an empty predictor name \"\"; write the name between the "
     "quotes"},
    {" = faces",
     {},
     "contrast \"= faces\" has no name before \"=\"; write NAME = EXPR, as in faces_vs_houses = "
     "faces - houses"},
    {"x = ", {}, "contrast \"x =\" has nothing after \"=\"; " + termHelp},
    {"x = faces houses",
     {},
     "contrast \"x = faces houses\": unexpected \"houses\"; " + termHelp + "; " + fHelp},
    {"x = faces, houses",
     {},
     "contrast \"x = faces, houses\": unexpected \",\"; " + termHelp + "; " + fHelp},
    {"x = * faces", {}, "contrast \"x = * faces\": unexpected \"*\"; " + termHelp},
    {"faces \"houses\"",
     {},
     "contrast \"faces \"houses\"\": unexpected quoted name; " + termHelp + "; " + fHelp},
    {"x = faces\rhouses",
     {},
     "contrast \"x = faces\rhouses\": unexpected control character; " + termHelp + "; " + fHelp},
    {"x = faces = y",
     {},
     "contrast \"x = faces = y\" has a second \"=\"; write one NAME = EXPR per definition"},
    {"a[1] = faces",
     {},
     "contrast \"a[1] = faces\": the name holds \"[\"; write a name without brackets or control "
     "characters"},
    {"[faces, houses]",
     {},
     "contrast \"[faces, houses]\" is an F contrast without a name; " + fHelp},
    {"x = [faces, houses", {}, "contrast \"x = [faces, houses\": \"[\" is not closed; " + fHelp},
    {"x = [faces, , houses]",
     {},
     "contrast \"x = [faces, , houses]\": row 2 of the F contrast is empty; " + fHelp},
    {"x = []", {}, "contrast \"x = []\": row 1 of the F contrast is empty; " + fHelp},
    {"x = [faces] y", {}, "contrast \"x = [faces] y\": unexpected \"y\"; " + fHelp},
};

TEST(Contrasts, ReadEveryAcceptedTextWholeAndRefuseTheOthersWithTheirMessage) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 100));
    std::vector<std::string> options;
    for (std::size_t start = 0; c.asOptions && start < c.text.size();) {
      const std::size_t end = std::min(c.text.find('\n', start), c.text.size());
      options.push_back(c.text.substr(start, end - start));
      start = end + 1;
    }
    const auto parse = [&] {
      return c.asOptions ? contract::parseContrasts(options) : contract::parseContrastList(c.text);
    };
    if (c.expected.empty()) {
      EXPECT_THROW_MSG(parse(), ContrastSyntaxError, c.written);
      continue;
    }
    const std::vector<ContrastDefinition> definitions = parse();
    EXPECT_EQ(definitions, c.expected);
    std::string written;
    for (const ContrastDefinition& definition : definitions)
      written += (written.empty() ? "" : "\n") + contract::contrastText(definition);
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(contract::parseContrastList(written), definitions);  // the written form reads back
  }
}

}  // namespace
