// ztunittest text ID [ARG...]: the text of a string id, formatted with the
// arguments, as the add-in would show it in the user's language.
#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "support/DynamicResources.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

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

void RegisterTextCommand(CLI::App& app, Action& chosen) {
  auto options = std::make_shared<TextOptions>();
  CLI::App* text = app.add_subcommand("text", wb::Text(wb::WB_HELP_TEXT));
  text->add_option("id", options->id, wb::Text(wb::WB_HELP_TEXT_ID))->required();
  text->add_option("args", options->args, wb::Text(wb::WB_HELP_TEXT_ARGS));
  text->callback([options, &chosen] { chosen = [options] { return RunText(*options); }; });
}

}  // namespace zt::cli
