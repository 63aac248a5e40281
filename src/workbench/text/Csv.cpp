// The CSV writer and reader of datapools (see Csv.h).
#include "workbench/text/Csv.h"

#include <algorithm>
#include <cstdint>

#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

// A value that begins with a byte order mark is quoted too: at the start of
// a file the reader would take the mark for the file's and drop it.
bool NeedsQuotes(const std::string& value) {
  return value.find_first_of(",\"\r\n") != std::string::npos || value.rfind(kByteOrderMark, 0) == 0;
}

std::string Quoted(const std::string& value) {
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string CsvLine(const std::vector<std::string>& values) {
  std::string line;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) line += ',';
    const bool lone = values.size() == 1 && values[i].empty();
    line += lone || NeedsQuotes(values[i]) ? Quoted(values[i]) : values[i];
  }
  return line;
}

bool IsUtf8(const std::string& text) { return json::IsValidUtf8(text); }

bool ParseCsv(const std::string& input, std::vector<CsvRecord>& records, std::string& error) {
  records.clear();
  if (const size_t bad = json::FirstInvalidUtf8(input); bad != std::string::npos) {
    const auto lineEnds = std::count(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(bad), '\n');
    error = Text(WB_CSV_NOT_UTF8, {std::to_string(lineEnds + 1)});
    return false;
  }
  const std::string text = input.rfind(kByteOrderMark, 0) == 0 ? input.substr(3) : input;

  size_t line = 1;
  CsvRecord record{line, {}};
  std::string value;
  bool quoted = false;     // inside a quoted value
  bool wasQuoted = false;  // the current value was quoted and is closed
  size_t quoteLine = 0;
  auto endValue = [&] {
    record.values.push_back(std::move(value));
    value.clear();
    wasQuoted = false;
  };
  auto endRecord = [&] {
    const bool blank = record.values.empty() && value.empty() && !wasQuoted;
    if (!blank) {
      endValue();
      records.push_back(std::move(record));
    }
    record = CsvRecord{line, {}};
  };

  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        value += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
        wasQuoted = true;
      } else {
        if (c == '\n') ++line;
        value += c;
      }
      continue;
    }
    // CR LF ends a record, and so does a CR that ends the text (its LF cut
    // off): it is no part of the last value.
    if (c == '\r' && (i + 1 == text.size() || text[i + 1] == '\n')) continue;
    if (c == '\n') {
      ++line;
      endRecord();
    } else if (c == ',') {
      endValue();
    } else if (wasQuoted) {
      error = Text(WB_CSV_TEXT_AFTER_QUOTE, {std::to_string(line)});
      return false;
    } else if (c == '"') {
      if (!value.empty()) {
        error = Text(WB_CSV_STRAY_QUOTE, {std::to_string(line)});
        return false;
      }
      quoted = true;
      quoteLine = line;
    } else {
      value += c;
    }
  }
  if (quoted) {
    error = Text(WB_CSV_UNCLOSED_QUOTE, {std::to_string(quoteLine)});
    return false;
  }
  endRecord();
  return true;
}

}  // namespace zt::wb
