#include <gtest/gtest.h>

#include <string>

#include "confounds/confound_input.h"
#include "confounds/confound_matrix.h"
#include "confounds/confound_messages.h"
#include "sdm/matrix_text.h"
#include "support/columns.h"
#include "support/temp_dir.h"

using namespace base;
using namespace sdm;
using namespace confounds;
using testing_support::predictorsOf;

namespace {

TEST(ConfoundMessages, UnreadableWarningListsTheFirstFiveDataPoints) {
  const std::pair<UnreadableCells, std::string> cases[] = {
      {{0, 0, {}}, ""},
      {{1, 1, {7}}, "1 value(s) unreadable (data points 7), read as 0"},
      {{9, 5, {1, 2, 3, 4, 5}}, "9 value(s) unreadable (data points 1, 2, 3, 4, 5), read as 0"},
      {{9, 6, {1, 2, 3, 4, 5}},
       "9 value(s) unreadable (data points 1, 2, 3, 4, 5, ...), read as 0"},
  };
  for (const auto& [cells, text] : cases) {
    const auto notice = unreadableNotice("C:\\runs\\conf.tsv", cells);
    EXPECT_EQ(notice ? noticeText(*notice) : "", text.empty() ? "" : "Warning: conf.tsv: " + text);
  }
}

TEST(ConfoundMessages, TakenMessageNamesTheFileAndTheColumns) {
  EXPECT_EQ(noticeText(confoundsTakenNotice(confoundMatrix(
                "in/sub-01/conf.tsv", predictorsOf({"csf", "trans_x"}, {{1}, {2}}), 1))),
            "Confounds from conf.tsv: csf, trans_x");
  EXPECT_EQ(noticeText(confoundsTakenNotice(
                confoundMatrix("conf.tsv", predictorsOf({"a", "b"}, {{1}, {2}}), 1), {},
                {"motion_outlier01 = non_steady_state_outlier02", "c = a"})),
            "Confounds from conf.tsv: a, b; motion_outlier01 = non_steady_state_outlier02, left "
            "out; c = a, left out");
  // No column taken (a scrub term that flags no volume) still has its rows.
  const auto none = confoundMatrix("conf.tsv", {}, 3);
  EXPECT_EQ(none.nrOfDataPoints, 3);
  EXPECT_EQ(noticeText(confoundsTakenNotice(none, {"scrub: 0 volume(s) flagged"})),
            "Confounds from conf.tsv: none (scrub: 0 volume(s) flagged)");
}

TEST(ConfoundInput, ReadsChoosesAndLogsTheWarningThenTheColumns) {
  testing_support::TempDir dir;
  const std::string path = dir.file("run1.csv");
  testing_support::writeFile(path, "a,b,c\nn/a,x,1\n2,3,4\n");
  const ConfoundInput input = loadConfounds(path, "c,a");
  EXPECT_EQ(sdm_test::joinedNames(input.matrix), "c a");
  ASSERT_EQ(input.notices.size(), 2u);
  EXPECT_EQ(input.notices[0].kind, NoticeKind::warning);
  EXPECT_EQ(noticeText(input.notices[0]),
            "Warning: run1.csv: 1 value(s) unreadable (data points 1), read as 0");
  EXPECT_EQ(input.notices[1].kind, NoticeKind::note);
  EXPECT_EQ(noticeText(input.notices[1]), "Confounds from run1.csv: c, a");
}

}  // namespace
