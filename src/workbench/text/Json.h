// A small JSON reader and writer for the workbench's documents.
//
// Unlike a general JSON library it keeps, for every value and every member
// name, the line and column where it starts, and it keeps the members of an
// object in document order (repeated names included: the caller decides
// about them). The reader accepts exactly RFC 8259 JSON in UTF-8 (a leading
// byte-order mark is skipped), refuses "\u0000", limits nesting depth, and
// reports the first fault as a ParseError with its position. It never reads
// past the text it is given, whatever that holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zt::wb::json {

/// Where something starts in a document: 1-based line and column. Columns
/// count characters, not bytes; a tab is one column. Line 0 means unknown.
struct Position {
  int line = 0;
  int column = 0;
};

enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };

/// One value of a parsed document and everything below it.
struct Value {
  Type type = Type::kNull;
  Position position;
  bool boolean = false;
  /// A string's contents (UTF-8), or a number's literal text as written.
  std::string text;
  /// An array's elements, or an object's member values in document order.
  std::vector<Value> items;
  /// An object's member names, one for each of `items`.
  std::vector<std::string> keys;
  /// Where each member name of an object starts.
  std::vector<Position> keyPositions;

  /// The value of the first member named `key`, or nullptr (objects only).
  const Value* Find(std::string_view key) const;

  // Building documents to write (Format keeps the order members are added in).
  static Value String(std::string text);
  static Value Number(int64_t number);
  static Value Bool(bool value);
  static Value Null() { return Value(); }
  static Value Object();
  static Value Array();
  /// Appends the member `key` (an object) and returns this object.
  Value& Add(std::string key, Value member);
  /// Appends `item` (an array) and returns this array.
  Value& Push(Value item);
};

/// The deepest nesting of arrays and objects the reader accepts.
inline constexpr int kMaxDepth = 200;

/// A document that is not JSON: where, and what was wrong there.
class ParseError : public std::exception {
 public:
  ParseError(Position where, std::string message);

  Position Where() const { return where_; }
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  Position where_;
  std::string message_;
};

/// Parses one JSON document; throws ParseError on the first fault.
Value Parse(std::string_view text);

/// Parse for a text whose strings are values, not names: "\u0000" is read as
/// the NUL character, for the caller to refuse with its own reason.
Value ParseKeepingNul(std::string_view text);

/// Checks `text` as Parse does (same faults, same ParseError) without
/// building the document: only an outermost object's member names and the
/// positions of names and values are kept (its `items` hold no contents).
Value Check(std::string_view text);

/// Reads up to `size` bytes of a document into `buffer`; 0 at its end. May
/// throw, which ends the reading.
using ReadFunction = std::function<size_t(char* buffer, size_t size)>;

/// Check over a document read piece by piece from `read`, which holds only
/// about one piece of it in memory at a time.
Value Check(ReadFunction read);

namespace detail {
class Parser;
}

/// Reads a document that Check has accepted piece by piece, so that only the
/// piece being read is held in memory. Objects and arrays are entered and
/// walked member by member or item by item; any value can be read whole.
/// Each member or item must be read or entered before the next one.
class Reader {
 public:
  explicit Reader(std::string_view text);
  /// Reads the document from `read`, holding about one piece of it at a time.
  explicit Reader(ReadFunction read);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  /// Where the next value starts, and its type.
  Position Here();
  Type NextType();
  /// The next value, whole.
  Value Read();
  /// Steps into the next value, an object or an array.
  void Enter();
  /// The next member of the object entered last: its name and where that
  /// starts. `first` starts true for each object. False past the object's end.
  bool NextMember(bool& first, std::string& key, Position& keyPosition);
  /// Whether the array entered last has a next item, and steps to it.
  bool NextItem(bool& first);

 private:
  std::unique_ptr<detail::Parser> parser_;
};

/// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

/// The offset of the first byte of `text` that is not part of well-formed
/// UTF-8, or std::string_view::npos.
size_t FirstInvalidUtf8(std::string_view text);

/// `text` with each piece that is not UTF-8 replaced by U+FFFD: a byte that
/// starts no character, or a character cut short (its bytes so far) as one.
std::string WithInvalidUtf8Replaced(std::string_view text);

/// Appends the UTF-8 form of the code point `cp` (at most U+10FFFF) to `out`.
void AppendUtf8(std::string& out, uint32_t cp);

/// `text` as a JSON string literal: quoted, with '"', '\' and control
/// characters escaped; other characters are kept as they are.
std::string Quote(std::string_view text);

/// `text` with its control characters written as escapes ("\n", "\u0001"),
/// everything else as it is: text that stays on one line when shown.
std::string EscapeControls(std::string_view text);

/// `value` as a document: object members one per line, two-space indents,
/// arrays of scalars on one line, other arrays one element per line; ends
/// with a line feed. Member order is kept.
std::string Format(const Value& value);

/// The user-visible word for a value's type ("a string", "an array", ...).
std::string DescribeType(Type type);

}  // namespace zt::wb::json
