#include "base/notice.h"

#include "base/paths.h"

namespace base {

std::string noticeText(const Notice& notice) {
  if (notice.kind == NoticeKind::note) return notice.text;
  return "Warning: " + baseName(notice.file) + ": " + notice.text;
}

std::vector<Notice> warningsOf(const std::vector<Notice>& notices) {
  std::vector<Notice> warnings;
  for (const Notice& notice : notices)
    if (notice.kind == NoticeKind::warning) warnings.push_back(notice);
  return warnings;
}

}  // namespace base
