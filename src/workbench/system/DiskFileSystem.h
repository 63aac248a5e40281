// The workbench's file-system object: the add-in's "\"-separated paths on
// the local disk. "\" and "/" both separate, "$PWTTEMPLATES" names the
// template folder, and a written file appears only when it is complete.
//
// Temporary files: a file is written to `.<name>~<pid>~<random>` in its own
// folder and renamed over `<name>` when complete. A writer killed before the
// rename leaves its temporary behind; RemoveStaleTemporaries removes those
// whose writing process is gone (the store does so when it opens).
//
// Files opened for reading (templates, above all: a run reads each template
// twice per operation) are kept in memory and served from there while the
// file on disk is the same: same device, inode, size and modification time,
// which every open checks. Files over kCachedFileLimit are read from disk.
// An object may be told to trust what it checked for a while
// (TrustCheckedFilesFor): then a file kept in memory and checked less than
// that long ago is served, and said to exist, without looking at the disk;
// deleting or writing it through the object forgets it at once.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "host/FileSystem.h"

namespace zt::wb {

/// How a writer below puts bytes into a file: ::write's contract; empty:
/// ::write itself. A seam for tests that simulate a full disk or a failing
/// device. Each writer holds the one it is handed (DiskFileSystem's,
/// ScriptFiles's), so that a test reaches only the writer it hands it to.
using WriteHook = std::function<ssize_t(int fd, const void* data, size_t size)>;

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

  /// How long a kept file, once checked, is taken as it is (see the file
  /// comment); zero, the start value: every open and test looks at the disk.
  void TrustCheckedFilesFor(std::chrono::milliseconds interval) { trust_ = interval; }

  /// What the files this object writes are written through (WriteHook);
  /// a stream keeps the hook in force when it was created.
  void SetWriteHook(WriteHook write) { write_ = std::move(write); }

 private:
  // What tells one state of a file on disk from another.
  struct FileVersion {
    uint64_t device, inode;
    int64_t size, modifiedSeconds, modifiedNanoseconds;
    bool operator==(const FileVersion&) const = default;
  };
  struct CachedFile {
    FileVersion version;
    std::shared_ptr<const std::string> text;
    // When the version was last found on disk.
    std::chrono::steady_clock::time_point checked;
  };
  // The kept file at `native` when it is to be trusted without a look at the disk.
  const CachedFile* Trusted(const std::string& native) const;
  void Forget(const std::string& native);
  // The largest file kept in memory, and the most kept in all.
  static constexpr size_t kCachedFileLimit = 1 << 20;
  static constexpr size_t kCacheLimit = 8 << 20;

  std::string templatesDir_;
  // Files read, by native path.
  std::unordered_map<std::string, CachedFile> cache_;
  size_t cachedBytes_ = 0;
  std::chrono::milliseconds trust_{0};
  WriteHook write_;
};

/// The folder of the running program; empty when the system does not tell.
std::string ExeDir();

/// The folder of the bundled templates: $PWTTEMPLATES when set, else the
/// installed templates beside the program, else those of the source tree.
std::string DefaultTemplatesDir();

/// Writes `content` to `path` atomically: a temporary file in the same
/// folder, flushed, then renamed over the target, whose permissions it takes. Raises the file-system
/// object's errors (76 folder missing, 70 not writable, 75 any other, such as
/// a full disk), naming the path and the system's reason; the target is then
/// unchanged and the temporary file removed. The bytes go through `write`.
void WriteFileAtomically(const std::string& nativePath, const std::string& content, const WriteHook& write = {});

/// Raises the file-system object's error for errno `error` (76 missing, 70
/// not allowed, 58 exists, 75 any other), naming `nativePath` and the
/// system's reason.
[[noreturn]] void RaiseFileError(int error, const std::string& nativePath);

/// Whether `fileName` is the name of a temporary file of WriteFileAtomically;
/// when it is, `pid` receives the id of the process that wrote it.
bool IsTemporaryFileName(const std::string& fileName, pid_t& pid);

/// Removes the temporary files of WriteFileAtomically below `folder` (64
/// folders deep at most, no symbolic link followed) whose writing process no
/// longer runs in this process's view; a temporary whose writer may still
/// run is left alone. A writer in another pid namespace is not seen: a
/// caller that shares the folder with such writers must know that none is
/// at work (the store holds a lock for that). Returns how many were removed;
/// failures to list or remove are passed over (the next call tries again).
int RemoveStaleTemporaries(const std::string& folder);
/// The same below the open folder `root`.
int RemoveStaleTemporariesIn(int root);

/// The first half of WriteFileAtomically: writes `content` to a new hidden
/// temporary file (named as above) in the folder of `nativePath`, flushed to
/// disk when `sync`, and returns its path; the caller renames it. Raises as
/// WriteFileAtomically and then leaves nothing behind.
std::string WriteTemporaryBeside(const std::string& nativePath, const std::string& content, bool sync,
                                 const WriteHook& write = {});

/// The same in the open folder `folder` for the file `name`: returns the
/// temporary file's name in that folder (created there with O_EXCL, so never
/// through a symbolic link), with the permissions `mode` when given (those
/// of a file it is to replace), and readable and writable by the group too
/// when `groupWritable` (a folder a team shares). Errors name `shownPath`.
std::string WriteTemporaryIn(int folder, const std::string& name, const std::string& content, bool sync,
                             const std::string& shownPath, std::optional<mode_t> mode = std::nullopt,
                             const WriteHook& write = {}, bool groupWritable = false);

/// What the open file `fd` holds from where it is read on; nullopt with
/// errno set when it cannot be read.
std::optional<std::string> ReadOpenFile(int fd);

/// Gives the file `name` in the open folder `folder` a second name, one of
/// a temporary file as above (a hard link), and returns it: what a writer
/// keeps of a file it is about to replace, so that it can put it back. A
/// writer killed meanwhile leaves a temporary that is swept as any other.
/// Raises as WriteTemporaryIn (ENOENT when there is no such file, EPERM or
/// ENOTSUP where the file system has no hard links).
std::string LinkTemporaryIn(int folder, const std::string& name, const std::string& shownPath);

}  // namespace zt::wb
