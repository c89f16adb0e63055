#pragma once

#include <string>
#include <vector>

#include "base/file_system.h"

namespace testing_support {

// The system's file system with one call made to fail: the `failAt`-th call (counting from 1,
// every kind of call counted) returns `error` without doing anything (inUse answers
// "in use", remove removes all the same). `trace` lists the calls made, by name, separated by
// spaces. Installs itself for its lifetime.
class FaultyFileSystem final : public filesys::FileSystem {
 public:
  FaultyFileSystem(int failAt, int error);

  int openForReading(const std::string& path, filesys::Handle& handle, std::int64_t& size) override;
  int read(filesys::Handle handle, char* data, std::size_t size, std::size_t& got) override;
  int resolveLinks(const std::string& path, std::string& target) override;
  int checkTarget(const std::string& path, filesys::TargetKind& kind) override;
  int listNames(const std::string& folder, const std::string& start,
                std::vector<std::string>& names) override;
  bool inUse(const std::string& path) override;
  int createNew(const std::string& path, bool ownerOnly, filesys::Handle& handle,
                bool& exists) override;
  int copyMetadata(const std::string& model, filesys::Handle handle) override;
  int openExisting(const std::string& path, filesys::Handle& handle) override;
  int write(filesys::Handle handle, const char* data, std::size_t size) override;
  int sync(filesys::Handle handle) override;
  int close(filesys::Handle handle) override;
  int replace(const std::string& from, const std::string& to) override;
  void remove(const std::string& path) override;

  std::string trace;

 private:
  // Records the call; true when this one is to fail.
  bool fails(const char* name);

  int failAt_;
  int error_;
  int calls_ = 0;
  filesys::FileSystem& system_;
  filesys::ScopedFileSystem scope_;
};

}  // namespace testing_support
