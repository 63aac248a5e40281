// Helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include "support/Error.h"

namespace zt::test {

/// A fresh, empty folder for one test, below the system's temporary folder;
/// removed with everything in it (also what a test made read-only) when the
/// object goes.
class TempDir : public std::filesystem::path {
 public:
  explicit TempDir(const std::string& name)
      : std::filesystem::path(std::filesystem::temp_directory_path() / ("zt_test_" + std::to_string(::getpid()) + "_" +
                                                                        name + "_" + std::to_string(++Counter()))) {
    std::filesystem::remove_all(*this);
    std::filesystem::create_directories(*this);
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::permissions(*this, fs::perms::owner_all, fs::perm_options::add, error);
    for (fs::recursive_directory_iterator it(*this, error), end; !error && it != end; it.increment(error)) {
      if (it->is_directory(error) && !it->is_symlink(error))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(*this, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

 private:
  static int& Counter() {
    static int counter = 0;
    return counter;
  }
};

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

/// The first executable `name` on the PATH, or "".
inline std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::filesystem::path candidate = std::filesystem::path(dir.empty() ? "." : dir) / name;
    if (std::filesystem::is_regular_file(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

/// `text` as one word of the shell.
inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

/// Runs `command` in the shell; its exit status (-1 when it did not exit),
/// with its stdout and stderr in `output`.
inline int RunCommand(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Every file and folder below `dir`, with the files' bytes: two snapshots are
/// equal when nothing below `dir` was added, removed or changed.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string name = std::filesystem::relative(entry.path(), dir).string();
    tree[name] = entry.is_regular_file() && !entry.is_symlink() ? ReadAll(entry.path()) : std::string("<folder>");
  }
  return tree;
}

/// Names each test of a parameterized suite after its case's `name`.
struct CaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};

/// A text a reader must refuse, and where and why: the first fault's line
/// and column, and a part of its message.
struct BrokenText {
  const char* name;
  std::string text;
  int line;
  int column;
  const char* message;
};

/// Runs `call`, which must raise an E, and returns it; when it raises
/// nothing, the test fails there.
template <class E = ZtError, class F>
E Raised(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e;
  }
  throw std::logic_error("nothing was raised");
}

/// The number of the ZtError `call` raises; 0 when it raises none.
template <class F>
int32_t ErrorNumberOf(F&& call, std::string* description = nullptr) {
  try {
    call();
  } catch (const ZtError& e) {
    if (description != nullptr) *description = e.Description();
    return e.Number();
  }
  return 0;
}

/// Sets (nullopt: unsets) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) { value ? ::setenv(name_, value->c_str(), 1) : ::unsetenv(name_); }
  const char* name_;
  std::optional<std::string> old_;
};

/// Makes `locale` the user's locale, as the add-in reads it.
inline void SetLocale(const std::string& locale) {
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_MESSAGES");
  ::setenv("LANG", locale.c_str(), 1);
}

}  // namespace zt::test
