#include "cli/Commands.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <string>
#include <vector>

#include "support/DynamicResources.h"
#include "support/Error.h"
#include "workbench/Texts.h"

namespace zt::cli {

namespace {

void PrintError(const std::string& message) {
  std::cerr << wb::Text(wb::WB_ERROR_PREFIX) << message << "\n";
}

struct TextOptions {
  std::string id;
  std::vector<std::string> args;
};

int RunText(const TextOptions& options) {
  int32_t id = 0;
  const char* first = options.id.data();
  const char* last = first + options.id.size();
  auto [end, ec] = std::from_chars(first, last, id);
  if (ec != std::errc() || end != last || id < -32768 || id > 32767) {
    PrintError(wb::Text(wb::WB_TEXT_NOT_AN_ID, {options.id}));
    return kExitUsage;
  }
  const std::string text = FormatResString(id, options.args);
  if (text.empty()) {
    PrintError(wb::Text(wb::WB_TEXT_NO_SUCH_ID, {options.id}));
    return kExitFailed;
  }
  std::cout << text << "\n";
  return kExitOk;
}

}  // namespace

int Run(int argc, char** argv) {
  CLI::App app{wb::Text(wb::WB_APP_DESCRIPTION), "ztunittest"};
  app.set_version_flag("--version", wb::Text(wb::WB_VERSION, {ZT_VERSION}), wb::Text(wb::WB_HELP_VERSION));
  app.require_subcommand(1);

  TextOptions textOptions;
  CLI::App* text = app.add_subcommand("text", wb::Text(wb::WB_HELP_TEXT));
  text->add_option("id", textOptions.id, wb::Text(wb::WB_HELP_TEXT_ID))->required();
  text->add_option("args", textOptions.args, wb::Text(wb::WB_HELP_TEXT_ARGS));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kExitOk : kExitUsage;
  }

  try {
    if (text->parsed()) return RunText(textOptions);
  } catch (const ZtError& e) {
    PrintError(e.Description());
    return kExitFailed;
  }
  return kExitUsage;
}

}  // namespace zt::cli
