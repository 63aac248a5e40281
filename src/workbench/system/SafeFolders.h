// Folders held open, and the files below them reached without ever leaving
// them: how the store writes, deletes and sweeps in its script roots.
//
// A folder is held as an open descriptor, and a path below it is resolved by
// the call that opens it, not checked ahead: with openat2 and
// RESOLVE_BENEATH the kernel follows a symbolic link only while it stays
// below the folder, and fails with EXDEV where a link (or "..") leads out.
// On a kernel without openat2 (before Linux 5.6) every component is opened
// with O_NOFOLLOW instead, so that no symbolic link is followed at all
// (ELOOP). Either way a folder swapped for a symbolic link between two calls
// is found by the second: nothing is cached by path.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zt::wb {

/// An open file descriptor, closed when the object goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  /// Gives up the descriptor without closing it.
  int Release();
  /// Closes the descriptor held, and holds `fd` instead.
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

/// Opens the folder `path` (following symbolic links, as a user's path is
/// followed); an invalid descriptor with errno set when it cannot.
UniqueFd OpenFolder(const std::string& path);

/// Opens the folder `name` (one component) in the folder `parent` without
/// following a symbolic link, making it first (mode 0777 less the umask,
/// and group-writable when `groupShared`) when `create` and it is missing.
/// An invalid descriptor with errno set when it cannot: ELOOP for a
/// symbolic link, ENOTDIR for another file.
UniqueFd OpenFolderNoFollow(int parent, const std::string& name, bool create, bool groupShared = false);

/// Makes the folder or file open as `fd` readable and writable by its group
/// (and a folder searchable), whatever the umask took away: what a folder a
/// team shares needs of everything made in it. -1 with errno when it cannot.
int MakeGroupWritable(int fd);

/// How paths below a folder held open are resolved (see the file comment):
/// with openat2 while the kernel takes it, else component by component. A
/// holder of folders keeps one (a store's scripts do), which stops asking
/// for openat2 once the kernel says it has none; a test switches openat2
/// off to try the other way on the holder it hands the switch to.
class PathResolver {
 public:
  /// Opens `relative` (components separated by "/"; none empty, "." or
  /// "..") below the folder `root` with `flags` (O_CLOEXEC is added), never
  /// leaving `root`. An invalid descriptor with errno set when it cannot:
  /// EXDEV or ELOOP where the path would leave `root`.
  UniqueFd OpenBeneath(int root, const std::string& relative, int flags);

  /// Opens the folder `components` below the folder `root` as OpenBeneath
  /// does, making the missing ones when `create`; `made`, when given, tells
  /// whether this call made the folder itself (its last component). An
  /// invalid descriptor with errno set when it cannot.
  UniqueFd OpenFolderBeneath(int root, const std::vector<std::string>& components, bool create,
                             bool* made = nullptr);

  /// Whether symbolic links that stay below a folder are followed: openat2
  /// is in use and the kernel has it; without, no link is followed.
  bool ResolvesBeneath();

  /// With true, the folders this resolver makes are group-writable
  /// (MakeGroupWritable): the folder they are made in is one a team shares.
  void SetGroupShared(bool shared) { groupShared_ = shared; }

  /// For tests: with false, this resolver acts as on a kernel without
  /// openat2; true gives openat2 back where the kernel has it.
  void UseOpenat2(bool use) { openat2_ = use; }

 private:
  // openat2 with RESOLVE_BENEATH; -1 with errno ENOSYS where it is not used.
  int Openat2Beneath(int root, const std::string& relative, int flags);

  // Whether openat2 is used: cleared at its first ENOSYS, and by UseOpenat2.
  bool openat2_ = true;
  // Whether the folders made are group-writable (SetGroupShared).
  bool groupShared_ = false;
};

/// Whether errno `error` of the calls above says that the path would have
/// left its root (a symbolic link leading out, or one where none is followed).
bool LeavesRoot(int error);

}  // namespace zt::wb
