// The command-line host's subcommands. Each group of subcommands lives in a
// file of its own and registers itself in the table of Commands.cpp: it adds
// its subcommands and options to the parser, and when one of them is parsed
// it stores the action to run in `chosen`.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

namespace zt::cli {

/// Exit statuses of the command-line host.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

/// What the parsed command line asks for; returns the exit status.
using Action = std::function<int()>;

/// Adds a group of subcommands to `app`; a parsed subcommand sets `chosen`.
using Registrar = void (*)(CLI::App& app, Action& chosen);

void RegisterTextCommand(CLI::App& app, Action& chosen);
void RegisterModelCommands(CLI::App& app, Action& chosen);
void RegisterRunCommands(CLI::App& app, Action& chosen);
void RegisterJavaCommands(CLI::App& app, Action& chosen);
void RegisterDatapoolCommands(CLI::App& app, Action& chosen);
void RegisterOptionsCommand(CLI::App& app, Action& chosen);
void RegisterStoreCommands(CLI::App& app, Action& chosen);
/// Adds `store prune` to the `store` group (StorePrune.cpp).
void AddPruneCommand(CLI::App& store, Action& chosen);

/// How a command fails anywhere in its code: raised, it ends the command
/// with `status` after the message on stderr (PrintError). The command
/// line's one way to fail; the workbench's errors (ZtError) end a command
/// with status 1.
class CommandFailure : public std::exception {
 public:
  CommandFailure(int status, std::string message) : status_(status), message_(std::move(message)) {}
  int Status() const { return status_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  int status_;
  std::string message_;
};

/// Raises CommandFailure.
[[noreturn]] void Fail(int status, const std::string& message);

/// The user a command that writes to the store without running the add-in
/// records: $ZTUNITTEST_USER, else $USER, else "ztunittest". It never asks;
/// raises CommandFailure (2) for a name that cannot be one.
std::string CommandUser();

/// Why `name`, a user name that `source` gives ("--user",
/// "$ZTUNITTEST_USER", ...), cannot be one: it holds a control character (a
/// line break, a tab, ...), which would break the lines that show it; nullopt
/// when it can.
std::optional<std::string> UserNameFault(const std::string& name, const std::string& source);

/// The runtime jar beside the program (bin/../share/ztunittest/java/).
/// Raises ZtError 53 when it is not there.
std::string RuntimeJarPath();

/// The class path of the compiled classes behind a model: `given`
/// (--classpath) when it is set, else $ZTUNITTEST_CLASSPATH, else `stored`
/// (the store's tool option); "" when none gives one. Relative folders and
/// jars are made absolute; raises CommandFailure (2) for an entry that is
/// not there.
std::string CompiledClassPath(const std::optional<std::string>& given, const std::string& stored = {});

/// Writes "ztunittest: " and `message` to stderr.
void PrintError(const std::string& message);

/// The one of `candidates` that `word` was most likely meant to be (at most
/// two edits away, or a beginning of it); nullopt when none is near.
std::optional<std::string> Nearest(const std::string& word, const std::vector<std::string>& candidates);

/// Checks the words of a command line (`args`, without the program's name)
/// against the commands of `app` before it parses them: a word where a
/// command is due names one, an option `--NAME` is one of its command.
/// Raises CommandFailure (2) naming the first that is not, with the one it
/// may have meant.
void CheckWords(CLI::App& app, const std::vector<std::string>& args);

/// The message for a parse that failed with `error`, in the user's language
/// where it is the command line's own (a command or an option that is
/// required, arguments left over), and the hint to --help.
std::string ParseFailure(CLI::App& app, const CLI::ParseError& error);

/// Parses the command line and runs the chosen subcommand.
int Run(int argc, char** argv);

/// Run, with standard output checked: output that could not be written (a
/// full disk, a pipe whose reader has gone; the command still finishes its
/// work) is told once on stderr, and a status of success becomes a failure.
int RunWithCheckedOutput(int argc, char** argv);

}  // namespace zt::cli
