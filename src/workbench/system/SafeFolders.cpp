// Folders held open and paths resolved below them (see SafeFolders.h).
#include "workbench/system/SafeFolders.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "support/Text.h"

namespace zt::wb {

namespace {

// Opens `name` in the folder `folder` without following a symbolic link,
// which is told as ELOOP also where O_DIRECTORY makes it ENOTDIR.
int OpenNoFollow(int folder, const std::string& name, int flags) {
  const int fd = ::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0 && errno == ENOTDIR) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
      errno = ELOOP;
    } else {
      errno = ENOTDIR;
    }
  }
  return fd;
}

// The same as openat2 below `root` without it: every component opened
// without following a symbolic link.
int OpenNoFollowWalk(int root, const std::string& relative, int flags) {
  UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
  if (!current) return -1;
  size_t start = 0;
  while (true) {
    const size_t slash = relative.find('/', start);
    const std::string part = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (slash == std::string::npos) return OpenNoFollow(current.Get(), part, flags);
    UniqueFd next(OpenNoFollow(current.Get(), part, O_RDONLY | O_DIRECTORY));
    if (!next) return -1;
    current = std::move(next);
    start = slash + 1;
  }
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int UniqueFd::Release() { return std::exchange(fd_, -1); }

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

UniqueFd OpenFolder(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

UniqueFd OpenFolderNoFollow(int parent, const std::string& name, bool create, bool groupShared) {
  bool made = false;
  if (create) {
    made = ::mkdirat(parent, name.c_str(), 0777) == 0;
    if (!made && errno != EEXIST) return UniqueFd();
  }
  UniqueFd folder(OpenNoFollow(parent, name, O_RDONLY | O_DIRECTORY));
  if (folder && made && groupShared && MakeGroupWritable(folder.Get()) != 0) return UniqueFd();
  return folder;
}

int MakeGroupWritable(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return -1;
  // A folder in a setgid folder is setgid itself (the kernel sees to it):
  // what is made below it goes on belonging to the team's group.
  const mode_t group = S_ISDIR(st.st_mode) ? S_IRWXG : S_IRGRP | S_IWGRP;
  const mode_t mode = st.st_mode & 07777;
  if ((mode & group) == group) return 0;
  return ::fchmod(fd, mode | group);
}

int PathResolver::Openat2Beneath(int root, const std::string& relative, int flags) {
  if (!openat2_) {
    errno = ENOSYS;
    return -1;
  }
  open_how how{};
  how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  int fd;
  do {
    fd = static_cast<int>(::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how));
  } while (fd < 0 && (errno == EAGAIN || errno == EINTR));
  if (fd < 0 && errno == ENOSYS) openat2_ = false;
  return fd;
}

UniqueFd PathResolver::OpenBeneath(int root, const std::string& relative, int flags) {
  const int fd = Openat2Beneath(root, relative, flags);
  // A sandbox may refuse a system call it does not know with EPERM.
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return UniqueFd(fd);
  return UniqueFd(OpenNoFollowWalk(root, relative, flags));
}

UniqueFd PathResolver::OpenFolderBeneath(int root, const std::vector<std::string>& components, bool create,
                                         bool* made) {
  const int flags = O_RDONLY | O_DIRECTORY;
  if (made != nullptr) *made = false;
  if (components.empty()) return UniqueFd(::fcntl(root, F_DUPFD_CLOEXEC, 0));
  // Folders that are there already (nearly always) take one call.
  UniqueFd whole = OpenBeneath(root, Joined(components, '/'), flags);
  if (whole || errno != ENOENT || !create) return whole;
  // Otherwise from the top, making each missing folder in its parent, which
  // was itself opened below the root.
  UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
  std::vector<std::string> path;
  for (const std::string& part : components) {
    path.push_back(part);
    UniqueFd next = OpenBeneath(root, Joined(path, '/'), flags);
    bool making = false;
    if (!next && errno == ENOENT) {
      making = ::mkdirat(current.Get(), part.c_str(), 0777) == 0;
      if (!making && errno != EEXIST) return UniqueFd();
      next = OpenBeneath(root, Joined(path, '/'), flags);
      if (next && making && groupShared_ && MakeGroupWritable(next.Get()) != 0) return UniqueFd();
    }
    if (made != nullptr) *made = making;
    if (!next) return UniqueFd();
    current = std::move(next);
  }
  return current;
}

bool PathResolver::ResolvesBeneath() {
  const UniqueFd here(Openat2Beneath(AT_FDCWD, ".", O_PATH));
  return static_cast<bool>(here);
}

bool LeavesRoot(int error) { return error == EXDEV || error == ELOOP; }

}  // namespace zt::wb
