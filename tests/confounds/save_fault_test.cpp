// Every call of a save, failed in turn on the file-system seam: the save reports the target
// with the reason, leaves no temporary file and keeps the file that stood there. The calls
// whose failure a save can do without (the search for stale temporary files) let it succeed.
// Reads go through the same seam: each call of a load, failed in turn, gives the reader's error.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "confounds/confound_input.h"
#include "sdm/design_matrix.h"
#include "sdm/sdm_file.h"
#include "support/expect_throw.h"
#include "support/faulty_file_system.h"
#include "support/process.h"
#include "support/sdm_text.h"
#include "support/temp_dir.h"

using namespace sdm;
using namespace confounds;

namespace {

using testing_support::FaultyFileSystem;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// What stands at the target before the save.
enum class Target {
  oldFile,          // an ordinary file: replaced through a temporary file
  oldFileAndStale,  // the same, and a temporary file left by a process that has ended
  pipe,             // a named pipe with a reader: written into directly
};

struct FaultCase {
  const char* name;
  Target target;
  int failAt;           // which call of the save fails, from 1
  const char* message;  // before path + " (disk full)"; null: the save succeeds all the same
  const char* trace;    // every call the save made
  bool staleKept = false;
};

class SaveFault : public ::testing::TestWithParam<FaultCase> {};

std::set<std::string> entriesOf(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

TEST_P(SaveFault, ReportsTheTargetAndKeepsTheOldFile) {
  const FaultCase& c = GetParam();
  TempDir dir;
  const SdmText sdm{{"Faces", "Motion"}, {"  0.500000 -1.250000", "  1.000000  2.000000"}, 2};
  writeFile(dir.file("in.sdm"), sdm.text());
  DesignMatrix matrix = loadSdm(dir.file("in.sdm"));
  std::string saved;
  {
    TempDir clean;
    DesignMatrix copy = matrix;
    saveSdm(copy, clean.file("out.sdm"));
    saved = readFile(clean.file("out.sdm"));
  }
  const std::string target = dir.file("out.sdm");
  std::set<std::string> expected{"in.sdm", "out.sdm"};
  int reader = -1;
  if (c.target == Target::pipe) {
    ASSERT_EQ(::mkfifo(target.c_str(), 0644), 0);
    reader = ::open(target.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
  } else {
    writeFile(target, "the old file");
  }
  if (c.target == Target::oldFileAndStale) {
    const std::string stale =
        ".out.sdm.tmp-" + std::to_string(testing_support::endedProcessId()) + "-abcdEF12";
    writeFile(dir.file(stale), "left by a save that never ended");
    if (c.staleKept) expected.insert(stale);
  }

  {
    FaultyFileSystem files(c.failAt, ENOSPC);
    if (c.message != nullptr) {
      EXPECT_THROW_MSG(saveSdm(matrix, target), std::runtime_error,
                       std::string(c.message) + target + " (disk full)");
    } else {
      EXPECT_NO_THROW(saveSdm(matrix, target));
    }
    EXPECT_EQ(files.trace, c.trace);
  }
  if (c.target == Target::pipe) {
    struct stat status {};
    ASSERT_EQ(::lstat(target.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    std::string received(saved.size() + 1, '\0');
    const ssize_t got = ::read(reader, received.data(), received.size());
    ::close(reader);
    received.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (c.message == nullptr) {
      EXPECT_EQ(received, saved);
    }
  } else {
    EXPECT_EQ(readFile(target), c.message != nullptr ? "the old file" : saved);
  }
  EXPECT_EQ(entriesOf(dir.path()), expected);  // no temporary file of this save
}

INSTANTIATE_TEST_SUITE_P(
    EveryCall, SaveFault,
    ::testing::Values(
        FaultCase{"ResolveLinks", Target::oldFile, 1, "Cannot Create file: ", "resolveLinks"},
        FaultCase{"CheckTarget", Target::oldFile, 2,
                  "Cannot Create file: ", "resolveLinks checkTarget"},
        FaultCase{
            "ListNames", Target::oldFile, 3, nullptr,
            "resolveLinks checkTarget listNames createNew copyMetadata write sync close replace"},
        FaultCase{"CreateNew", Target::oldFile, 4,
                  "Cannot Create file: ", "resolveLinks checkTarget listNames createNew"},
        FaultCase{"CopyMetadata", Target::oldFile, 5, "Cannot Create file: ",
                  "resolveLinks checkTarget listNames createNew copyMetadata close remove"},
        FaultCase{"Write", Target::oldFile, 6, "Cannot write file: ",
                  "resolveLinks checkTarget listNames createNew copyMetadata write close remove"},
        FaultCase{
            "Sync", Target::oldFile, 7, "Cannot write file: ",
            "resolveLinks checkTarget listNames createNew copyMetadata write sync close remove"},
        FaultCase{
            "Close", Target::oldFile, 8, "Cannot write file: ",
            "resolveLinks checkTarget listNames createNew copyMetadata write sync close remove"},
        FaultCase{"Replace", Target::oldFile, 9, "Cannot write file: ",
                  "resolveLinks checkTarget listNames createNew copyMetadata write sync close "
                  "replace remove"},
        // A process whose state cannot be told counts as running: its file stays.
        FaultCase{"ProcessRunning", Target::oldFileAndStale, 4, nullptr,
                  "resolveLinks checkTarget listNames inUse createNew copyMetadata write "
                  "sync close replace",
                  true},
        FaultCase{"RemoveStale", Target::oldFileAndStale, 5, nullptr,
                  "resolveLinks checkTarget listNames inUse remove createNew copyMetadata "
                  "write sync close replace"},
        FaultCase{"OpenExisting", Target::pipe, 3,
                  "Cannot Create file: ", "resolveLinks checkTarget openExisting"},
        FaultCase{"PipeWrite", Target::pipe, 4,
                  "Cannot write file: ", "resolveLinks checkTarget openExisting write close"},
        FaultCase{"PipeSync", Target::pipe, 5,
                  "Cannot write file: ", "resolveLinks checkTarget openExisting write sync close"},
        FaultCase{"PipeClose", Target::pipe, 6,
                  "Cannot write file: ", "resolveLinks checkTarget openExisting write sync close"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SaveFault, UnfailedSaveMakesExactlyTheseCalls) {
  TempDir dir;
  DesignMatrix matrix;
  FaultyFileSystem files(0, ENOSPC);
  saveSdm(matrix, dir.file("empty.sdm"));
  EXPECT_EQ(files.trace, "resolveLinks checkTarget listNames createNew write sync close replace");
}

struct ReadFaultCase {
  const char* file;     // an SDM or a confound table
  int failAt;           // which call of the load fails, from 1
  const char* message;  // before the path; null: the load succeeds all the same
};

TEST(ReadFault, EveryFailedReadCallGivesTheReadersErrorAndClosesTheFile) {
  TempDir dir;
  writeFile(dir.file("in.sdm"), SdmText{{"Faces"}, {"  0.500000", "  1.000000"}, 2}.text());
  writeFile(dir.file("in.tsv"), "a\tb\n1\t2\n3\t4\n");
  const ReadFaultCase cases[] = {
      {"in.sdm", 1, "Failed opening for reading: "},
      {"in.sdm", 2, "Failed opening for reading: "},  // the first bytes
      {"in.sdm", 3, nullptr},  // closing a file whose declared lines were all read
      {"in.tsv", 1, "Failed opening for reading: "},
      {"in.tsv", 2, "Failed opening for reading: "},
      {"in.tsv", 3, "Failed reading from: "},
  };
  for (const ReadFaultCase& c : cases) {
    const std::string path = dir.file(c.file);
    FaultyFileSystem files(c.failAt, EIO);
    const auto load = [&] {
      if (std::string(c.file).ends_with(".sdm"))
        loadSdm(path);
      else
        loadConfounds(path, "a,b");
    };
    if (c.message == nullptr) {
      EXPECT_NO_THROW(load()) << c.file << " " << c.failAt;
    } else {
      // A reason outside the fixed set is the system's error number.
      EXPECT_THROW_MSG(load(), std::runtime_error,
                       c.message + path + " (error " + std::to_string(EIO) + ")");
    }
    EXPECT_EQ(files.trace.find("openForReading"), 0u) << c.file << " " << c.failAt;
  }
  FaultyFileSystem files(0, EIO);
  loadSdm(dir.file("in.sdm"));
  EXPECT_EQ(files.trace, "openForReading read close");
  FaultyFileSystem tableFiles(0, EIO);
  loadConfounds(dir.file("in.tsv"), "a");
  // The look for a sidecar beside the table (not there) comes while the table is still open.
  EXPECT_EQ(tableFiles.trace, "openForReading read read openForReading close");
}

}  // namespace
