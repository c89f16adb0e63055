#include "contract/confound_terms.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

const std::string presets =
    "(presets: motion6, motion12, motion24, wm_csf, global, compcor5, cosine, outliers, scrub)";

// The problem of each text, exactly as Tormel, brindle-bids and the plug-in say it; "" for a
// text the plug-in takes. Which texts are taken at all: tests/contract/parameter_texts.tsv.
TEST(ConfoundTerms, NameTheFirstTermTheyRefuseAndWhy) {
  const struct {
    std::string terms;
    std::string problem;
  } cases[] = {
      {"Motion24, wm_csf, motion24_derivative1, motion6*", ""},
      {"wm_csf,motion25,compcor9", "unknown confound preset \"motion25\" (did you mean motion24?)"},
      {"COMPCOR", "unknown confound preset \"COMPCOR\" (did you mean compcor5?)"},
      {"motion999", "unknown confound preset \"motion999\" " + presets},
      {"Motoin24", "unknown confound preset \"Motoin24\" (did you mean motion24?)"},
      {"wmcsf", "unknown confound preset \"wmcsf\" (did you mean wm_csf?)"},
      {"globl", "unknown confound preset \"globl\" (did you mean global?)"},
      // Columns pipelines write near a preset: a preset and more, or another word with digits.
      {"cosine00,global_signal,outliers_x,tcompcor,scrub_00,csf,csf_wm", ""},
      {"wmcs?,outlier*,motoin24*", ""},  // a pattern asks for a column of any name
      {"scrub:0.5:x",
       "invalid scrub term \"scrub:0.5:x\": give scrub or scrub:FD:DVARS with "
       "numbers above 0, such as scrub:0.5:1.5"},
      {std::string(256, 'c'), ""},
      {"motion6," + std::string(257, 'c'), "confound term too long: 257 bytes (at most 256)"},
  };
  for (const auto& c : cases) EXPECT_EQ(contract::confoundTermsProblem(c.terms), c.problem);
  EXPECT_EQ(contract::conditionTermsProblem("go, stop*, motion25"), "");
  EXPECT_EQ(contract::conditionTermsProblem("go,a\tb\r\n"),
            "condition term \"a\\tb\" holds a tab or a line break, which no condition of an "
            "events file holds");
  EXPECT_EQ(contract::conditionTermsProblem(std::string(300, 'g')),
            "condition term too long: 300 bytes (at most 256)");
}

TEST(ConfoundTerms, ScrubTermsGiveTheirThresholdsAsFloats) {
  const auto thresholds = [](const char* term) {
    const std::optional<contract::ScrubThresholds> t = contract::scrubThresholds(term);
    return t ? std::to_string(t->displacement) + " " + std::to_string(t->dvars) : "none";
  };
  EXPECT_EQ(thresholds("Scrub"), "0.500000 1.500000");
  EXPECT_EQ(thresholds("scrub:0.2"), "0.200000 1.500000");
  EXPECT_EQ(thresholds("SCRUB:0.25:2e0"), "0.250000 2.000000");
  EXPECT_EQ(thresholds("scrub:1e39"), "none");
  EXPECT_EQ(thresholds("scrubbed"), "none");
  EXPECT_EQ(contract::confoundPresetNamed("WM_CSF"), contract::ConfoundPreset::wmCsf);
  EXPECT_EQ(contract::confoundPresetNamed("scrub:0.2"), std::nullopt);
}

}  // namespace
