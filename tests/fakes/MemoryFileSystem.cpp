#include "fakes/MemoryFileSystem.h"

#include "support/CommonFunctions.h"
#include "support/Error.h"

namespace zt::test {

namespace {

class MemoryStream : public TextStream {
 public:
  // A stream that reads `content`.
  explicit MemoryStream(std::string content) : content_(std::move(content)) {}
  // A stream that writes into `files` under `key` when closed.
  MemoryStream(MemoryFiles& files, std::string key) : files_(&files), key_(std::move(key)) {}

  bool AtEndOfStream() override { return pos_ >= content_.size(); }
  int32_t Line() override { return line_; }
  std::string ReadLine() override {
    if (AtEndOfStream()) RaiseError(errc::kInputPastEnd);
    size_t end = content_.find('\n', pos_);
    std::string line = content_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
    pos_ = end == std::string::npos ? content_.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++line_;
    return line;
  }
  void SkipLine() override { ReadLine(); }
  void WriteLine(const std::string& text) override { content_ += text + "\r\n"; }
  void Close() override {
    if (files_ != nullptr) files_->Put(key_, content_);
    files_ = nullptr;
  }

 private:
  std::string content_;
  size_t pos_ = 0;
  int32_t line_ = 1;
  MemoryFiles* files_ = nullptr;
  std::string key_;
};

class MemoryFileSystem : public FileSystemObject {
 public:
  explicit MemoryFileSystem(MemoryFiles& files) : files_(files) {}
  bool FileExists(const std::string& path) override { return files_.Has(path); }
  bool FolderExists(const std::string& path) override { return files_.HasFolder(path); }
  void DeleteFile(const std::string& path, bool force) override {
    if (!files_.Has(path)) RaiseError(errc::kFileNotFound);
    if (files_.IsReadOnly(path) && !force) RaiseError(errc::kPermissionDenied);
    files_.Erase(path);
    files_.deleted.push_back(MemoryFiles::Key(path));
  }
  std::unique_ptr<TextStream> OpenTextFile(const std::string& path) override {
    if (!files_.Has(path)) RaiseError(errc::kFileNotFound);
    return std::make_unique<MemoryStream>(files_.Get(path));
  }
  std::unique_ptr<TextStream> CreateTextFile(const std::string& path, bool overwrite) override {
    if (files_.Has(path) && !overwrite) RaiseError(errc::kFileAlreadyExists);
    return std::make_unique<MemoryStream>(files_, MemoryFiles::Key(path));
  }
  std::string NativePath(const std::string& path) override { return MemoryFiles::Key(path); }

 private:
  MemoryFiles& files_;
};

class MemoryComponents : public HostComponents {
 public:
  explicit MemoryComponents(MemoryFiles& files) : files_(files) {}
  std::unique_ptr<FileSystemObject> CreateFileSystemObject() override { return MakeMemoryFileSystem(files_); }

 private:
  MemoryFiles& files_;
};

std::unique_ptr<MemoryComponents> g_components;

}  // namespace

std::string MemoryFiles::Key(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (c == '/') c = '\\';
  }
  return key;
}

bool MemoryFiles::HasFolder(const std::string& path) const {
  const std::string prefix = Key(path) + "\\";
  auto it = files_.lower_bound(prefix);
  return it != files_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

std::unique_ptr<FileSystemObject> MakeMemoryFileSystem(MemoryFiles& files) {
  return std::make_unique<MemoryFileSystem>(files);
}

void UseMemoryFileSystem(MemoryFiles& files) {
  g_components = std::make_unique<MemoryComponents>(files);
  SetHostComponents(g_components.get());
  ResetFileSystem();
}

void UseNoComponents() {
  SetHostComponents(nullptr);
  ResetFileSystem();
  g_components.reset();
}

}  // namespace zt::test
