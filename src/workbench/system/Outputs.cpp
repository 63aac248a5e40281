// Outputs of commands (see Outputs.h).
#include "workbench/system/Outputs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/Error.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

void NoAction(int) {}

// Writes all of `content` to the open file `fd`; raises naming `path`.
void WriteStream(int fd, const std::string& content, const std::string& path) {
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) RaiseFileError(n < 0 ? errno : EIO, path);
    written += static_cast<size_t>(n);
  }
}

}  // namespace

bool FdOutputBuffer::WriteAll(const char* data, size_t size) {
  if (error_ != 0) return false;
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

FdOutputBuffer::int_type FdOutputBuffer::overflow(int_type c) {
  if (sync() != 0) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize FdOutputBuffer::xsputn(const char* data, std::streamsize size) {
  const auto room = static_cast<std::streamsize>(epptr() - pptr());
  if (size <= room) {
    traits_type::copy(pptr(), data, static_cast<size_t>(size));
    pbump(static_cast<int>(size));
    return size;
  }
  if (sync() != 0 || !WriteAll(data, static_cast<size_t>(size))) return 0;
  return size;
}

int FdOutputBuffer::sync() { return Drain(); }

int FdOutputBuffer::Drain() {
  const size_t pending = static_cast<size_t>(pptr() - pbase());
  setp(buffer_, buffer_ + sizeof buffer_);
  if (pending == 0) return error_ == 0 ? 0 : -1;
  return WriteAll(buffer_, pending) ? 0 : -1;
}

void IgnoreBrokenPipes() {
  struct sigaction action {};
  action.sa_handler = NoAction;
  ::sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGPIPE, &action, nullptr);
}

void WriteOutputFile(const std::string& path, const std::string& content) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    int16_t kind = 0;
    if (S_ISDIR(st.st_mode)) kind = WB_OUT_KIND_FOLDER;
    if (S_ISBLK(st.st_mode)) kind = WB_OUT_KIND_BLOCK_DEVICE;
    if (S_ISSOCK(st.st_mode)) kind = WB_OUT_KIND_SOCKET;
    if (kind != 0) RaiseError(errc::kPathFileAccessError, {}, Text(WB_OUT_NOT_A_FILE, {path, Text(kind)}));
    // A FIFO or a character device (through any link, /dev/stdout's too): a
    // stream, never made, truncated or replaced.
    const UniqueFd stream(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (!stream) RaiseFileError(errno, path);
    return WriteStream(stream.Get(), content, path);
  }
  // A file, or none yet: replaced whole where it is. A symbolic link is
  // followed to that place (a link to nowhere names the file to make), so
  // that the link stays.
  fs::path target = path;
  std::error_code ec;
  for (int links = 0; links < 40 && fs::is_symlink(fs::symlink_status(target, ec)); ++links) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) RaiseFileError(ec.value(), path);
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  WriteFileAtomically(target.lexically_normal().string(), content);
}

}  // namespace zt::wb
