// Writes a group report page of made-up runs, with a placeholder page for every run and a
// placeholder failure record for every failed run, so that each link of the page resolves:
//   brindle_group_page_sample FOLDER RUNS
// The runs cycle through every kind the page shows: the three marks, an infinite factor and
// none, pairs, contrasts (one not estimable), design only; every 50th run failed. The first run
// with an infinite factor is the one of index 3.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "group.h"
#include "text_files.h"

namespace {

// A value in [0, 1) from the run's index: the same everywhere.
double noise(std::uint64_t index, std::uint64_t salt) {
  std::uint64_t x = index * 0x9E3779B97F4A7C15ull + salt;
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  return static_cast<double>(x >> 11) / 9007199254740992.0;
}

std::string twoDigits(std::size_t n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// Run `i`: six per subject, two sessions of three runs, the third of each the motor task.
bids::RunRow sampleRow(std::size_t i) {
  bids::RunRow row;
  row.subject = twoDigits(i / 6 + 1);
  row.session = std::to_string(i % 6 / 3 + 1);
  row.task = i % 3 == 2 ? "motor" : "faces";
  row.run = std::to_string(i % 3 + 1);
  const std::string stem = "sub-" + row.subject + "/ses-" + row.session + "/func/sub-" +
                           row.subject + "_ses-" + row.session + "_task-" + row.task + "_run-" +
                           row.run + "_desc-brindle_design";
  row.summary = stem + ".json";
  row.page = stem + ".html";
  row.volumes = 200;
  row.predictors = 30;
  row.maxTaskVif = 1 + 14 * noise(i, 1) * noise(i, 2);
  if (i % 97 == 3) row.maxTaskVif = std::numeric_limits<double>::infinity();
  if (i % 89 == 5) row.maxTaskVif.reset();
  row.maxInterestVifName = row.maxTaskVif ? (i % 2 ? "houses" : "faces") : "";
  row.conditionNumber = 5 + 40 * noise(i, 3);
  row.flaggedPairs = static_cast<int>(10 * noise(i, 4));
  row.scrubbed = static_cast<int>(60 * noise(i, 5) * noise(i, 6));
  row.meanFramewiseDisplacement = 0.05 + 0.4 * noise(i, 7);
  if (noise(i, 8) < 0.4)
    row.strongestInterestPair = bids::PairCell{"faces", "trans_x", 0.8 + 0.2 * noise(i, 9)};
  row.designOnly = i % 41 == 7;
  row.repetitionTime = 2;
  row.hrf = "spm";
  row.contrasts = {{"faces > houses", "t", true, 0.5 + noise(i, 10), 0.3 * noise(i, 11), ""},
                   {"any face", "F", i % 13 != 1, 1 + noise(i, 12), 0.2 * noise(i, 13),
                    i % 13 == 1 ? "faces never happens" : ""}};
  // The mark as the plug-in would have given it.
  contract::RunMeasures measures{{}, {}, {}, static_cast<std::size_t>(row.scrubbed), 200};
  if (row.maxTaskVif) measures.interestFactors.push_back({row.maxInterestVifName, *row.maxTaskVif});
  for (const bids::ContrastCell& c : row.contrasts)
    measures.contrasts.push_back({c.name, c.estimable, 1 + c.confoundCost.value_or(0), c.reason});
  if (row.strongestInterestPair)
    measures.interestPairs.push_back({"faces", "trans_x", row.strongestInterestPair->r});
  row.mark = contract::markRun(measures);
  return row;
}

void placeholder(const std::filesystem::path& file, const std::string& what) {
  std::filesystem::create_directories(file.parent_path());
  bids::writeTextFile(file, "<!DOCTYPE html>\n<title>" + what + "</title>\n<p>" + what + "</p>\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: brindle_group_page_sample FOLDER RUNS\n");
    return 64;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::vector<bids::RunRow> rows;
    std::vector<bids::FailedRun> failed;
    for (std::size_t i = 0, count = std::stoul(argv[2]); i < count; ++i) {
      bids::RunRow row = sampleRow(i);
      if (i % 50 != 49) {
        placeholder(folder / row.page, row.label());
        rows.push_back(std::move(row));
        continue;
      }
      // The run without "_desc-brindle_design.json".
      const std::string stem = row.summary.substr(0, row.summary.size() - 25);
      failed.push_back({row.label(), row.subject, row.session, row.task, row.run,
                        stem + "_bold.nii.gz", stem + "_events.tsv",
                        "no confounds file <" + stem + "_desc-confounds_timeseries.tsv>",
                        stem + "_desc-brindle_failure.json"});
      placeholder(folder / failed.back().record, failed.back().label + " failed");
    }
    const std::string page = bids::groupPage(rows, failed);
    bids::writeTextFile(folder / "group_report.html", page);
    std::printf("%s/group_report.html: %zu runs, %zu bytes\n", argv[1], rows.size() + failed.size(),
                page.size());
    return 0;
  } catch (const std::exception& problem) {
    std::fprintf(stderr, "brindle_group_page_sample: %s\n", problem.what());
    return 1;
  }
}
