// The file-system object: how the add-in reads templates, writes the few
// files it writes itself, and splits and tests paths. Paths are written with
// "\" (the add-in builds them that way); an implementation accepts "/" as
// well and maps them to its own disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zt {

/// A text file open for reading or for writing, line by line.
class TextStream {
 public:
  virtual ~TextStream() = default;
  virtual bool AtEndOfStream() = 0;
  /// The 1-based number of the line that the next ReadLine returns.
  virtual int32_t Line() = 0;
  /// The next line, without its terminator (LF or CR LF).
  virtual std::string ReadLine() = 0;
  /// ReadLine into `line`, whose buffer a stream may reuse.
  virtual void ReadLineInto(std::string& line) { line = ReadLine(); }
  virtual void SkipLine() = 0;
  /// Writes `text` and a CR LF.
  virtual void WriteLine(const std::string& text) = 0;
  /// Completes the file; for a written file, nothing is visible before this.
  virtual void Close() = 0;
};

class FileSystemObject {
 public:
  virtual ~FileSystemObject() = default;

  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  /// Deletes a file; a read-only file is deleted only with `force`.
  /// Raises error 53 when there is no such file, 70 when it may not be deleted.
  virtual void DeleteFile(const std::string& path, bool force) = 0;
  /// Opens an existing file for reading; raises error 53 when there is none.
  virtual std::unique_ptr<TextStream> OpenTextFile(const std::string& path) = 0;
  /// Creates a file for writing (single-byte text); raises error 58 when it
  /// exists and `overwrite` is false.
  virtual std::unique_ptr<TextStream> CreateTextFile(const std::string& path, bool overwrite) = 0;
  /// The native path of `path`, for handing to another program.
  virtual std::string NativePath(const std::string& path) = 0;

  // Path splitting, the same for every file system: "\" and "/" both separate.
  /// "C:\a\b.txt" gives "b".
  static std::string GetBaseName(const std::string& path);
  /// "C:\a\b.txt" gives "txt".
  static std::string GetExtensionName(const std::string& path);
  /// "C:\a\b.txt" gives "b.txt".
  static std::string GetFileName(const std::string& path);
  /// "C:\a\b.txt" gives "C:\a".
  static std::string GetParentFolderName(const std::string& path);
};

}  // namespace zt
