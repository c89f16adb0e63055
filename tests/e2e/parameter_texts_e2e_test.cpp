// The shared table of parameter texts through the programs: Tormel's options and brindle-bids'
// options take and refuse exactly what the plug-in's contract does, before any work.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/parameter_texts.h"
#include "support/process.h"

namespace {

constexpr int usageError = 64;

// The options that send a parameter of the table, per program.
const std::map<std::string, std::string> markLimitOptions = {{"ambervif", "--amber-vif"},
                                                             {"redvif", "--red-vif"},
                                                             {"ambercost", "--amber-cost"},
                                                             {"redcost", "--red-cost"},
                                                             {"redscrubbed", "--red-scrubbed"}};
std::map<std::string, std::string> withMarkLimits(std::map<std::string, std::string> options) {
  options.insert(markLimitOptions.begin(), markLimitOptions.end());
  return options;
}
const std::map<std::string, std::string> tormelOptions =
    withMarkLimits({{"corrwarn", "--warn"},
                    {"volumes", "--volumes"},
                    {"tr", "--tr"},
                    {"sliceref", "--slice-time-ref"},
                    {"hrf", "--hrf"},
                    {"highpass", "--high-pass"},
                    {"provenance", "--provenance"},
                    {"confounds", "--confounds"},
                    {"conditions", "--conditions"},
                    {"modulators", "--modulators"}});
const std::map<std::string, std::string> bidsOptions =
    withMarkLimits({{"corrwarn", "--warn"},
                    {"sliceref", "--slice-time-ref"},
                    {"hrf", "--hrf"},
                    {"confounds", "--confounds"},
                    {"conditions", "--conditions"}});

TEST(ParameterTextsE2E, TormelAndBrindleBidsTakeWhatTheSharedTableSays) {
  int checked = 0;
  for (const auto& row : testing_support::parameterTexts()) {
    const std::string what = row.parameter + " \"" + row.text + "\"";
    if (const auto option = tormelOptions.find(row.parameter); option != tormelOptions.end()) {
      // --info runs no task: only the command line is judged.
      const auto result = testing_support::runTormel({"--info", option->second, row.text});
      EXPECT_EQ(result.exitCode == usageError, !row.takes) << what << "\n" << result.err;
      ++checked;
    }
    if (const auto option = bidsOptions.find(row.parameter); option != bidsOptions.end()) {
      const auto result = testing_support::runProcess(
          testing_support::buildDir() + "/brindle-bids",
          {"no-such-dataset", "no-such-output", "participant", option->second, row.text});
      EXPECT_EQ(result.exitCode == usageError, !row.takes) << what << "\n" << result.err;
    }
  }
  EXPECT_GT(checked, 40);
}

}  // namespace
