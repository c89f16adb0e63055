#include "bench_files.h"

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <system_error>

using namespace sdm;
using namespace tools;

namespace {

class BenchFolder {
 public:
  BenchFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() / ("brindle-bench-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

DesignShape benchShape(int size) {
  DesignShape shape;
  shape.constant = true;
  shape.motion = true;
  switch (size) {
    case 0:
      shape.interest = 5;
      shape.confounds = 14;
      shape.points = 300;
      break;
    case 1:
      shape.interest = 20;
      shape.confounds = 179;
      shape.points = 2000;
      break;
    default:
      shape.interest = 10;
      shape.confounds = 989;
      shape.points = 5000;
      break;
  }
  return shape;
}

const DesignMatrix& benchMatrix(int size) {
  static std::map<int, DesignMatrix> made;
  auto found = made.find(size);
  if (found == made.end()) found = made.emplace(size, generateDesignMatrix(benchShape(size))).first;
  return found->second;
}

std::string benchPath(const std::string& name) {
  static const BenchFolder folder;
  return (folder.path() / name).string();
}
