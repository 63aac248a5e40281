// The rc.exe wrapper's logic: how a resource-compiler call as the add-in
// makes it becomes a call of llvm-rc. The program itself (tools/rcwrap,
// installed as bin/rc.exe beside ztunittest) only adds the process around it.
//
// The add-in calls the compiler as
//     rc.exe [OPTIONS] "<store>/vb/unittests\Maths\Calc\ICalcAdd.rc"
// (OPTIONS is tool option 4), in the script's folder, and expects
// ICalcAdd.res beside the script and exit status 0 on success.
//
// Translation, argument by argument:
//  - An argument that ends in ".rc" (any letter case) or names an existing
//    file is the resource script, even when it starts with "/". Any other
//    argument that starts with "/" or "-" is an option; anything else is the
//    script too. Exactly one script is taken.
//  - In the script's path and in the values of /fo and /i, "\" becomes "/".
//  - Options are matched ignoring letter case, with "/" or "-":
//      flags     /v /x /n /y /r /w /nologo /no-preprocess /dry-run
//      values    /fo /i /d /u /l /ln /c — the value joined (/l0x409) or
//                as the next argument (/l 0x409)
//      help      /? /h
//    Each is handed to llvm-rc in its separate form ("/l", "0x409"), so that
//    a value is never taken for an option. llvm-rc takes /r, /w and /nologo
//    and ignores them. Any other option is left out, with a warning.
//  - llvm-rc writes its output beside the script by default; the wrapper
//    passes "/fo <script without its extension>.res" itself unless /fo is
//    given, so the output does not depend on that default.
//  - The script goes to llvm-rc as a path relative to the current folder: an
//    absolute path such as /usr/x.rc would be read by llvm-rc as the option
//    /u with the value sr/x.rc.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zt::wb {

/// What the wrapper does for one call.
struct LlvmRcCall {
  std::vector<std::string> arguments;  ///< llvm-rc's arguments, without the program
  std::vector<std::string> warnings;   ///< lines for standard error (options left out)
  std::string error;                   ///< a usage error: nothing is run
  bool help = false;                   ///< /? or /h: the usage is shown, nothing is run
};

/// Translates rc.exe's arguments `args` (without the program) into llvm-rc's;
/// relative paths are relative to `currentFolder`.
LlvmRcCall TranslateRcArguments(const std::vector<std::string>& args, const std::filesystem::path& currentFolder);

/// The llvm-rc to run: `chosen` (the value of $ZTUNITTEST_LLVM_RC) when it is
/// not empty, looked up on `searchPath` when it has no "/"; else "llvm-rc",
/// else "llvm-rc-14" on `searchPath` (the value of $PATH, folders separated
/// by ":", an empty one meaning the current folder). Raises error 53 saying
/// why when there is none.
std::string FindLlvmRc(const std::string& chosen, const std::string& searchPath);

}  // namespace zt::wb
