#include "support/faulty_file_system.h"

namespace testing_support {

FaultyFileSystem::FaultyFileSystem(int failAt, int error)
    : failAt_(failAt), error_(error), system_(filesys::systemFileSystem()), scope_(*this) {}

bool FaultyFileSystem::fails(const char* name) {
  if (!trace.empty()) trace += ' ';
  trace += name;
  return ++calls_ == failAt_;
}

int FaultyFileSystem::resolveLinks(const std::string& path, std::string& target) {
  return fails("resolveLinks") ? error_ : system_.resolveLinks(path, target);
}

int FaultyFileSystem::checkTarget(const std::string& path, filesys::TargetKind& kind) {
  return fails("checkTarget") ? error_ : system_.checkTarget(path, kind);
}

int FaultyFileSystem::listNames(const std::string& folder, const std::string& start,
                                std::vector<std::string>& names) {
  return fails("listNames") ? error_ : system_.listNames(folder, start, names);
}

bool FaultyFileSystem::inUse(const std::string& path) {
  return fails("inUse") || system_.inUse(path);
}

int FaultyFileSystem::createNew(const std::string& path, bool ownerOnly, filesys::Handle& handle,
                                bool& exists) {
  if (!fails("createNew")) return system_.createNew(path, ownerOnly, handle, exists);
  exists = false;
  return error_;
}

int FaultyFileSystem::copyMetadata(const std::string& model, filesys::Handle handle) {
  return fails("copyMetadata") ? error_ : system_.copyMetadata(model, handle);
}

int FaultyFileSystem::openForReading(const std::string& path, filesys::Handle& handle,
                                     std::int64_t& size) {
  return fails("openForReading") ? error_ : system_.openForReading(path, handle, size);
}

int FaultyFileSystem::read(filesys::Handle handle, char* data, std::size_t size, std::size_t& got) {
  return fails("read") ? error_ : system_.read(handle, data, size, got);
}

int FaultyFileSystem::openExisting(const std::string& path, filesys::Handle& handle) {
  return fails("openExisting") ? error_ : system_.openExisting(path, handle);
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
