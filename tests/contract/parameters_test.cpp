#include "contract/parameters.h"

#include <gtest/gtest.h>

#include <string>

#include "contract/threshold.h"
#include "support/parameter_texts.h"

namespace {

using contract::parameterRule;

// Every row of the shared table: the contract takes exactly the texts the table says, reading each
// as the number it gives; the threshold's own reader agrees.
TEST(ParameterTexts, TheContractTakesWhatTheSharedTableSays) {
  for (const auto& row : testing_support::parameterTexts()) {
    const contract::ParameterRule* rule = parameterRule(row.parameter);
    ASSERT_NE(rule, nullptr) << row.parameter;
    const std::string what = row.parameter + " \"" + row.text + "\"";
    EXPECT_EQ(contract::parameterTakes(*rule, row.text), row.takes) << what;
    // A threshold reads as a float: compared below.
    if (row.number && rule->kind != contract::ParameterKind::threshold) {
      EXPECT_EQ(contract::parameterNumber(*rule, row.text), row.number) << what;
    }
    if (rule->kind == contract::ParameterKind::threshold) {
      const auto threshold = contract::parseCorrelationThreshold(row.text);
      EXPECT_EQ(threshold.state != contract::CorrelationThreshold::State::invalid, row.takes)
          << what;
      if (row.number) {
        EXPECT_EQ(threshold.value, static_cast<float>(*row.number)) << what;
      }
    }
  }
}

TEST(ParameterTexts, SayWhatEachKindWants) {
  const std::pair<const char*, const char*> wants[] = {
      {"corrwarn", "a correlation above 0 and at most 1, such as 0.8"},
      {"volumes", "a whole number from 1 to 268435456"},
      {"tr", "a number from 0.001 to 100, such as 2"},
      {"sliceref", "a number from 0 to 1, such as 0.5"},
      {"hrf", "spm or glover"},
      {"ztans", "a whole number (0: off)"},
      {"confounds", "presets or column names separated by commas, such as motion24,wm_csf"},
      {"conditions", "terms separated by commas, such as go,stop*"},
      {"sdm1", "a path"},
      {"provenance", "one JSON object, such as {\"RepetitionTime\": 2}"},
  };
  for (const auto& [name, text] : wants)
    EXPECT_EQ(contract::parameterWants(*parameterRule(name)), text);
  EXPECT_EQ(parameterRule("ztrans"), nullptr);
}

TEST(Tasks, AreNamedByTheirWordsOnly) {
  for (const char* word : contract::taskWords())
    EXPECT_STREQ(contract::taskWord(*contract::taskNamed(word)), word);
  EXPECT_EQ(contract::taskNamed("sdm1cor"), std::nullopt);
  EXPECT_EQ(contract::taskNamed(""), std::nullopt);
}

}  // namespace
