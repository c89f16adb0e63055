#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "confound_generator.h"
#include "confounds/confound_reader.h"
#include "sdm/io_error.h"
#include "sdm/matrix_text.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace sdm;
using namespace confounds;
using namespace tools;

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

// Names, columns and the unreadable cells of a file, one line each.
std::string describe(const ConfoundFile& file) {
  std::string out = "names";
  for (const sdm::Predictor& column : file.matrix.predictors) out += " [" + column.name + "]";
  out += "\n";
  for (const sdm::Predictor& column : file.matrix.predictors) {
    out += "values";
    for (const float v : column.values) out += " " + sdm_test::floatText(v);
    out += "\n";
  }
  const UnreadableCells& cells = file.unreadable;
  if (cells.values > 0) {
    out += "unreadable " + std::to_string(cells.values) + " in " +
           std::to_string(cells.dataPoints) + " at";
    for (const int64_t point : cells.firstDataPoints) out += " " + std::to_string(point);
    out += "\n";
  }
  return out;
}

struct ReadCase {
  const char* what;
  const char* fileName;
  std::string bytes;
  std::string expected;  // describe() of the file read, or the message of the IOError
};

class ConfoundReaderCases : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ConfoundReaderCases, ReadsTheExpectedColumns) {
  TempDir dir;
  const std::string path = dir.file(GetParam().fileName);
  writeFile(path, GetParam().bytes);
  std::string result;
  try {
    result = describe(readConfoundFile(path));
  } catch (const IOError& e) {
    result = e.what();
    const std::string::size_type at = result.find(path);
    if (at != std::string::npos) result.replace(at, path.size(), "PATH");
  }
  EXPECT_EQ(result, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ConfoundReader, ConfoundReaderCases,
    ::testing::Values(
        ReadCase{"TsvWithNotAvailableInTheFirstRowAndAnyNotation", "conf.tsv",
                 "trans_x\ttrans_x_derivative1\tdvars\n"
                 "-0.0913467\tn/a\tn/a\n"
                 "4.62162030625e-11\t+.5E1\t-1.\n",
                 "names [trans_x] [trans_x_derivative1] [dvars]\n"
                 "values -0.0913467 4.6216204e-11\nvalues 0 5\nvalues 0 -1\n"},
        // RFC 4180 quoting: a quoted field holds the separator, "" stands for one quote.
        ReadCase{"CsvQuotedNamesHoldTheSeparator", "conf.csv",
                 "\"a,b\",c, \"d \"\"\"\" e\"\n1,\"2\",3\n",
                 "Unusable predictor name in PATH: d \\\"\\\" e"},
        ReadCase{"CsvQuotedNameWithTheSeparator", "conf.csv", "\"a,b\",c\n1,\"2\"\n3,4\n",
                 "names [a,b] [c]\nvalues 1 3\nvalues 2 4\n"},
        ReadCase{"TsvNameWithAQuoteIsRefused", "conf.tsv", "a\"b\tc\n1\t2\n",
                 "Unusable predictor name in PATH: a\\\"b"},
        ReadCase{"TsvWithCrlfByteOrderMarkBlanksAndTrailingBlankLines", "conf.TSV",
                 "\xEF\xBB\xBF"
                 "a\t b \r\n 1.5\t2 \r\n3\t4\r\n\r\n  \r\n",
                 "names [a] [b]\nvalues 1.5 3\nvalues 2 4\n"},
        ReadCase{"TsvReportsEverythingButNotAvailableInTheFirstRow", "conf.tsv",
                 "a\tb\n"
                 "n/a\tx\n1\tn/a\n\t2\nnan\tinf\n1e39\t12abc\n1e-50\t0x10\n+-1\t1\n2\t2\n",
                 "names [a] [b]\nvalues 0 1 0 0 0 0 0 2\nvalues 0 0 2 0 0 0 1 2\n"
                 "unreadable 9 in 7 at 1 2 3 4 5\n"},
        ReadCase{"TsvWithoutHeaderWhenTheFirstLineIsAllNumbers", "conf.tsv", "0.5\tn/a\n1.5\t2.5\n",
                 "names [Column 1] [Column 2]\nvalues 0.5 1.5\nvalues 0 2.5\n"},
        ReadCase{"TsvEmptyNamesAreNumberedColumns", "conf.tsv", "\ta\t\n1\t2\t3\n",
                 "names [Column 1] [a] [Column 3]\nvalues 1\nvalues 2\nvalues 3\n"},
        ReadCase{"TsvLineOfTabsIsARowOfEmptyCells", "conf.tsv", "a\tb\n1\t2\n\t\n3\t4\n",
                 "names [a] [b]\nvalues 1 0 3\nvalues 2 0 4\nunreadable 2 in 1 at 2\n"},
        ReadCase{"TsvBlankLineInsideOneColumnIsAnEmptyCell", "one.tsv", "a\n1\n\n2\n\n",
                 "names [a]\nvalues 1 0 2\nunreadable 1 in 1 at 2\n"},
        ReadCase{"CsvWithQuotesAndSpaces", "conf.csv",
                 "\"trans_x\", \"rot y\",csf\r\n\"1.25\", -2 ,n/a\r\n3,4,5\r\n",
                 "names [trans_x] [rot y] [csf]\nvalues 1.25 3\nvalues -2 4\nvalues 0 5\n"},
        ReadCase{"FslParNamesRotationsFirst", "prefiltered_func_data_mcf.par",
                 "-0.00171451  -0.000780782  -0.00228294  -0.0778126  -0.136826  0.150056  \n"
                 "0  0  0  1e-05  2  3\n",
                 "names [rot_x] [rot_y] [rot_z] [trans_x] [trans_y] [trans_z]\n"
                 "values -0.00171451 0\nvalues -0.000780782 0\nvalues -0.00228294 0\n"
                 "values -0.0778126 1e-05\nvalues -0.136826 2\nvalues 0.150056 3\n"},
        ReadCase{"SpmRealignNamesTranslationsFirst", "RP_afunc.TXT",
                 "  -7.7812582e-02  -1.3682641e-01   1.5005644e-01  -1.7145053e-03  "
                 "-7.8078231e-04  -2.2829405e-03\r\n",
                 "names [trans_x] [trans_y] [trans_z] [rot_x] [rot_y] [rot_z]\n"
                 "values -0.07781258\nvalues -0.13682641\nvalues 0.15005644\n"
                 "values -0.0017145053\nvalues -0.0007807823\nvalues -0.0022829405\n"},
        ReadCase{"AfniColumnLabelsCommentsAndBlankLines", "motion.1D",
                 "# <matrix\n#  ni_type = \"3*double\"\n"
                 "#  ColumnLabels = \"roll ; pitch\"\n# >\n\n"
                 " 1  2\t3 # the first volume\n\n4 5 6\n# </matrix>\n",
                 "names [rot_z] [rot_x] [Column 3]\nvalues 1 4\nvalues 2 5\nvalues 3 6\n"},
        ReadCase{"AfniMotionLabelsAllBecomeMotionNames", "run1.1D",
                 "# ColumnLabels = \"roll ; pitch ; yaw ; dS ; dL ; dP\"\n1 2 3 4 5 6\n",
                 "names [rot_z] [rot_x] [rot_y] [trans_z] [trans_x] [trans_y]\n"
                 "values 1\nvalues 2\nvalues 3\nvalues 4\nvalues 5\nvalues 6\n"},
        ReadCase{"AfniUnlabelledDfileHasTheMotionColumnsInAfnisOrder", "dfile.r01.1D",
                 "1 2 3 4 5 6\n",
                 "names [rot_z] [rot_x] [rot_y] [trans_z] [trans_x] [trans_y]\n"
                 "values 1\nvalues 2\nvalues 3\nvalues 4\nvalues 5\nvalues 6\n"},
        ReadCase{"AfniUnlabelledMotionFileToo", "Motion_demean.1D", "1 2 3 4 5 6\n",
                 "names [rot_z] [rot_x] [rot_y] [trans_z] [trans_x] [trans_y]\n"
                 "values 1\nvalues 2\nvalues 3\nvalues 4\nvalues 5\nvalues 6\n"},
        ReadCase{"UnlabelledSixColumnsOfAnotherName", "regressors.1D", "1 2 3 4 5 6\n",
                 "names [Column 1] [Column 2] [Column 3] [Column 4] [Column 5] [Column 6]\n"
                 "values 1\nvalues 2\nvalues 3\nvalues 4\nvalues 5\nvalues 6\n"},
        ReadCase{"AfniLabelsOutsideA1DFileStayAsTheyAre", "motion.txt", "roll dS\n1 2\n",
                 "names [roll] [dS]\nvalues 1\nvalues 2\n"},
        ReadCase{"TxtWithoutLabelsIsNumberedColumns", "regressors.txt", "1 2\n3 4\n",
                 "names [Column 1] [Column 2]\nvalues 1 3\nvalues 2 4\n"},
        ReadCase{"TxtFirstLineWithoutNumbersNamesTheColumns", "regressors.txt",
                 "# made by hand\nhead_x head_y\n1 n/a\n2 3\n",
                 "names [head_x] [head_y]\nvalues 1 2\nvalues 0 3\n"},
        ReadCase{"RaggedTsvNamesTheFirstBadLine", "conf.tsv", "a\tb\tc\n1\t2\t3\n1\t2\n4\t5\n",
                 "Rows of different lengths in PATH (line 3 has 2 columns, line 1 has 3 columns)"},
        ReadCase{"BlankLineBetweenRowsOfTwoColumns", "conf.csv", "a,b\n1,2\n\n\n3,4\n",
                 "Rows of different lengths in PATH (line 3 is blank, line 1 has 2 columns)"},
        ReadCase{"RaggedTxtCountsCommentLines", "x.txt", "# c\n1 2\n# c\n\n3\n",
                 "Rows of different lengths in PATH (line 5 has 1 column, line 2 has 2 columns)"},
        ReadCase{"ParWithSevenColumns", "x.par", "\n1 2 3 4 5 6 7\n",
                 "Expected 6 motion columns in PATH (line 2 has 7)"},
        ReadCase{"EmptyFile", "conf.tsv", "", "No confound data in PATH"},
        ReadCase{"HeaderOnly", "conf.tsv", "a\tb\r\n\r\n", "No confound data in PATH"},
        ReadCase{"CommentsOnly", "x.1D", "# ColumnLabels = \"a\"\n#\n", "No confound data in PATH"},
        ReadCase{"DataLineBeyondItsBound", "conf.tsv", "a\n" + std::string(4097 + 64, '1') + "\n",
                 "Line too long in PATH"},
        ReadCase{"MoreColumnsThanTheLimit", "conf.csv",
                 std::string(static_cast<std::size_t>(maxConfoundColumns), ',') + "\n",
                 "Too many columns in PATH (line 1)"}),
    [](const auto& testInfo) { return std::string(testInfo.param.what); });

TEST(ConfoundReader, ChoosesTheFormatByTheBaseName) {
  const std::pair<const char*, ConfoundFormat> cases[] = {
      {"sub-01_desc-confounds_timeseries.tsv", ConfoundFormat::tsv},
      {"a.CSV", ConfoundFormat::csv},
      {"mcf.par", ConfoundFormat::fslMotion},
      {"C:\\data\\rp_run1.txt", ConfoundFormat::spmMotion},
      {"rp_/run1.txt", ConfoundFormat::columns},
      {"motion.1d", ConfoundFormat::columns},
      {"notes.txt", ConfoundFormat::columns},
      {"run.tsv/task.sdm", ConfoundFormat::sdm},
      {"task", ConfoundFormat::sdm},
  };
  for (const auto& [path, format] : cases) {
    EXPECT_EQ(confoundFormatOf(path), format) << path;
    EXPECT_EQ(isConfoundFile(path), format != ConfoundFormat::sdm) << path;
  }
}

TEST(ConfoundReader, MakesAMatrixOfConfoundsWithAFreshHeader) {
  TempDir dir;
  const std::string path = dir.file("c.tsv");
  writeFile(path, "a\tb\n1\t2\n");
  const ConfoundFile file = readConfoundFile(path);
  EXPECT_EQ(file.matrix.fileName, path);
  EXPECT_EQ(sdm_test::describe(file.matrix),
            "fileVersion FileVersion 24 1\nnrOfPredictors NrOfPredictors 24 2\n"
            "nrOfDataPoints NrOfDataPoints 24 1\nincludesConstant IncludesConstant 24 0\n"
            "firstConfoundPredictor FirstConfoundPredictor 24 1\n"
            "colours 204,68,68 62,130,201\nnames [a] [b]\nvalues 1\nvalues 2\n");
}

TEST(ConfoundReader, AMissingFileThrowsOpenFileError) {
  TempDir dir;
  const std::string path = dir.file("missing.tsv");
  try {
    readConfoundFile(path);
    ADD_FAILURE() << "no exception";
  } catch (const OpenFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Failed opening for reading: " + path + " (no such file or folder)");
  }
}

// A fMRIPrep-like table of 250 columns: every column named, only first-row gaps, no warning.
TEST(ConfoundReader, ReadsAWideFmriprepLikeTable) {
  ConfoundShape shape;
  shape.aCompCor = 0;
  shape.aCompCor = 250 - confoundColumnCount(shape);
  ASSERT_EQ(confoundColumnCount(shape), 250);
  TempDir dir;
  const std::string path = dir.file("sub-01_desc-confounds_timeseries.tsv");
  const std::string text = generateConfoundText(shape, ConfoundTextFormat::tsv);
  writeFile(path, text);
  const ConfoundFile file = readConfoundFile(path);
  ASSERT_EQ(file.matrix.predictors.size(), 250u);
  EXPECT_EQ(file.matrix.nrOfDataPoints, shape.points);
  EXPECT_EQ(file.unreadable.values, 0);
  std::string header;
  for (const sdm::Predictor& column : file.matrix.predictors)
    header += (header.empty() ? "" : "\t") + column.name;
  EXPECT_EQ(header, text.substr(0, text.find('\n')));
  EXPECT_EQ(file.matrix.predictors[249].name, "motion_outlier01");
}

// Every example file reads with its own names and the 120 data points of the task SDM.
TEST(ConfoundReader, ReadsTheExampleFiles) {
  const std::pair<const char*, const char*> examples[] = {
      {"sub01_run1_mcf.par", "rot_x rot_y rot_z trans_x trans_y trans_z"},
      {"rp_sub01_run1.txt", "trans_x trans_y trans_z rot_x rot_y rot_z"},
      // AFNI's labels under the names the motion presets use (degrees and mm as written).
      {"sub01_run1_dfile.1D", "rot_z rot_x rot_y trans_z trans_x trans_y"},
  };
  for (const auto& [name, names] : examples) {
    const ConfoundFile file = readConfoundFile(testing_support::sourceDir() + "/examples/" + name);
    EXPECT_EQ(sdm_test::joinedNames(file.matrix), names) << name;
    EXPECT_EQ(file.matrix.nrOfDataPoints, 120) << name;
    EXPECT_EQ(file.unreadable.values, 0) << name;
  }
  const ConfoundFile table = readConfoundFile(testing_support::sourceDir() +
                                              "/examples/sub01_run1_desc-confounds_timeseries.tsv");
  EXPECT_EQ(table.matrix.nrOfDataPoints, 120);
  EXPECT_EQ(table.unreadable.values, 0);
}

}  // namespace
