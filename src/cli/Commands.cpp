#include "cli/Commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <utility>

#include "support/Error.h"
#include "workbench/system/Outputs.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

// Every group of subcommands, in the order --help lists them.
constexpr Registrar kCommands[] = {
    RegisterModelCommands,  RegisterRunCommands,   RegisterJavaCommands, RegisterDatapoolCommands,
    RegisterOptionsCommand, RegisterStoreCommands, RegisterTextCommand,
};

// How many edits (a character inserted, removed, changed, or two swapped)
// make `a` into `b`.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::optional<std::string> Nearest(const std::string& word, const std::vector<std::string>& candidates) {
  std::optional<std::string> best;
  size_t bestDistance = 0;
  for (const std::string& candidate : candidates) {
    // A beginning of one name only is that name.
    const size_t distance = candidate.rfind(word, 0) == 0 && word.size() >= 3 ? 1 : EditDistance(word, candidate);
    if (!best || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  // At most two edits, and fewer than the word has characters.
  if (!best || bestDistance > 2 || bestDistance >= word.size()) return std::nullopt;
  return best;
}

namespace {

// The names of the subcommands of `command`.
std::vector<std::string> SubcommandNames(CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::App* sub : command.get_subcommands([](CLI::App*) { return true; })) names.push_back(sub->get_name());
  return names;
}

// `command` as the user writes it: "ztunittest datapool list".
std::string CommandPath(const CLI::App* command) {
  std::string path;
  for (; command != nullptr; command = command->get_parent()) {
    path.insert(0, (command->get_parent() == nullptr ? command->get_name() : " " + command->get_name()));
  }
  return path;
}

// `message` with the suggestion of `nearest`, when there is one.
std::string WithSuggestion(std::string message, const std::optional<std::string>& nearest) {
  if (nearest) message += wb::Text(wb::WB_CLI_DID_YOU_MEAN, {*nearest});
  return message;
}

}  // namespace

void CheckWords(CLI::App& app, const std::vector<std::string>& args) {
  CLI::App* current = &app;
  bool value = false;  // the word is the value of the option before it
  for (const std::string& arg : args) {
    if (std::exchange(value, false)) continue;
    if (arg == "--") return;
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      const std::string name = arg.substr(0, arg.find('='));
      const CLI::Option* known = nullptr;
      std::vector<std::string> names;
      for (const CLI::App* command = current; command != nullptr && known == nullptr; command = command->get_parent()) {
        for (const CLI::Option* option : command->get_options()) {
          for (const std::string& lname : option->get_lnames()) {
            if ("--" + lname == name) known = option;
            names.push_back("--" + lname);
          }
        }
      }
      if (known == nullptr) {
        Fail(kExitUsage,
             WithSuggestion(wb::Text(wb::WB_CLI_UNKNOWN_OPTION, {name, CommandPath(current)}), Nearest(name, names)) +
                 "\n" + wb::Text(wb::WB_CLI_MORE_HELP, {CommandPath(current)}));
      }
      value = known->get_type_size_max() > 0 && name.size() == arg.size();
      continue;
    }
    if (!arg.empty() && arg[0] == '-') continue;
    // A word: where the command has subcommands, it names one of them.
    const std::vector<std::string> names = SubcommandNames(*current);
    if (names.empty()) continue;
    const auto found = std::find(names.begin(), names.end(), arg);
    if (found == names.end()) {
      Fail(kExitUsage,
           WithSuggestion(wb::Text(wb::WB_CLI_UNKNOWN_COMMAND, {arg, CommandPath(current)}), Nearest(arg, names)) +
               "\n" + wb::Text(wb::WB_CLI_MORE_HELP, {CommandPath(current)}));
    }
    current = current->get_subcommand(arg);
  }
}

std::string ParseFailure(CLI::App& app, const CLI::ParseError& error) {
  // The command the parse came to.
  CLI::App* command = &app;
  for (std::vector<CLI::App*> parsed = app.get_subcommands(); !parsed.empty(); parsed = command->get_subcommands()) {
    command = parsed.front();
  }
  const std::string path = CommandPath(command);
  std::string message;
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    if (!SubcommandNames(*command).empty() && command->get_subcommands().empty()) {
      std::string names;
      for (const std::string& name : SubcommandNames(*command)) {
        names += (names.empty() ? "" : wb::Text(wb::WB_CLI_NAME_SEPARATOR)) + name;
      }
      message = wb::Text(wb::WB_CLI_COMMAND_REQUIRED, {path, names});
    } else {
      for (const CLI::Option* option : command->get_options()) {
        if (option->get_required() && option->count() == 0) {
          // A positional argument by its placeholder (MODEL), an option by its name.
          std::string name = option->get_name(false, true);
          if (!option->nonpositional()) {
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
          }
          message = wb::Text(wb::WB_CLI_REQUIRED, {path, name});
          break;
        }
      }
    }
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    // The words left over, as the parser lists them after its colon.
    const std::string what = error.what();
    const size_t colon = what.rfind(": ");
    if (colon != std::string::npos) message = wb::Text(wb::WB_CLI_UNEXPECTED, {path, what.substr(colon + 2)});
  }
  // Any other fault of a value: the parser's own words.
  if (message.empty()) message = error.what();
  return message + "\n" + wb::Text(wb::WB_CLI_MORE_HELP, {path});
}

