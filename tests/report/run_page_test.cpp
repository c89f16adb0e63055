#include "report/run_page.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "report/page_settings.h"

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

TEST(SettingsMembers, GivesEachTopLevelMemberWithStringsAsTextAndTheRestAsJson) {
  const struct {
    const char* object;
    Members members;
  } rows[] = {
      {"", {}},
      {R"({})", {}},
      {R"({"TR":2.5,"HRF":"spm","List":["a,b",{"c":[1]}],"Null":null})",
       {{"TR", "2.5"}, {"HRF", "spm"}, {"List", R"(["a,b",{"c":[1]}])"}, {"Null", "null"}}},
      {R"({"N\u00e9":"\ud83d\ude00 \"q\"\\\/\t","Lone":"\ud800x"})",
       {{"N\xc3\xa9", "\xf0\x9f\x98\x80 \"q\"\\/\t"}, {"Lone", "\xef\xbf\xbdx"}}},
      // A broken text gives what was read before the fault.
      {R"({"A":1,"B":"open)", {{"A", "1"}}},
      {R"({"A":[1,2)", {}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(report::settingsMembers(row.object), row.members) << row.object;
}

TEST(InlineSvg, ScopesIdsReferencesAndStyleToItsElementWhateverThePieces) {
  const std::string svg =
      "<?xml version=\"1.0\"?>\r\n<svg a=\"1\" viewBox=\"0 0 30 20\">\r\n<defs><pattern "
      "id=\"flat\"/></defs>\r\n"
      "<style>\r\nsvg{font-size:12px}\r\ntext,.name{fill:#000}\r\n</style>\r\n"
      "<svg id=\"inner\" b=\"2\">\r\n<rect fill=\"url(#flat)\"/>\r\n</svg>\r\n</svg>";
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, svg.size()}) {
    std::string out;
    const base::TextSink put = [&out](std::string_view text) { out += text; };
    report::InlineSvg inline_("p", put);
    for (std::size_t at = 0; at < svg.size(); at += piece) inline_(svg.substr(at, piece));
    inline_.flush();
    EXPECT_EQ(out,
              "<svg id=\"p\" style=\"max-width:30px\" a=\"1\" viewBox=\"0 0 30 "
              "20\">\r\n<defs><pattern id=\"p-flat\"/></defs>\r\n"
              "<style>\r\n#p{font-size:12px}\r\n#p text,#p .name{fill:#000}\r\n</style>\r\n"
              "<svg id=\"p-inner\" b=\"2\">\r\n<rect fill=\"url(#p-flat)\"/>\r\n</svg>\r\n</svg>")
        << piece;
  }
}

}  // namespace
