// The image header reader on images our own writer makes: NIfTI-1 and NIfTI-2, either byte
// order, plain and gzipped, and the files that are no image; a Tormel child past its time limit.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "nifti_header.h"
#include "nifti_image.h"
#include "support/row_name.h"
#include "support/temp_dir.h"
#include "text_files.h"

namespace {

using tools::gzipStored;
using tools::niftiImage;

struct HeaderCase {
  const char* what;
  std::string bytes;     // the file's
  std::string name;      // its name in the test's folder
  std::string expected;  // "VOLUMES volumes, TR s" or the error, "$F" for the file's path
};

class NiftiHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(NiftiHeaders, GiveVolumesAndSecondsOrSayWhyNot) {
  testing_support::TempDir dir;
  const std::string file = dir.file(GetParam().name);
  if (GetParam().what == std::string("named pipe"))
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  else
    dir.write(GetParam().name, GetParam().bytes);
  std::string said;
  try {
    const bids::NiftiHeader header = bids::readNiftiHeader(file);
    said =
        std::to_string(header.volumes) + " volumes, " + bids::shortestText(header.timeStep) + " s";
  } catch (const std::exception& error) {
    said = error.what();
  }
  std::string expected = GetParam().expected;
  if (const auto at = expected.find("$F"); at != std::string::npos) expected.replace(at, 2, file);
  EXPECT_EQ(said, expected);
}

std::string image(int version, bool bigEndian, double step = 2, std::uint8_t units = 0x0a) {
  return niftiImage({version, bigEndian, 110, step, units});
}

// A gzip stream of empty stored blocks, never reaching any data.
std::string endlessEmptyBlocks() {
  std::string bytes("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  for (int i = 0; i < 300000; ++i) bytes.append("\x00\x00\x00\xff\xff", 5);
  return bytes;
}

std::string damaged(std::string bytes) {
  bytes[13] = 'x';  // the first stored block's length no longer matches its complement
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NiftiHeaders,
    ::testing::ValuesIn(std::vector<HeaderCase>{
        {"NIfTI 1 little endian", image(1, false), "a.nii", "110 volumes, 2 s"},
        {"NIfTI 1 big endian gzipped", gzipStored(image(1, true)), "a.nii.gz", "110 volumes, 2 s"},
        {"NIfTI 2 little endian gzipped ms", gzipStored(image(2, false, 1500, 0x12)), "a.nii.gz",
         "110 volumes, 1.5 s"},
        {"NIfTI 2 big endian us", image(2, true, 800000, 0x1a), "a.nii", "110 volumes, 0.8 s"},
        {"empty", "", "a.nii.gz", "$F is 0 bytes: not a NIfTI image (a placeholder?)"},
        {"short", image(1, false).substr(0, 100), "a.nii",
         "$F is 100 bytes: shorter than a NIfTI header (a placeholder?)"},
        {"short gzipped", gzipStored(image(2, true).substr(0, 400)), "a.nii.gz",
         "$F unpacked is 400 bytes: shorter than a NIfTI header (a placeholder?)"},
        {"wrong magic", image(1, false).replace(344, 3, "abc"), "a.nii",
         "$F: not a NIfTI-1 image (wrong magic)"},
        {"no header size", "{\"RepetitionTime\": 2}", "a.nii",
         "$F: not a NIfTI image (its first 4 bytes give a header size of 1699881595, not 348 or "
         "540)"},
        {"not gzip", image(1, false), "a.nii.gz",
         "$F: not gzip data (no gzip signature at its start)"},
        {"bad gzip", damaged(gzipStored(image(1, false))), "a.nii.gz",
         "$F: damaged gzip data (invalid stored block lengths)"},
        {"endless empty blocks", endlessEmptyBlocks(), "a.nii.gz",
         "$F: no NIfTI header in the first 1048576 bytes of gzip data"},
        {"named pipe", "", "a.nii", "$F: a named pipe, not a regular file"}}),
    testing_support::rowName);

TEST(ChildProcess, AChildPastItsTimeLimitIsKilledAloneAndSaysWhatItSaid) {
  testing_support::TempDir dir;
  const auto start = std::chrono::steady_clock::now();
  const bids::ChildResult result =
      bids::runChild("/bin/sh", {"-c", "echo started; exec sleep 60"}, dir.path(), 0.3);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.status, 128 + 9);
  EXPECT_EQ(result.out, "started\n");
  const bids::ChildResult quick = bids::runChild("/bin/sh", {"-c", "exit 3"}, dir.path(), 60);
  EXPECT_FALSE(quick.timedOut);
  EXPECT_EQ(quick.status, 3);
}

}  // namespace
