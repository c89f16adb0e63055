#include "bids_dataset.h"

#include <filesystem>
#include <set>
#include <stdexcept>
#include <system_error>

#include "base/number_text.h"
#include "base/output_file.h"
#include "confound_generator.h"
#include "nifti_image.h"
#include "random.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

constexpr double rootRepetitionTime = 2.0;
constexpr double overriddenRepetitionTime = 1.5;

void writeText(const fs::path& file, const std::string& text) {
  std::error_code error;
  fs::create_directories(file.parent_path(), error);
  if (error) throw std::runtime_error("Cannot Create folder: " + file.parent_path().string());
  base::OutputFile out(file.string());
  out.write(text);
  out.commit();
}

// `value` with two decimals, whatever the locale ("12.50").
std::string twoDecimals(double value) {
  std::string text;
  base::appendFixed(text, value, 2);
  return text;
}

// A whole number of seconds plus a random share of `spread`, to 0.5 s.
double jittered(double base, double spread, Random& random) {
  return base + 0.5 * static_cast<double>(static_cast<int>(random.uniform() * spread * 2));
}

std::string rawDescription() {
  return "{\n  \"Name\": \"Synthetic faces and houses\",\n  \"BIDSVersion\": \"1.9.0\",\n"
         "  \"DatasetType\": \"raw\"\n}\n";
}

std::string derivativeDescription() {
  return "{\n  \"Name\": \"fMRIPrep-like derivatives (synthetic)\",\n  \"BIDSVersion\": "
         "\"1.9.0\",\n  \"DatasetType\": \"derivative\",\n  \"GeneratedBy\": [\n    {\n"
         "      \"Name\": \"sdmgen\"\n    }\n  ]\n}\n";
}

// The files of one run: image, events, sidecars, confounds.
void writeRun(const fs::path& root, const BidsRunShape& run, uint64_t seed, uint64_t index) {
  NiftiImageShape image;
  image.volumes = run.volumes;
  image.timeStep = run.repetitionTime;
  writeText(root / run.folder / (run.prefix + "_bold.nii.gz"), gzipStored(niftiImage(image)));
  writeText(root / run.folder / (run.prefix + "_events.tsv"), bidsEventsText(run, seed));
  if (run.runLevelSidecar) {
    writeText(root / run.folder / (run.prefix + "_bold.json"),
              "{\n  \"RepetitionTime\": " + twoDecimals(run.repetitionTime) + "\n}\n");
  }
  const fs::path derivatives = root / "derivatives" / "fmriprep" / run.folder;
  if (run.startTime >= 0) {
    writeText(derivatives / (run.prefix + "_space-MNI152NLin2009cAsym_desc-preproc_bold.json"),
              "{\n  \"RepetitionTime\": " + twoDecimals(run.repetitionTime) +
                  ",\n  \"SkullStripped\": false,\n  \"StartTime\": " + twoDecimals(run.startTime) +
                  "\n}\n");
  }
  if (run.confounds != nullptr) {
    ConfoundShape shape;
    shape.points = run.volumes;
    shape.repetitionTime = run.repetitionTime;
    shape.seed = seed * 1000 + index;
    writeText(derivatives / (run.prefix + "_desc-confounds_" + run.confounds + ".tsv"),
              generateConfoundText(shape, ConfoundTextFormat::tsv));
  }
}

}  // namespace

std::vector<BidsRunShape> bidsRunShapes() {
  const double tr = rootRepetitionTime;
  // Runs of eight to ten minutes, whose confounds cost their contrasts little; the paired one is
  // short, and breaks its design in every way.
  return {
      {"sub-01/func", "sub-01_task-faces_run-1", tr, 300, "timeseries", 0.9, false},
      {"sub-01/func", "sub-01_task-faces_run-2", tr, 300, "regressors", -1, false},
      {"sub-02/ses-1/func", "sub-02_ses-1_task-faces_run-1", tr, 280, "timeseries", 1.0, false},
      {"sub-02/ses-1/func", "sub-02_ses-1_task-faces_run-2", tr, 100, "timeseries", 1.0, false,
       Pairing::halfSecondLater},
      {"sub-02/ses-2/func", "sub-02_ses-2_task-faces_run-1", tr, 280, "timeseries", -1, false},
      {"sub-02/ses-2/func", "sub-02_ses-2_task-faces_run-2", overriddenRepetitionTime, 360,
       "timeseries", -1, true},
      {"sub-03/func", "sub-03_task-faces_run-1", tr, 240, "timeseries", -1, false,
       Pairing::identical},
  };
}

std::string bidsEventsText(const BidsRunShape& run, uint64_t seed) {
  Random random(seed * 7919 + static_cast<uint64_t>(run.volumes) * 31 + run.prefix.size());
  const double end = run.repetitionTime * run.volumes - 20.0;
  std::string text = "onset\tduration\ttrial_type\tmodulation\n";
  int row = 0;
  double duration = 0, modulation = 0;
  const bool paired = run.pairing != Pairing::none;
  const double lag = run.pairing == Pairing::halfSecondLater ? 0.5 : 0.0;
  for (double onset = jittered(6.0, 4.0, random);; ++row) {
    const bool faces = row % 2 == 0;
    // A paired houses event takes its faces event's duration and modulation.
    if (!paired || faces) {
      duration = jittered(8.0, 4.0, random);
      modulation = 0.5 + 0.01 * static_cast<int>(random.uniform() * 100);
    }
    if (onset + duration + lag > end) break;
    // The third event's modulation is missing (and its twin's, when they are identical): it is
    // skipped, and warned about.
    const bool missing = row == 2 || (run.pairing == Pairing::identical && row == 3);
    text += twoDecimals(onset) + "\t" + twoDecimals(duration) + "\t" +
            (faces ? "faces" : "houses") + "\t" +
            (missing ? std::string("n/a") : twoDecimals(modulation)) + "\n";
    if (paired && faces)
      onset += lag;
    else
      onset += duration + jittered(6.0, 6.0, random);
  }
  return text;
}

BidsDatasetSize writeBidsDataset(const std::string& folder, uint64_t seed) {
  const fs::path root(folder);
  writeText(root / "dataset_description.json", rawDescription());
  writeText(root / "participants.tsv", "participant_id\nsub-01\nsub-02\nsub-03\n");
  writeText(root / "task-faces_bold.json",
            "{\n  \"RepetitionTime\": " + twoDecimals(rootRepetitionTime) +
                ",\n  \"TaskName\": \"faces\"\n}\n");
  // A session-level sidecar without a repetition time: the lookup passes over it to the root.
  writeText(root / "sub-02" / "ses-1" / "sub-02_ses-1_task-faces_bold.json",
            "{\n  \"EchoTime\": 0.03\n}\n");
  writeText(root / "derivatives" / "fmriprep" / "dataset_description.json",
            derivativeDescription());
  const std::vector<BidsRunShape> runs = bidsRunShapes();
  std::set<std::string> subjects;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    writeRun(root, runs[i], seed, i + 1);
    subjects.insert(runs[i].folder.substr(0, runs[i].folder.find('/')));
  }
  return {runs.size(), subjects.size()};
}

}  // namespace tools
