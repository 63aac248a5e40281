#include "workbench/system/DiskFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

// What separates the parts of a temporary file's name.
constexpr char kTemporaryMark = '~';
// How deep below a script root temporaries are looked for: deeper than any
// package path, and a bound on the folders held open at once.
constexpr int kDeepestFolder = 64;

ssize_t WriteSome(const WriteHook& write, int fd, const void* data, size_t size) {
  return write ? write(fd, data, size) : ::write(fd, data, size);
}

int32_t ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return errc::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return errc::kPermissionDenied;
    case EEXIST: return errc::kFileAlreadyExists;
    default: return errc::kPathFileAccessError;
  }
}

// Whether the process `pid` may still run (one we may not signal runs).
bool ProcessRuns(pid_t pid) { return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM; }

// A file read line by line as the caller asks: memory holds one line.
class ReadStream : public TextStream {
 public:
  explicit ReadStream(std::ifstream in) : in_(std::move(in)) {}
  bool AtEndOfStream() override { return in_.peek() == std::ifstream::traits_type::eof(); }
  int32_t Line() override { return line_; }
  std::string ReadLine() override {
    if (AtEndOfStream()) RaiseError(errc::kInputPastEnd);
    std::string line;
    std::getline(in_, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++line_;
    return line;
  }
  void SkipLine() override {
    if (AtEndOfStream()) RaiseError(errc::kInputPastEnd);
    in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    ++line_;
  }
  void WriteLine(const std::string&) override { RaiseError(errc::kBadFileMode); }
  void Close() override { in_.close(); }

 private:
  std::ifstream in_;
  int32_t line_ = 1;
};

// A file held in memory, read line by line as ReadStream reads one from disk.
class MemoryReadStream : public TextStream {
 public:
  explicit MemoryReadStream(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}
  bool AtEndOfStream() override { return position_ >= text_->size(); }
  int32_t Line() override { return line_; }
  std::string ReadLine() override {
    std::string line;
    ReadLineInto(line);
    return line;
  }
  void ReadLineInto(std::string& line) override {
    const size_t end = NextLineEnd();
    line.assign(*text_, position_, end - position_);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Advance(end);
  }
  void SkipLine() override { Advance(NextLineEnd()); }
  void WriteLine(const std::string&) override { RaiseError(errc::kBadFileMode); }
  void Close() override { position_ = text_->size(); }

 private:
  // Where the current line ends: its LF, or the end of the text.
  size_t NextLineEnd() const {
    if (position_ >= text_->size()) RaiseError(errc::kInputPastEnd);
    const size_t end = text_->find('\n', position_);
    return end == std::string::npos ? text_->size() : end;
  }
  void Advance(size_t end) {
    position_ = end < text_->size() ? end + 1 : end;
    ++line_;
  }

  std::shared_ptr<const std::string> text_;
  size_t position_ = 0;
  int32_t line_ = 1;
};

// Collects the text and writes it atomically at Close; a stream dropped
// without Close leaves nothing behind.
class WriteStream : public TextStream {
 public:
  WriteStream(std::string nativePath, WriteHook write) : path_(std::move(nativePath)), write_(std::move(write)) {}
  bool AtEndOfStream() override { return true; }
  int32_t Line() override { return line_; }
  std::string ReadLine() override { RaiseError(errc::kBadFileMode); }
  void SkipLine() override { RaiseError(errc::kBadFileMode); }
  void WriteLine(const std::string& text) override {
    content_ += text;
    content_ += GetResString(IDS_CRLF);
    ++line_;
  }
  void Close() override {
    if (closed_) return;
    closed_ = true;
    WriteFileAtomically(path_, content_, write_);
  }

 private:
  std::string path_;
  WriteHook write_;
  std::string content_;
  int32_t line_ = 1;
  bool closed_ = false;
};

}  // namespace

std::string ExeDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

void RaiseFileError(int error, const std::string& nativePath) {
  const int32_t number = ErrorFromErrno(error);
  RaiseError(number, {}, Text(WB_FILE_FAILED, {DescribeError(number), nativePath, std::strerror(error)}));
}

std::string DefaultTemplatesDir() {
  if (const char* env = std::getenv("PWTTEMPLATES"); env != nullptr && *env != '\0') return env;
  const std::string exeDir = ExeDir();
  if (!exeDir.empty()) {
    const fs::path installed = fs::path(exeDir) / ".." / ZT_INSTALL_TEMPLATES_SUBDIR;
    std::error_code ec;
    if (fs::is_directory(installed, ec)) return fs::weakly_canonical(installed, ec).string();
  }
  return ZT_SOURCE_TEMPLATES_DIR;
}

