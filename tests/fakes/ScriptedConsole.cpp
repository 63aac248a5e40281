// The scripted console of the tests (see ScriptedConsole.h).
#include "fakes/ScriptedConsole.h"

namespace zt::test {

ScriptedConsole::ScriptedConsole(std::vector<std::string> answers) : answers_(answers.begin(), answers.end()) {}

std::optional<std::string> ScriptedConsole::ReadLine() {
  ++reads_;
  if (answers_.empty()) return std::nullopt;
  std::string line = std::move(answers_.front());
  answers_.pop_front();
  return line;
}

}  // namespace zt::test
