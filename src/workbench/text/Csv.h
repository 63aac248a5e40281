// Comma-separated values as datapools are exported and edited: RFC 4180
// quoting, lines ending in LF.
//
// Writing: a value is quoted when it holds a comma, a quote, a carriage
// return or a line feed, begins with a UTF-8 byte order mark (which the
// reader drops at the start of a file), or when it is the only value of its
// record and empty (so that the record is not a blank line); a quote inside a quoted
// value is doubled. Bytes pass through as they are (UTF-8 stays UTF-8).
//
// Reading: records end in LF or CR LF outside quotes (a CR that ends the
// text ends its last record); a quoted value may hold
// commas, doubled quotes and line ends. Blank lines are skipped, a UTF-8 byte
// order mark at the start is dropped, and text that is not UTF-8 is refused.
// A quote inside an unquoted value, text after a closing quote and a quoted
// value that is never closed are faults, reported with their line number.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zt::wb {

/// One record read from CSV text.
struct CsvRecord {
  /// The line on which the record starts (1-based).
  size_t line = 0;
  /// Its values, in order.
  std::vector<std::string> values;
};

/// `values` as one CSV record, without its line end.
std::string CsvLine(const std::vector<std::string>& values);

/// Reads `text` into `records`; on a fault returns false with a description
/// of it (naming its line) in `error`, and `records` is unspecified.
bool ParseCsv(const std::string& text, std::vector<CsvRecord>& records, std::string& error);

/// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& text);

}  // namespace zt::wb
