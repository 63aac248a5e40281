// The CSV writer and reader of datapools (see Csv.h).
#include "workbench/text/Csv.h"

#include <cstdint>

#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

bool NeedsQuotes(const std::string& value) { return value.find_first_of(",\"\r\n") != std::string::npos; }

std::string Quoted(const std::string& value) {
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

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

bool IsUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) return false;
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    i += length;
  }
  return true;
}

bool ParseCsv(const std::string& input, std::vector<CsvRecord>& records, std::string& error) {
  records.clear();
  if (!IsUtf8(input)) {
    error = Text(WB_CSV_NOT_UTF8);
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
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
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
