#include "support/faulty_file_system.h"

namespace testing_support {

FaultyFileSystem::FaultyFileSystem(int failAt, int error)
    : failAt_(failAt), error_(error), system_(filesys::systemFileSystem()), scope_(*this) {}

bool FaultyFileSystem::fails(const char* name) {
  if (!trace.empty()) trace += ' ';
  trace += name;
  return ++calls_ == failAt_;
}

int FaultyFileSystem::checkTarget(const std::string& path) {
  return fails("checkTarget") ? error_ : system_.checkTarget(path);
}

int FaultyFileSystem::createNew(const std::string& path, filesys::Handle& handle, bool& exists) {
  if (!fails("createNew")) return system_.createNew(path, handle, exists);
  exists = false;
  return error_;
}

int FaultyFileSystem::write(filesys::Handle handle, const char* data, std::size_t size) {
  return fails("write") ? error_ : system_.write(handle, data, size);
}

int FaultyFileSystem::sync(filesys::Handle handle) {
  return fails("sync") ? error_ : system_.sync(handle);
}

// A failed close still releases the file, as the system's does.
int FaultyFileSystem::close(filesys::Handle handle) {
  const bool failing = fails("close");
  const int result = system_.close(handle);
  return failing ? error_ : result;
}

int FaultyFileSystem::replace(const std::string& from, const std::string& to) {
  return fails("replace") ? error_ : system_.replace(from, to);
}

void FaultyFileSystem::remove(const std::string& path) {
  fails("remove");
  system_.remove(path);
}

}  // namespace testing_support
