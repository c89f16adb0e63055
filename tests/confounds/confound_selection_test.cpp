#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "confounds/confound_matrix.h"
#include "confounds/confound_selection.h"
#include "sdm/matrix_text.h"
#include "support/columns.h"
#include "support/expect_throw.h"

using namespace sdm;
using namespace confounds;
using testing_support::predictorsOf;

namespace {

using sdm_test::joinedNames;

// A table of four data points as a fMRIPrep file has it, with one derivative already there
// (its values differ from the computed ones, so the tests see which was taken).
DesignMatrix fmriprepTable() {
  const std::vector<std::string> names = {"trans_x",
                                          "trans_y",
                                          "trans_z",
                                          "rot_x",
                                          "rot_y",
                                          "rot_z",
                                          "trans_x_derivative1",
                                          "white_matter",
                                          "csf",
                                          "global_signal",
                                          "a_comp_cor_00",
                                          "a_comp_cor_01",
                                          "a_comp_cor_02",
                                          "a_comp_cor_03",
                                          "a_comp_cor_04",
                                          "a_comp_cor_05",
                                          "cosine00",
                                          "cosine01",
                                          "motion_outlier00",
                                          "non_steady_state_outlier00",
                                          "csf_copy"};
  // Every column its own values, but csf_copy, a copy of csf.
  std::vector<std::vector<float>> columns;
  for (std::size_t p = 0; p < names.size(); ++p)
    columns.push_back({1, 2, 3, 4 + static_cast<float>(p)});
  columns[1] = {4097, 0.5f, -1.25f, 3};
  columns[6] = {9, 9, 9, 9};
  columns.back() = columns[8];
  return confoundMatrix("run.tsv", predictorsOf(names, columns), 4);
}

DesignMatrix smallTable() {
  return confoundMatrix("data/small.tsv", predictorsOf({"a", "b", "trans_x"}, {{1}, {2}, {3}}), 1);
}

const std::string kMotion6 = "trans_x trans_y trans_z rot_x rot_y rot_z";
const std::string kDerivatives =
    "trans_x_derivative1 trans_y_derivative1 trans_z_derivative1 rot_x_derivative1 "
    "rot_y_derivative1 rot_z_derivative1";
const std::string kPowers =
    "trans_x_power2 trans_y_power2 trans_z_power2 rot_x_power2 rot_y_power2 rot_z_power2";
const std::string kDerivativePowers =
    "trans_x_derivative1_power2 trans_y_derivative1_power2 trans_z_derivative1_power2 "
    "rot_x_derivative1_power2 rot_y_derivative1_power2 rot_z_derivative1_power2";

struct SelectCase {
  const char* what;
  std::string selection;
  std::string expected;  // the names taken, joined by spaces
};

class ConfoundSelectionCases : public ::testing::TestWithParam<SelectCase> {};

TEST_P(ConfoundSelectionCases, TakesTheExpectedColumns) {
  EXPECT_EQ(joinedNames(selectConfounds(fmriprepTable(), GetParam().selection)),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ConfoundSelection, ConfoundSelectionCases,
    ::testing::Values(
        SelectCase{"AbsentMeansMotion6WhenTheFileHasIt", "", kMotion6},
        SelectCase{"BlankAndEmptyTermsAreIgnored", " ,\t, ", kMotion6},
        SelectCase{"Motion6", "motion6", kMotion6},
        SelectCase{"Motion12", "motion12", kMotion6 + " " + kDerivatives},
        SelectCase{"Motion24", "motion24",
                   kMotion6 + " " + kDerivatives + " " + kPowers + " " + kDerivativePowers},
        SelectCase{"WmCsf", "wm_csf", "white_matter csf"},
        SelectCase{"Global", "global", "global_signal"},
        SelectCase{"Compcor5", "compcor5",
                   "a_comp_cor_00 a_comp_cor_01 a_comp_cor_02 a_comp_cor_03 a_comp_cor_04"},
        SelectCase{"Cosine", "cosine", "cosine00 cosine01"},
        SelectCase{"Outliers", "outliers", "motion_outlier00 non_steady_state_outlier00"},
        SelectCase{"PresetsInAnyCase", "Global , WM_CSF", "global_signal white_matter csf"},
        SelectCase{"ACopyOfAnEarlierColumnIsLeftOut", "csf,csf_copy", "csf"},
        SelectCase{"TheEarlierOfTwoCopiesIsKept", "csf_copy,wm_csf", "csf_copy white_matter"},
        SelectCase{"CopiesMatchedByWildcardsAreLeftOut", "csf,c*", "csf cosine00 cosine01"},
        SelectCase{"WildcardsTakeColumnsInFileOrder", "*_x,trans_*,a_comp_cor_0?",
                   "trans_x rot_x trans_y trans_z trans_x_derivative1 a_comp_cor_00 "
                   "a_comp_cor_01 a_comp_cor_02 a_comp_cor_03 a_comp_cor_04 a_comp_cor_05"},
        SelectCase{"NamesAreTakenInTheOrderOfTheTerms", "csf,rot_z,white_matter,trans_x",
                   "csf rot_z white_matter trans_x"},
        SelectCase{"EachColumnOnce", "trans_x,trans_*,motion6,trans_x_power2,motion24,csf,csf",
                   "trans_x trans_y trans_z trans_x_derivative1 rot_x rot_y rot_z trans_x_power2 "
                   "trans_y_derivative1 trans_z_derivative1 rot_x_derivative1 rot_y_derivative1 "
                   "rot_z_derivative1 trans_y_power2 trans_z_power2 rot_x_power2 rot_y_power2 "
                   "rot_z_power2 " +
                       kDerivativePowers + " csf"}),
    [](const auto& testInfo) { return std::string(testInfo.param.what); });

TEST(ConfoundSelection, AbsentMeansEveryColumnWithoutTheSixMotionColumns) {
  EXPECT_EQ(joinedNames(selectConfounds(smallTable(), "")), "a b trans_x");
  EXPECT_EQ(joinedNames(selectConfounds(smallTable(), "outliers")), "");
}

// Single precision throughout: 4097 squared is 16785409 in double but 16785408 in float.
TEST(ConfoundSelection, ComputesMissingDerivativesAndPowersInSinglePrecision) {
  const DesignMatrix m = selectConfounds(
      fmriprepTable(),
      "trans_y_derivative1,trans_y_power2,trans_y_derivative1_power2,trans_x_derivative1_power2,"
      "trans_x_derivative1,trans_y_derivative1_derivative1");
  EXPECT_EQ(sdm_test::describe(m),
            "fileVersion FileVersion 24 1\nnrOfPredictors NrOfPredictors 24 6\n"
            "nrOfDataPoints NrOfDataPoints 24 4\nincludesConstant IncludesConstant 24 0\n"
            "firstConfoundPredictor FirstConfoundPredictor 24 1\n"
            "colours 204,68,68 62,130,201 74,168,94 222,150,46 142,94,190 46,170,168\n"
            "names [trans_y_derivative1] [trans_y_power2] [trans_y_derivative1_power2] "
            "[trans_x_derivative1_power2] [trans_x_derivative1] "
            "[trans_y_derivative1_derivative1]\n"
            "values 0 -4096.5 -1.75 4.25\n"
            "values 16785408 0.25 1.5625 9\n"
            "values 0 16781312 3.0625 18.0625\n"
            "values 81 81 81 81\n"
            "values 9 9 9 9\n"
            "values 0 -4096.5 4094.75 6\n");
  EXPECT_EQ(m.fileName, "run.tsv");
}

TEST(ConfoundSelection, ATermThatMatchesNothingNamesItAndTheFirstTenColumns) {
  const std::string fmriprepColumns =
      " in run.tsv (columns: trans_x, trans_y, trans_z, rot_x, rot_y, rot_z, "
      "trans_x_derivative1, white_matter, csf, global_signal, ...)";
  const std::pair<DesignMatrix, std::pair<const char*, std::string>> cases[] = {
      {fmriprepTable(), {"motion6,trans_q", "\"trans_q\"" + fmriprepColumns}},
      {fmriprepTable(), {"cosine?", "\"cosine?\"" + fmriprepColumns}},
      {fmriprepTable(), {"Trans_X", "\"Trans_X\"" + fmriprepColumns}},
      {fmriprepTable(), {"csf_wm_derivative1", "\"csf_wm_derivative1\"" + fmriprepColumns}},
      {smallTable(), {"wm_csf", "\"white_matter\" in data/small.tsv (columns: a, b, trans_x)"}},
      {smallTable(), {"cosine", "\"cosine*\" in data/small.tsv (columns: a, b, trans_x)"}},
      {smallTable(), {"motion12", "\"trans_y\" in data/small.tsv (columns: a, b, trans_x)"}},
  };
  for (const auto& [table, selection] : cases) {
    try {
      selectConfounds(table, selection.first);
      ADD_FAILURE() << "no exception for " << selection.first;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "No confound column matches " + selection.second);
    }
  }
}

TEST(ConfoundSelection, TheColumnListEndsInDotsOnlyBeyondTenColumns) {
  for (const std::size_t count : {10u, 11u}) {
    std::vector<std::string> names;
    for (std::size_t k = 0; k < count; ++k) names.push_back("c" + std::to_string(k));
    const DesignMatrix table = confoundMatrix(
        "t.csv", predictorsOf(names, std::vector<std::vector<float>>(count, {0})), 1);
    try {
      selectConfounds(table, "x");
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("No confound column matches \"x\" in t.csv (columns: c0, c1, c2, c3, "
                            "c4, c5, c6, c7, c8, c9") +
                    (count > 10 ? ", ...)" : ")"));
    }
  }
}

