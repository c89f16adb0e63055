// The run's page end to end: a design with a skipped event, settings, a contrast and both
// pictures becomes one page, compared byte for byte with tests/e2e/expected/run_page.html (after
// a change that means to alter it, write the new page there and read the difference).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::readFile;
using testing_support::runTormel;
using testing_support::sourceDir;
using testing_support::TempDir;

const std::string events =
    "onset\ttrial_type\tduration\n"
    "2\tgo\t4\n"
    "10.5\tstop\t2\n"
    "n/a\tgo\t2\n"
    "16\tgo\t4\n"
    "20\tstop\t2\n";

TEST(RunPageEndToEnd, DesignPageIsTheExpectedOne) {
  TempDir dir;
  const auto result =
      runTormel({"design", dir.write("sub-01_run-1_events.tsv", events), "--tr", "2", "--volumes",
                 "16", "--corr", "--html", "--json", "--warn", "0.15", "--amber-vif", "1",
                 "--contrast", "go_vs_stop = go - stop", "--provenance",
                 R"({"HRF": "spm", "Note": "caf\u00e9 <\"x\">", "Conditions": ["go"]})"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string page = readFile(dir.file("sub-01_run-1_design.html"));
  EXPECT_EQ(page, readFile(sourceDir() + "/tests/e2e/expected/run_page.html"));
  if (HasFailure())
    std::filesystem::copy_file(dir.file("sub-01_run-1_design.html"), "run_page.html",
                               std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
