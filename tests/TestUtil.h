// Helpers shared by the tests.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zt::test {

/// A fresh, empty folder for one test, below the system's temporary folder.
inline std::filesystem::path TempDir(const std::string& name) {
  static int counter = 0;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("zt_test_" + std::to_string(::getpid()) + "_" + name + "_" + std::to_string(++counter));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

/// Makes `locale` the user's locale, as the add-in reads it.
inline void SetLocale(const std::string& locale) {
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_MESSAGES");
  ::setenv("LANG", locale.c_str(), 1);
}

}  // namespace zt::test
