// What a command writes its results to: standard output, a log file, a file
// the user names. Every failure to write is kept, so that the command can
// tell it and end with a failure instead of succeeding on output that never
// arrived; and a special file the user names (a pipe, a device, a symbolic
// link) is written to, never replaced.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

namespace zt::wb {

/// A stream buffer that writes to a file descriptor (which it does not own)
/// and remembers the first error: after it, nothing more is written, and the
/// stream it serves sees a failure (badbit). A pipe whose reader has gone
/// fails with EPIPE, as long as SIGPIPE does not end the process first (see
/// IgnoreBrokenPipes).
class FdOutputBuffer : public std::streambuf {
 public:
  explicit FdOutputBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  ~FdOutputBuffer() override { Drain(); }
  FdOutputBuffer(const FdOutputBuffer&) = delete;
  FdOutputBuffer& operator=(const FdOutputBuffer&) = delete;

  /// The errno of the first failed write; 0 while every write succeeded.
  int Error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

 private:
  // Writes `size` bytes at `data`; false (the error kept) when it cannot.
  bool WriteAll(const char* data, size_t size);
  // Writes what the buffer holds; 0, or -1 after an error.
  int Drain();

  int fd_;
  int error_ = 0;
  char buffer_[8192];
};

/// Makes a write to a pipe without a reader fail with EPIPE instead of
/// ending the process, so that a command whose output is cut off (`... |
/// head -1`) finishes its work and then tells. Programs the process starts
/// get SIGPIPE's usual action back (a caught signal is reset by exec).
void IgnoreBrokenPipes();

/// Writes `content` to the file `path` a user named for a command's output:
///  - a regular file, or none yet: atomically (WriteFileAtomically);
///  - a symbolic link: through it, to the file it leads to (by the same rules);
///  - a FIFO or a character device (/dev/null, a terminal): as a stream,
///    opened for writing without being created or truncated;
///  - a folder, a block device or a socket: refused.
/// Raises the file-system object's errors naming `path` with the reason.
void WriteOutputFile(const std::string& path, const std::string& content);

}  // namespace zt::wb
