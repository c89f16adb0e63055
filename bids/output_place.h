#pragma once

#include <filesystem>
#include <stdexcept>

// Where brindle-bids may write: never into its inputs.
namespace bids {

// An OUTPUT_DIR that would write into an input; the text names both folders (exit status 73).
class OutputRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws OutputRefused when `output` is the dataset, a folder under one of its sub-* folders,
// the derivatives folder read, or inside that; the folders are compared with their links
// resolved. BIDS_DIR/derivatives/OTHER, the BIDS convention, is fine.
void checkOutputPlace(const std::filesystem::path& dataset, const std::filesystem::path& output,
                      const std::filesystem::path& derivatives);

// Throws OutputRefused naming OUTPUT/dataset_description.json when it exists and Brindle did
// not write it (its "GeneratedBy" names no "Brindle"): it is never replaced.
void checkDescription(const std::filesystem::path& output);

}  // namespace bids