void Fail(int status, const std::string& message) { throw CommandFailure(status, message); }

std::string CommandUser() {
  for (const char* variable : {"ZTUNITTEST_USER", "USER"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    if (const std::optional<std::string> fault = UserNameFault(value, std::string("$") + variable)) {
      Fail(kExitUsage, *fault);
    }
    return value;
  }
  return wb::Text(wb::WB_CMD_USER);
}

std::optional<std::string> UserNameFault(const std::string& name, const std::string& source) {
  for (size_t i = 0; i < name.size(); ++i) {
    // C0 and DEL, and C1 in UTF-8 (0xC2 0x80 to 0xC2 0x9F).
    unsigned int code = static_cast<unsigned char>(name[i]);
    const unsigned int next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    if (code == 0xC2 && next >= 0x80 && next <= 0x9F) {
      code = next;
    } else if (code >= 0x20 && code != 0x7F) {
      continue;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "%04X", code);
    return wb::Text(wb::WB_CMD_USER_CONTROL, {source, wb::json::Quote(name), hex});
  }
  return std::nullopt;
}

void PrintError(const std::string& message) {
  // Written at once: one system call a line, and the line whole where other
  // processes share the stream.
  std::cerr << wb::Text(wb::WB_ERROR_PREFIX) + message + '\n';
}

int Run(int argc, char** argv) {
  CLI::App app{wb::Text(wb::WB_APP_DESCRIPTION), "ztunittest"};
  // The help in the user's language: the parser's labels and groups, set
  // before the subcommands, which take them over.
  auto format = std::make_shared<CLI::Formatter>();
  const std::pair<const char*, int16_t> labels[] = {
      {"Usage", wb::WB_CLI_LABEL_USAGE},       {"OPTIONS", wb::WB_CLI_LABEL_OPTIONS},
      {"SUBCOMMAND", wb::WB_CLI_LABEL_COMMAND}, {"SUBCOMMANDS", wb::WB_CLI_LABEL_COMMANDS},
      {"REQUIRED", wb::WB_CLI_LABEL_REQUIRED},  {"Positionals", wb::WB_CLI_LABEL_POSITIONALS},
  };
  for (const auto& [label, id] : labels) format->label(label, wb::Text(id));
  app.formatter(format);
  app.option_defaults()->group(wb::Text(wb::WB_CLI_GROUP_OPTIONS));
  app.group(wb::Text(wb::WB_CLI_GROUP_COMMANDS));
  app.set_help_flag("-h,--help", wb::Text(wb::WB_CLI_HELP_FLAG));
  app.set_version_flag("--version", wb::Text(wb::WB_VERSION, {ZT_VERSION}), wb::Text(wb::WB_HELP_VERSION));
  app.require_subcommand(1);

  Action chosen;
  for (Registrar registrar : kCommands) registrar(app, chosen);
  // A subcommand's help flag is made before it takes the groups over.
  const std::function<void(CLI::App&)> regroup = [&](CLI::App& command) {
    for (CLI::App* sub : command.get_subcommands([](CLI::App*) { return true; })) {
      if (CLI::Option* help = sub->get_help_ptr()) help->group(wb::Text(wb::WB_CLI_GROUP_OPTIONS));
      regroup(*sub);
    }
  };
  regroup(app);
  // After the subcommands, which would take it over.
  app.footer(wb::Text(wb::WB_HELP_FOOTER));

  try {
    // Commands and options are checked first, so that a mistyped one is
    // named (with what it may have meant) rather than misread.
    CheckWords(app, std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      // --help and --version end the parse too, successfully.
      if (e.get_exit_code() == 0) return app.exit(e);
      Fail(kExitUsage, ParseFailure(app, e));
    }
    if (!chosen) return kExitUsage;
    return chosen();
  } catch (const CommandFailure& e) {
    PrintError(e.what());
    return e.Status();
  } catch (const ZtError& e) {
    PrintError(e.Description());
    return kExitFailed;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kExitFailed;
  }
}

int RunWithCheckedOutput(int argc, char** argv) {
  wb::IgnoreBrokenPipes();
  // Standard output through a buffer that keeps its first write error.
  wb::FdOutputBuffer buffer(STDOUT_FILENO);
  std::streambuf* const previous = std::cout.rdbuf(&buffer);
  int status = Run(argc, argv);
  std::cout.flush();
  std::cout.rdbuf(previous);
  if (buffer.Error() != 0) {
    PrintError(wb::Text(wb::WB_OUT_STDOUT_FAILED, {std::strerror(buffer.Error())}));
    if (status == kExitOk) status = kExitFailed;
  }
  return status;
}

}  // namespace zt::cli
