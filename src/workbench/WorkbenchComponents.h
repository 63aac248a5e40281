// The outside components the workbench hands the add-in at start-up.
#pragma once

#include <memory>
#include <string>

#include "host/Components.h"

namespace zt::wb {

class WorkbenchComponents : public HostComponents {
 public:
  /// `templatesDir` is what "$PWTTEMPLATES" names.
  explicit WorkbenchComponents(std::string templatesDir);

  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override;

 private:
  std::string templatesDir_;
};

}  // namespace zt::wb
