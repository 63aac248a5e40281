// The editor launch (see Editor.h): posix_spawnp and waitpid, no shell.
#include "workbench/terminal/Editor.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "support/Text.h"
#include "workbench/text/Texts.h"

extern char** environ;

namespace zt::wb {

std::optional<std::vector<std::string>> EditorCommand() {
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr) continue;
    std::vector<std::string> words = SplitSkippingEmpty(value, " \t");
    if (!words.empty()) return words;
  }
  return std::nullopt;
}

EditorOutcome RunEditor(const std::vector<std::string>& command, const std::string& file) {
  EditorOutcome outcome;
  std::vector<std::string> words = command;
  words.push_back(file);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (::isatty(STDOUT_FILENO) == 0 && ::isatty(STDERR_FILENO) != 0) {
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  }
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    outcome.problem = std::strerror(rc);
    return outcome;
  }
  outcome.started = true;

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      outcome.problem = std::strerror(errno);
      return outcome;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    outcome.succeeded = true;
  } else if (WIFEXITED(status)) {
    outcome.problem = Text(WB_EDITOR_EXIT_STATUS, {std::to_string(WEXITSTATUS(status))});
  } else {
    outcome.problem = Text(WB_EDITOR_SIGNAL, {std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0)});
  }
  return outcome;
}

}  // namespace zt::wb