// Five volumes: displacement 0 (the first row's n/a), 0.3, 0.9, 0.1, 0.6; std_dvars 1, 2, 1, 1,
// 1; the first volume a non-steady-state outlier.
DesignMatrix motionTable() {
  return confoundMatrix(
      "run.tsv",
      predictorsOf({"framewise_displacement", "std_dvars", "non_steady_state_outlier00"},
                   {{0, 0.3f, 0.9f, 0.1f, 0.6f}, {1, 2, 1, 1, 1}, {1, 0, 0, 0, 0}}),
      5);
}

// A preset gives its columns its kind; a column taken by its name or a pattern is motion
// (trans_*, rot_*), CompCor (*comp_cor*) or else a confound, and the first term to take it decides.
TEST(ConfoundSelection, EachColumnIsOfTheKindOfThePresetOrNameThatTookIt) {
  const std::string motion6 = "motion motion motion motion motion motion";
  const struct {
    DesignMatrix table;
    const char* terms;
    std::string kinds;
  } cases[] = {
      {fmriprepTable(), "", motion6},
      {fmriprepTable(), "motion12", motion6 + " " + motion6},
      {fmriprepTable(), "trans_*,rot_z_power2", "motion motion motion motion motion"},
      {fmriprepTable(), "wm_csf,global", "signal signal signal"},
      {fmriprepTable(), "compcor5,*comp_cor_05", "compcor compcor compcor compcor compcor compcor"},
      {fmriprepTable(), "cosine,outliers", "cosine cosine outlier outlier"},
      // Taken by name, a column is of the family its name tells.
      {fmriprepTable(), "white_matter,cosine01,motion_outlier00", "signal cosine outlier"},
      {fmriprepTable(), "csf_copy,wm_csf", "signal signal"},  // csf is csf_copy's copy
      {fmriprepTable(), "csf,wm_csf", "signal signal"},
      {smallTable(), "", "confound confound motion"},
      {motionTable(), "scrub,std_dvars", "scrub scrub scrub scrub confound"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(sdm_test::kindsText(selectConfounds(c.table, c.terms)), c.kinds) << c.terms;
}

TEST(ConfoundSelection, ScrubMakesOneSpikePerFlaggedVolumeAndLongTermsAreRefused) {
  const struct {
    const char* terms;
    std::string names;
    std::string note;
  } cases[] = {
      {"scrub", "scrub_0000 scrub_0001 scrub_0002 scrub_0004",
       "scrub: 4 volume(s) flagged (2 by framewise_displacement > 0.5, 1 by std_dvars > 1.5, 1 "
       "by non_steady_state_outlier*)"},
      {"SCRUB:0.2:2.5", "scrub_0000 scrub_0001 scrub_0002 scrub_0004",
       "scrub: 4 volume(s) flagged (3 by framewise_displacement > 0.2, 0 by std_dvars > 2.5, 1 "
       "by non_steady_state_outlier*)"},
      {"scrub:0.95", "scrub_0000 scrub_0001",
       "scrub: 2 volume(s) flagged (0 by framewise_displacement > 0.95, 1 by std_dvars > 1.5, 1 "
       "by non_steady_state_outlier*)"},
  };
  for (const auto& c : cases) {
    const SelectedConfounds chosen = chooseConfounds(motionTable(), c.terms);
    EXPECT_EQ(joinedNames(chosen.matrix), c.names) << c.terms;
    EXPECT_EQ(chosen.notes, std::vector<std::string>{c.note}) << c.terms;
  }
  const DesignMatrix spikes = selectConfounds(motionTable(), "scrub");
  EXPECT_EQ(spikes.predictors[3].values, (std::vector<float>{0, 0, 0, 0, 1}));
  EXPECT_THROW_MSG(selectConfounds(motionTable(), "scrub," + std::string(257, '*')),
                   std::runtime_error, "Confound term too long: 257 bytes (at most 256)");
  for (const std::string bad : {"scrub:", "scrub:x", "scrub:0.5:", "scrub:-1:2", "scrub:0.5:1.5:2"})
    EXPECT_THROW_MSG(
        selectConfounds(motionTable(), bad), std::runtime_error,
        "Invalid scrub term \"" + bad +
            "\": give scrub or scrub:FD:DVARS with numbers above 0, such as scrub:0.5:1.5");
}

}  // namespace
