#include "base/notice.h"

#include "base/paths.h"

std::string noticeText(const Notice& notice) {
  const char* opening = notice.kind == NoticeKind::warning ? "Warning: " : "Confounds from ";
  return opening + baseName(notice.file) + ": " + notice.text;
}

std::vector<Notice> warningsOf(const std::vector<Notice>& notices) {
  std::vector<Notice> warnings;
  for (const Notice& notice : notices)
    if (notice.kind == NoticeKind::warning) warnings.push_back(notice);
  return warnings;
}
