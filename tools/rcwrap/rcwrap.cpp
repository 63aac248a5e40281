// rc.exe: the resource compiler the add-in runs, on a machine without one of
// its own. It takes a resource-compiler call as the add-in makes it, turns it
// into an llvm-rc call (workbench/system/ResourceCompilerWrapper.h says how) and
// replaces itself with llvm-rc (exec, no shell), so that its exit status is
// llvm-rc's. Its own failures: 2 for a bad call, 127 when llvm-rc is
// missing, 126 when it cannot be run.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "support/Error.h"
#include "workbench/system/ResourceCompilerWrapper.h"
#include "workbench/text/Texts.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
  namespace wb = zt::wb;
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  const wb::LlvmRcCall call = wb::TranslateRcArguments(args, ec ? std::filesystem::path(".") : here);
  for (const std::string& warning : call.warnings) std::cerr << warning << '\n';
  if (call.help) {
    std::cout << wb::Text(wb::WB_RC_USAGE) << '\n';
    return 0;
  }
  if (!call.error.empty()) {
    std::cerr << call.error << '\n' << wb::Text(wb::WB_RC_USAGE) << '\n';
    return 2;
  }

  std::string llvmRc;
  try {
    llvmRc = wb::FindLlvmRc(Environment("ZTUNITTEST_LLVM_RC"), Environment("PATH"));
  } catch (const zt::ZtError& e) {
    std::cerr << e.Description() << '\n';
    return 127;
  }
  std::vector<std::string> arguments = call.arguments;
  arguments.insert(arguments.begin(), llvmRc);
  std::vector<char*> execArgs;
  for (std::string& argument : arguments) execArgs.push_back(argument.data());
  execArgs.push_back(nullptr);
  std::cerr.flush();
  ::execv(llvmRc.c_str(), execArgs.data());
  const int failure = errno;
  std::cerr << wb::Text(wb::WB_RC_EXEC_FAILED, {llvmRc, std::strerror(failure)}) << '\n';
  return 126;
}