namespace {

// Six characters for a temporary file's name, of the letters and digits
// mkstemp takes, from a generator seeded once per process: the name is made
// with O_EXCL, so a name taken only costs another try.
std::string RandomSuffix() {
  static uint64_t state = [] {
    uint64_t seed = 0;
    if (::getrandom(&seed, sizeof seed, 0) != static_cast<ssize_t>(sizeof seed)) {
      seed = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^
             static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    return seed;
  }();
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // splitmix64
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  std::string suffix(6, ' ');
  for (char& c : suffix) {
    c = kAlphabet[z % (sizeof kAlphabet - 1)];
    z /= sizeof kAlphabet - 1;
  }
  return suffix;
}

// This process's pid, asked once and again in the child of each fork: a
// child that writes is another writer, whose temporaries are swept once it
// ends, not once its parent does. (A system call per file saved: the C
// library asks the kernel every time.)
pid_t ThisProcess() {
  static pid_t pid = [] {
    ::pthread_atfork(nullptr, nullptr, [] { pid = ::getpid(); });
    return ::getpid();
  }();
  return pid;
}

// The name of a new temporary file for `name`: ".<name>~<pid>~" and six
// characters, the name cut short so that the whole fits in a file name.
std::string TemporaryName(const std::string& name) {
  const std::string tail = kTemporaryMark + std::to_string(ThisProcess()) + kTemporaryMark + RandomSuffix();
  constexpr size_t kLongestName = 255;
  const size_t room = kLongestName - 1 - tail.size();
  return "." + (name.size() > room ? name.substr(0, room) : name) + tail;
}

}  // namespace

std::string WriteTemporaryIn(int folder, const std::string& name, const std::string& content, bool sync,
                             const std::string& shownPath, std::optional<mode_t> mode, const WriteHook& write,
                             bool groupWritable) {
  // The writer's pid in the name lets a later run tell a temporary whose
  // writer was killed from one that is being written. Created with the usual
  // permissions (0666 less the umask), or given `mode` before anything is
  // written into it.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TemporaryName(name);
    fd = ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) RaiseFileError(errno, shownPath);
  size_t written = 0;
  int error = mode && ::fchmod(fd, *mode) != 0 ? errno : 0;
  if (error == 0 && groupWritable && MakeGroupWritable(fd) != 0) error = errno;
  while (error == 0 && written < content.size()) {
    const ssize_t n = WriteSome(write, fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (error == 0 && sync && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlinkat(folder, temp.c_str(), 0);
    RaiseFileError(error, shownPath);
  }
  return temp;
}

std::optional<std::string> ReadOpenFile(int fd) {
  std::string content;
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    content.append(buffer, static_cast<size_t>(n));
  }
  return content;
}

std::string LinkTemporaryIn(int folder, const std::string& name, const std::string& shownPath) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = TemporaryName(name);
    if (::linkat(folder, name.c_str(), folder, temp.c_str(), 0) == 0) return temp;
    if (errno != EEXIST) break;
  }
  RaiseFileError(errno, shownPath);
}

std::string WriteTemporaryBeside(const std::string& nativePath, const std::string& content, bool sync,
                                 const WriteHook& write) {
  const fs::path target(nativePath);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const UniqueFd folderFd = OpenFolder(folder.string());
  if (!folderFd) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      RaiseError(errc::kPathNotFound, {}, DescribeError(errc::kPathNotFound) + ": " + folder.string());
    }
    RaiseFileError(error, nativePath);
  }
  return (folder /
          WriteTemporaryIn(folderFd.Get(), target.filename().string(), content, sync, nativePath, std::nullopt, write))
      .string();
}

