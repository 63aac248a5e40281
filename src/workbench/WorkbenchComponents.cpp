#include "workbench/WorkbenchComponents.h"

#include "workbench/DiskFileSystem.h"

namespace zt::wb {

WorkbenchComponents::WorkbenchComponents(std::string templatesDir) : templatesDir_(std::move(templatesDir)) {}

std::unique_ptr<FileSystemObject> WorkbenchComponents::CreateFileSystemObject() {
  return std::make_unique<DiskFileSystem>(templatesDir_);
}

}  // namespace zt::wb
