#include "contract/report_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace contract;

TEST(ReportFiles, AreNamedAfterTheSdmBesideItOrInTheFolder) {
  const struct {
    std::string sdm, folder;
    std::vector<std::string> paths;  // report, heatmap, design picture, summary
  } cases[] = {
      {"D:/study/sub01_run1.sdm",
       "",
       {"D:/study/sub01_run1.csv", "D:/study/sub01_run1.svg", "D:/study/sub01_run1_design.svg",
        "D:/study/sub01_run1.json"}},
      {"D:/study/run1",
       "",
       {"D:/study/run1.csv", "D:/study/run1.svg", "D:/study/run1_design.svg",
        "D:/study/run1.json"}},
      {"noextension",
       "",
       {"noextension.csv", "noextension.svg", "noextension_design.svg", "noextension.json"}},
      {"D:/my.data/run1",
       "",
       {"D:/my.data/run1.csv", "D:/my.data/run1.svg", "D:/my.data/run1_design.svg",
        "D:/my.data/run1.json"}},
      {"D:/study/run1.sdm",
       "E:/plots",
       {"E:/plots/run1.csv", "E:/plots/run1.svg", "E:/plots/run1_design.svg",
        "E:/plots/run1.json"}},
      {"D:\\study\\run1.sdm",
       "E:\\plots",
       {"E:\\plots\\run1.csv", "E:\\plots\\run1.svg", "E:\\plots\\run1_design.svg",
        "E:\\plots\\run1.json"}},
      {"run1.sdm",
       "plots/",
       {"plots/run1.csv", "plots/run1.svg", "plots/run1_design.svg", "plots/run1.json"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reportFilePaths(c.sdm, {true, true, c.folder}), c.paths) << c.sdm;
    EXPECT_EQ(reportFilePaths(c.sdm, {false, false, c.folder}),
              std::vector<std::string>{c.paths[0]})
        << c.sdm;
    EXPECT_EQ(summaryPath(c.sdm, c.folder), c.paths[3]) << c.sdm;
  }
}

}  // namespace