void WriteFileAtomically(const std::string& nativePath, const std::string& content, const WriteHook& write) {
  const std::string temp = WriteTemporaryBeside(nativePath, content, true, write);
  // A file replaced keeps its permissions: a document its owner keeps to
  // himself (0600) does not become readable by all.
  struct stat st {};
  if (::lstat(nativePath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::chmod(temp.c_str(), st.st_mode & 07777) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    RaiseFileError(error, nativePath);
  }
  if (std::rename(temp.c_str(), nativePath.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    RaiseFileError(error, nativePath);
  }
}

bool IsTemporaryFileName(const std::string& fileName, pid_t& pid) {
  // ".<name>~<pid>~<six characters of mkstemp>"
  const size_t last = fileName.rfind(kTemporaryMark);
  if (fileName.size() < 2 || fileName[0] != '.' || last == std::string::npos || last + 7 != fileName.size()) {
    return false;
  }
  const size_t before = fileName.rfind(kTemporaryMark, last - 1);
  if (before == std::string::npos || before < 2 || before + 1 == last || last - before > 11) return false;
  long long value = 0;
  for (size_t i = before + 1; i < last; ++i) {
    if (fileName[i] < '0' || fileName[i] > '9') return false;
    value = value * 10 + (fileName[i] - '0');
  }
  if (value <= 0 || value > std::numeric_limits<pid_t>::max()) return false;
  pid = static_cast<pid_t>(value);
  return true;
}

namespace {

// Removes the stale temporaries in the folder `folder` and, `depth` levels
// deep, below it; no symbolic link is followed.
int RemoveStaleIn(int folder, int depth) {
  UniqueFd listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  DIR* dir = listing ? ::fdopendir(listing.Get()) : nullptr;
  if (dir == nullptr) return 0;
  listing.Release();
  int removed = 0;
  std::vector<std::string> folders;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    pid_t pid = 0;
    if (S_ISDIR(st.st_mode)) {
      folders.push_back(name);
    } else if (S_ISREG(st.st_mode) && IsTemporaryFileName(name, pid) && !ProcessRuns(pid) &&
               ::unlinkat(folder, name.c_str(), 0) == 0) {
      ++removed;
    }
  }
  ::closedir(dir);
  if (depth <= 0) return removed;
  for (const std::string& name : folders) {
    const UniqueFd sub = OpenFolderNoFollow(folder, name, false);
    if (sub) removed += RemoveStaleIn(sub.Get(), depth - 1);
  }
  return removed;
}

}  // namespace

int RemoveStaleTemporariesIn(int root) { return RemoveStaleIn(root, kDeepestFolder); }

int RemoveStaleTemporaries(const std::string& folder) {
  const UniqueFd root = OpenFolder(folder);
  return root ? RemoveStaleTemporariesIn(root.Get()) : 0;
}

DiskFileSystem::DiskFileSystem(std::string templatesDir) : templatesDir_(std::move(templatesDir)) {}

std::string DiskFileSystem::NativePath(const std::string& path) {
  std::string native = Replaced(path, GetResString(IDS_TEMPLATE_MACRO), templatesDir_);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

bool DiskFileSystem::FileExists(const std::string& path) {
  if (path.empty()) return false;
  const std::string native = NativePath(path);
  if (Trusted(native) != nullptr) return true;
  std::error_code ec;
  return fs::is_regular_file(native, ec);
}

bool DiskFileSystem::FolderExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(NativePath(path), ec);
}

void DiskFileSystem::DeleteFile(const std::string& path, bool force) {
  const std::string native = NativePath(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) RaiseError(errc::kFileNotFound);
  if (!force && (st.st_mode & S_IWUSR) == 0) RaiseError(errc::kPermissionDenied);
  Forget(native);
  if (::unlink(native.c_str()) != 0) RaiseError(ErrorFromErrno(errno));
}

const DiskFileSystem::CachedFile* DiskFileSystem::Trusted(const std::string& native) const {
  if (trust_.count() <= 0) return nullptr;
  const auto cached = cache_.find(native);
  if (cached == cache_.end() || std::chrono::steady_clock::now() - cached->second.checked >= trust_) return nullptr;
  return &cached->second;
}

void DiskFileSystem::Forget(const std::string& native) {
  if (const auto old = cache_.find(native); old != cache_.end()) {
    cachedBytes_ -= old->second.text->size();
    cache_.erase(old);
  }
}

std::unique_ptr<TextStream> DiskFileSystem::OpenTextFile(const std::string& path) {
  const std::string native = NativePath(path);
  if (const CachedFile* trusted = Trusted(native)) return std::make_unique<MemoryReadStream>(trusted->text);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    RaiseError(errc::kFileNotFound, {}, DescribeError(errc::kFileNotFound) + ": " + path);
  }
  const FileVersion version{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                            static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec),
                            static_cast<int64_t>(st.st_mtim.tv_nsec)};
  if (const auto cached = cache_.find(native); cached != cache_.end() && cached->second.version == version) {
    if (::access(native.c_str(), R_OK) != 0) {
      RaiseError(errc::kPermissionDenied, {}, DescribeError(errc::kPermissionDenied) + ": " + path);
    }
    cached->second.checked = std::chrono::steady_clock::now();
    return std::make_unique<MemoryReadStream>(cached->second.text);
  }
  std::ifstream in(native, std::ios::binary);
  if (!in) RaiseError(errc::kPermissionDenied, {}, DescribeError(errc::kPermissionDenied) + ": " + path);
  if (st.st_size > static_cast<off_t>(kCachedFileLimit)) return std::make_unique<ReadStream>(std::move(in));

  std::ostringstream content;
  content << in.rdbuf();
  auto text = std::make_shared<const std::string>(content.str());
  // Kept only when the file did not change while it was read.
  struct stat after {};
  if (!in.bad() && ::stat(native.c_str(), &after) == 0 && after.st_ino == st.st_ino &&
      after.st_size == static_cast<off_t>(text->size()) && after.st_mtim.tv_sec == st.st_mtim.tv_sec &&
      after.st_mtim.tv_nsec == st.st_mtim.tv_nsec) {
    Forget(native);
    if (cachedBytes_ + text->size() > kCacheLimit) {
      cache_.clear();
      cachedBytes_ = 0;
    }
    cache_[native] = CachedFile{version, text, std::chrono::steady_clock::now()};
    cachedBytes_ += text->size();
  }
  return std::make_unique<MemoryReadStream>(std::move(text));
}

std::unique_ptr<TextStream> DiskFileSystem::CreateTextFile(const std::string& path, bool overwrite) {
  const std::string native = NativePath(path);
  std::error_code ec;
  if (!overwrite && fs::exists(native, ec)) RaiseError(errc::kFileAlreadyExists);
  Forget(native);
  return std::make_unique<WriteStream>(native, write_);
}

}  // namespace zt::wb
