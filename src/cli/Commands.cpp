#include "cli/Commands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

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

}  // namespace

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
  std::cerr << wb::Text(wb::WB_ERROR_PREFIX) << message << "\n";
}

int Run(int argc, char** argv) {
  CLI::App app{wb::Text(wb::WB_APP_DESCRIPTION), "ztunittest"};
  app.set_version_flag("--version", wb::Text(wb::WB_VERSION, {ZT_VERSION}), wb::Text(wb::WB_HELP_VERSION));
  app.require_subcommand(1);

  Action chosen;
  for (Registrar registrar : kCommands) registrar(app, chosen);
  // After the subcommands, which would take it over.
  app.footer(wb::Text(wb::WB_HELP_FOOTER));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kExitOk : kExitUsage;
  }
  if (!chosen) return kExitUsage;
  try {
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
