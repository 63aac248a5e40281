// Small text operations shared by the whole add-in. All of them are exact
// and case-sensitive.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace zt {

/// Replaces every occurrence of `what` in `text` by `with`, left to right;
/// inserted text is not searched again. An empty `what` changes nothing.
inline void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
  if (what.empty()) return;
  size_t pos = 0;
  while ((pos = text.find(what, pos)) != std::string::npos) {
    text.replace(pos, what.size(), with);
    pos += with.size();
  }
}

/// `text` with `what` replaced by `with` everywhere.
inline std::string Replaced(std::string text, std::string_view what, std::string_view with) {
  ReplaceAll(text, what, with);
  return text;
}

/// The first `n` characters of `text` (all of it when shorter).
inline std::string Left(std::string_view text, size_t n) { return std::string(text.substr(0, n)); }

/// True when `text` begins with `prefix`.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

/// `text` without the leading and trailing characters that are among `chars`.
inline std::string TrimChars(std::string_view text, std::string_view chars) {
  const size_t first = text.find_first_not_of(chars);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(chars);
  return std::string(text.substr(first, last - first + 1));
}

/// The non-empty pieces of `text` between the characters of `separators`.
inline std::vector<std::string> SplitSkippingEmpty(std::string_view text, std::string_view separators) {
  std::vector<std::string> pieces;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find_first_of(separators, start), text.size());
    if (end > start) pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

/// `pieces` with `separator` between each two.
inline std::string Joined(const std::vector<std::string>& pieces, std::string_view separator) {
  std::string joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += separator;
    joined += pieces[i];
  }
  return joined;
}

inline std::string Joined(const std::vector<std::string>& pieces, char separator) {
  return Joined(pieces, std::string_view(&separator, 1));
}

/// `text` without leading and trailing blanks (spaces only).
inline std::string TrimBlanks(std::string_view text) { return TrimChars(text, " "); }

/// `text` without leading and trailing spaces and tabs.
inline std::string Trimmed(std::string_view text) { return TrimChars(text, " \t"); }

/// Whether `a` and `b` are equal but for the letter case of ASCII letters.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace zt
