// An in-memory file-system object for tests: files are texts under paths
// in which "\" and "/" are the same separator. It records what was deleted.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/Components.h"

namespace zt::test {

class MemoryFiles {
 public:
  void Put(const std::string& path, const std::string& content) { files_[Key(path)] = content; }
  bool Has(const std::string& path) const { return files_.count(Key(path)) > 0; }
  const std::string& Get(const std::string& path) const { return files_.at(Key(path)); }
  void SetReadOnly(const std::string& path) { readOnly_.insert(Key(path)); }
  bool IsReadOnly(const std::string& path) const { return readOnly_.count(Key(path)) > 0; }
  void Erase(const std::string& path) { files_.erase(Key(path)); }
  bool HasFolder(const std::string& path) const;

  std::vector<std::string> deleted;

  static std::string Key(const std::string& path);

 private:
  std::map<std::string, std::string> files_;
  std::set<std::string> readOnly_;
};

/// A file-system object over `files`.
std::unique_ptr<FileSystemObject> MakeMemoryFileSystem(MemoryFiles& files);

/// Hands the add-in components whose file-system object works on `files`.
void UseMemoryFileSystem(MemoryFiles& files);

/// Takes the components away again and drops the add-in's file-system object.
void UseNoComponents();

}  // namespace zt::test
