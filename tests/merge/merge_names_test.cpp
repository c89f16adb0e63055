#include "merge/merge_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace merge;

namespace {

struct PathCase {
  std::string path;
  std::string base;
  std::string stem;  // stripExtension of the whole path
};

TEST(PathFunctions, CutAtTheLastSeparatorAndTheLastPoint) {
  const std::vector<PathCase> cases = {
      {"D:/study/sub01_run1.sdm", "sub01_run1.sdm", "D:/study/sub01_run1"},
      {"C:\\data\\run.2.sdm", "run.2.sdm", "C:\\data\\run.2"},
      {"mixed/dir\\file", "file", "mixed/dir\\file"},
      {"D:/my.data/run1", "run1", "D:/my"},
      {"folder/", "", "folder/"},
      {"plain", "plain", "plain"},
      {"", "", ""},
      {".sdm", ".sdm", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(base::baseName(c.path), c.base) << c.path;
    EXPECT_EQ(base::stripExtension(c.path), c.stem) << c.path;
  }
}

TEST(PathFunctions, InsertSuffixGoesBeforeTheLastPointOfTheWholePath) {
  EXPECT_EQ(base::insertSuffix("a/b.sdm", "_x"), "a/b_x.sdm");
  EXPECT_EQ(base::insertSuffix("a/b", "_x"), "a/b_x");
  EXPECT_EQ(base::insertSuffix("D:/my.data/run1", "_run2"), "D:/my_run2.data/run1");
}

struct MergeNameCase {
  std::vector<std::string> paths;  // the first, then each appended one
  std::string merged;
};

// The merged name after appending each path in turn, as the merge task builds it.
std::string mergedName(const std::vector<std::string>& paths) {
  std::string name = paths.front();
  for (std::size_t i = 1; i < paths.size(); ++i)
    name = base::insertSuffix(name, mergeSuffix(name, paths[i]));
  return name;
}

TEST(MergeName, KeepsTheCommonPrefixBeforeAnUnderscoreOrSpace) {
  const std::vector<MergeNameCase> cases = {
      {{"D:/study/sub01_run1.sdm", "D:/study/sub01_run2.sdm"}, "D:/study/sub01_run1_run2.sdm"},
      {{"D:/study/sub01_run1.sdm", "D:/study/sub01_run2.sdm", "D:/study/sub01_run3.sdm"},
       "D:/study/sub01_run1_run2_run3.sdm"},
      {{"a/left.sdm", "b/right.sdm"}, "a/left_right.sdm"},
      {{"a/sub01_run1.sdm", "a/sub02_run1.sdm"}, "a/sub01_run1_sub02_run1.sdm"},
      {{"x/sub01 run1 motion.sdm", "x/sub01 run2 motion.sdm"},
       "x/sub01 run1 motion run2 motion.sdm"},
      {{"runA", "runB"}, "runA_runB"},
      {{"D:/my.data/run1", "D:/my.data/run2"}, "D:/my_run2.data/run1"},
      {{"C:\\s\\sub01_run1.sdm", "C:\\t\\sub01_run9.sdm"}, "C:\\s\\sub01_run1_run9.sdm"},
      {{"a/first.sdm", "b/"}, "a/first_.sdm"},
      {{"a/x_y.sdm", "b/_tail.sdm"}, "a/x_y_tail.sdm"},
      {{"a/ab.sdm", "b/abc_d_e.sdm"}, "a/ab_abc_d_e.sdm"},
  };
  for (const auto& c : cases) EXPECT_EQ(mergedName(c.paths), c.merged);
}

}  // namespace
