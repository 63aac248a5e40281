// The workbench's file-system object: the add-in's "\"-separated paths on
// the local disk. "\" and "/" both separate, "$PWTTEMPLATES" names the
// template folder, and a written file appears only when it is complete.
#pragma once

#include <memory>
#include <string>

#include "host/FileSystem.h"

namespace zt::wb {

class DiskFileSystem : public FileSystemObject {
 public:
  /// `templatesDir` is the folder that "$PWTTEMPLATES" names.
  explicit DiskFileSystem(std::string templatesDir);

  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  void DeleteFile(const std::string& path, bool force) override;
  std::unique_ptr<TextStream> OpenTextFile(const std::string& path) override;
  std::unique_ptr<TextStream> CreateTextFile(const std::string& path, bool overwrite) override;
  std::string NativePath(const std::string& path) override;

 private:
  std::string templatesDir_;
};

/// The folder of the bundled templates: $PWTTEMPLATES when set, else the
/// installed templates beside the program, else those of the source tree.
std::string DefaultTemplatesDir();

/// Writes `content` to `path` atomically: a temporary file in the same
/// folder, flushed, then renamed over the target. Raises the file-system
/// object's errors (76 folder missing, 70 not writable).
void WriteFileAtomically(const std::string& nativePath, const std::string& content);

/// The first half of WriteFileAtomically: writes `content` to a new hidden
/// temporary file (".NAME.XXXXXX") in the folder of `nativePath`, flushed to
/// disk when `sync`, and returns its path; the caller renames it. Raises as
/// WriteFileAtomically and then leaves nothing behind.
std::string WriteTemporaryBeside(const std::string& nativePath, const std::string& content, bool sync);

}  // namespace zt::wb
