// Turns a resource-compiler call into an llvm-rc call (see ResourceCompilerWrapper.h).
#include "workbench/system/ResourceCompilerWrapper.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <sstream>

#include "support/Error.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 9> kFlags = {"v", "x", "n", "y", "r", "w", "nologo", "no-preprocess", "dry-run"};
// Longer names first, so that /ln is not taken for /l with the value "n...".
constexpr std::array<const char*, 7> kValueOptions = {"fo", "ln", "l", "i", "d", "u", "c"};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string ForwardSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool IsScript(const std::string& argument, const fs::path& currentFolder) {
  const std::string path = ForwardSlashes(argument);
  if (path.size() > 3 && Lower(path.substr(path.size() - 3)) == ".rc") return true;
  std::error_code ec;
  return fs::is_regular_file(currentFolder / path, ec);
}

bool IsOption(const std::string& argument) {
  return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
}

// The script as llvm-rc gets it: relative to the current folder.
std::string ScriptArgument(const std::string& script, const fs::path& currentFolder) {
  std::error_code ec;
  const fs::path relative = fs::relative(currentFolder / script, currentFolder, ec);
  if (ec || relative.empty()) return script;
  // A relative path never starts with "/"; one starting with "-" would be an option.
  return relative.string()[0] == '-' ? "./" + relative.string() : relative.string();
}

bool IsExecutableFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::string SearchPath(const std::string& name, const std::string& searchPath) {
  std::stringstream folders(searchPath);
  for (std::string folder; std::getline(folders, folder, ':');) {
    const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
    if (IsExecutableFile(candidate)) return candidate.string();
  }
  return {};
}

}  // namespace

LlvmRcCall TranslateRcArguments(const std::vector<std::string>& args, const fs::path& currentFolder) {
  LlvmRcCall call;
  std::vector<std::string> options;
  std::string script;
  bool outputGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    if (!IsOption(argument) || IsScript(argument, currentFolder)) {
      if (!script.empty()) {
        call.error = Text(WB_RC_TWO_INPUTS, {script, argument});
        return call;
      }
      script = ForwardSlashes(argument);
      continue;
    }
    const std::string name = Lower(argument.substr(1));
    if (name == "?" || name == "h") {
      call.help = true;
      continue;
    }
    if (std::find(kFlags.begin(), kFlags.end(), name) != kFlags.end()) {
      options.push_back("/" + name);
      continue;
    }
    const auto valued = std::find_if(kValueOptions.begin(), kValueOptions.end(),
                                     [&name](const char* option) { return name.rfind(option, 0) == 0; });
    if (valued == kValueOptions.end()) {
      call.warnings.push_back(Text(WB_RC_IGNORED_OPTION, {argument}));
      continue;
    }
    const std::string option = *valued;
    std::string value = name.size() > option.size() ? argument.substr(1 + option.size()) : std::string();
    if (name.size() == option.size()) {
      if (i + 1 >= args.size()) {
        call.error = Text(WB_RC_MISSING_VALUE, {argument});
        return call;
      }
      value = args[++i];
    }
    if (option == "fo" || option == "i") value = ForwardSlashes(value);
    if (option == "fo") outputGiven = true;
    options.push_back("/" + option);
    options.push_back(value);
  }
  if (call.help) return call;
  if (script.empty()) {
    call.error = Text(WB_RC_NO_INPUT);
    return call;
  }
  call.arguments = options;
  if (!outputGiven) {
    call.arguments.push_back("/fo");
    call.arguments.push_back(fs::path(script).replace_extension(".res").string());
  }
  call.arguments.push_back(ScriptArgument(script, currentFolder));
  return call;
}

std::string FindLlvmRc(const std::string& chosen, const std::string& searchPath) {
  if (!chosen.empty()) {
    const std::string found = chosen.find('/') == std::string::npos ? SearchPath(chosen, searchPath)
                              : IsExecutableFile(chosen)             ? chosen
                                                                     : std::string();
    if (found.empty()) RaiseError(errc::kFileNotFound, {}, Text(WB_RC_BAD_LLVM_RC, {chosen}));
    return found;
  }
  for (const char* name : {"llvm-rc", "llvm-rc-14"}) {
    const std::string found = SearchPath(name, searchPath);
    if (!found.empty()) return found;
  }
  RaiseError(errc::kFileNotFound, {}, Text(WB_RC_NO_LLVM_RC));
}

}  // namespace zt::wb
