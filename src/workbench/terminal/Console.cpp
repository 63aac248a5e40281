// The terminal console and the question helpers (see Console.h). The
// helpers only borrow the console they talk through.
#include "workbench/terminal/Console.h"

#include <cstdio>
#include <iostream>
#include <utility>

#include "support/Text.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// ASCII case folding; bytes of other characters stay as they are.
std::string Folded(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The length of the UTF-8 character that begins at `text[pos]`.
size_t CharLength(const std::string& text, size_t pos) {
  size_t end = pos + 1;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return end - pos;
}

// Where the key of `label` begins (just after its "&"), or npos.
size_t KeyPos(const std::string& label) {
  const size_t amp = label.find('&');
  return amp == std::string::npos || amp + 1 >= label.size() ? std::string::npos : amp + 1;
}

std::string Key(const std::string& label) {
  const size_t pos = KeyPos(label);
  return pos == std::string::npos ? std::string() : label.substr(pos, CharLength(label, pos));
}

// "yes to &all" as shown: "yes to [a]ll".
std::string Shown(const std::string& label) {
  const size_t pos = KeyPos(label);
  if (pos == std::string::npos) return AnswerWord(label);
  const size_t length = CharLength(label, pos);
  return label.substr(0, pos - 1) + Text(WB_ASK_KEY_MARK, {label.substr(pos, length)}) + label.substr(pos + length);
}

// The answer that the word given in advance names; "all" and "none" fall
// back to "yes" and "no" when nothing is offered for all.
const Answer* PresetMatch(const Question& question, const std::string& word) {
  for (const std::string& wanted : {word, std::string(word == answer_word::kAll    ? answer_word::kYes
                                                      : word == answer_word::kNone ? answer_word::kNo
                                                                                   : "")}) {
    if (wanted.empty()) continue;
    for (const Answer& candidate : question.answers) {
      if (!candidate.word.empty() && candidate.word == wanted) return &candidate;
    }
  }
  return nullptr;
}

const Answer* Match(const Question& question, const std::string& line) {
  const std::string answer = Folded(Trimmed(line));
  if (answer.empty()) return nullptr;
  for (const Answer& candidate : question.answers) {
    if (answer == Folded(Key(candidate.label)) || answer == Folded(AnswerWord(candidate.label))) return &candidate;
  }
  return nullptr;
}

// The line end after an unanswered prompt, so that what follows starts afresh.
constexpr const char* kLineEnd = "\n";

}  // namespace

std::optional<std::string> TerminalConsole::ReadLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void Console::Tell(const std::string& message, const std::string& /*cause*/) { Write(message + kLineEnd); }

void TerminalConsole::Write(const std::string& text) {
  // What the log said before comes first: a question or a message is never
  // shown ahead of log lines still in standard output's buffer.
  std::cout.flush();
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::string AnswerWord(const std::string& label) {
  const size_t pos = KeyPos(label);
  return pos == std::string::npos ? label : label.substr(0, pos - 1) + label.substr(pos);
}

int Ask(Console& console, const Question& question) {
  std::string choices;
  for (const Answer& answer : question.answers) {
    if (!choices.empty()) choices += Text(WB_ASK_ANSWER_SEPARATOR);
    choices += Shown(answer.label);
  }
  const std::string prompt = Text(WB_ASK_PROMPT, {question.text, choices});
  const PresetAnswers* presets = console.Presets();
  if (!question.key.empty() && presets != nullptr) {
    if (const std::optional<std::string> word = presets->First(question.key)) {
      if (const Answer* answer = PresetMatch(question, *word)) {
        ShowPresetAnswer(console, prompt, *word);
        return answer->value;
      }
    }
  }
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    console.Write(prompt);
    const std::optional<std::string> line = console.ReadLine();
    if (!line) {
      console.Write(kLineEnd);
      return question.defaultValue;
    }
    if (const Answer* answer = Match(question, *line)) return answer->value;
    console.Write(Text(WB_ASK_UNKNOWN, {Trimmed(*line)}) + kLineEnd);
  }
  std::string taken = Text(WB_ASK_NO_ANSWER);
  for (const Answer& answer : question.answers) {
    if (answer.value == question.defaultValue) {
      taken = Text(WB_ASK_TAKING_DEFAULT, {AnswerWord(answer.label)});
      break;
    }
  }
  console.Write(taken + kLineEnd);
  return question.defaultValue;
}

void ShowPresetAnswer(Console& console, const std::string& prompt, const std::string& answer) {
  console.Write(prompt + answer + kLineEnd);
}

TextAnswer AskTextAnswer(Console& console, const TextQuestion& question) {
  // An answer given in advance is shown and taken as if typed at the first
  // attempt: the cancel word cancels, an empty one takes the default.
  const PresetAnswers* presets = console.Presets();
  const std::optional<std::string> preset =
      !question.key.empty() && presets != nullptr ? presets->First(question.key) : std::nullopt;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    std::optional<std::string> line;
    if (attempt == 0 && preset) {
      ShowPresetAnswer(console, question.prompt, *preset);
      line = preset;
    } else {
      console.Write(question.prompt);
      line = console.ReadLine();
    }
    if (!line) {
      console.Write(kLineEnd);
      return {std::nullopt, true};
    }
    std::string answer = Trimmed(*line);
    if (!question.cancelWord.empty() && Folded(answer) == Folded(question.cancelWord)) return {};
    if (!answer.empty()) return {std::move(answer)};
    if (!question.defaultText.empty()) return {question.defaultText};
    console.Write(Text(WB_ASK_ANSWER_NEEDED) + kLineEnd);
  }
  console.Write(Text(WB_ASK_NO_ANSWER) + kLineEnd);
  return {std::nullopt, true};
}

std::optional<std::string> AskText(Console& console, const TextQuestion& question) {
  return AskTextAnswer(console, question).text;
}

}  // namespace zt::wb
