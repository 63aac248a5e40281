// A console for tests: answers come from a queue given in advance (end of
// input once it is empty), and everything written is kept for inspection.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "workbench/terminal/Console.h"

namespace zt::test {

class ScriptedConsole : public wb::Console {
 public:
  /// A console that will answer `answers` in order, then report end of input.
  explicit ScriptedConsole(std::vector<std::string> answers = {});

  /// Queues one more answer line.
  void Answer(std::string line) { answers_.push_back(std::move(line)); }

  std::optional<std::string> ReadLine() override;
  void Write(const std::string& text) override { output_ += text; }

  /// Everything written so far.
  const std::string& Output() const { return output_; }
  /// Forgets what was written so far.
  void ClearOutput() { output_.clear(); }
  /// How many lines were asked for, end of input included.
  int Reads() const { return reads_; }
  /// How many queued answers were not read.
  size_t Unread() const { return answers_.size(); }

 private:
  std::deque<std::string> answers_;
  std::string output_;
  int reads_ = 0;
};

}  // namespace zt::test
