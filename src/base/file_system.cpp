#include "base/file_system.h"

namespace filesys {

namespace {
FileSystem* current = nullptr;
}

FileSystem& fileSystem() { return current != nullptr ? *current : systemFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(current) {
  current = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() { current = previous_; }

}  // namespace filesys
