// The JSON reader: recursive descent over the bytes of the document, one
// character of look-ahead, positions counted as it goes.
#include "workbench/text/Json.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "workbench/text/Texts.h"

namespace zt::wb::json {

namespace {

/// The length of the well-formed UTF-8 sequence at the start of `s`, or 0.
size_t Utf8Length(std::string_view s) {
  if (s.empty()) return 0;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const auto continuation = [&](size_t i) { return i < s.size() && (byte(i) & 0xC0) == 0x80; };
  const unsigned char c = byte(0);
  if (c < 0x80) return 1;
  if (c < 0xC2) return 0;  // a continuation byte, or an overlong two-byte form
  if (c < 0xE0) return continuation(1) ? 2 : 0;
  if (c < 0xF0) {
    if (!continuation(1) || !continuation(2)) return 0;
    if (c == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
    if (c == 0xED && byte(1) >= 0xA0) return 0;  // a surrogate
    return 3;
  }
  if (c < 0xF5) {
    if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
    if (c == 0xF0 && byte(1) < 0x90) return 0;   // overlong
    if (c == 0xF4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}


std::string Hex(uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, static_cast<unsigned>(value));
  return buffer;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsWordChar(unsigned char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

int HexDigit(unsigned char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

namespace detail {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  explicit Parser(ReadFunction read) : read_(std::move(read)) {
    Fill(3);
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  /// Takes "\u0000" in strings as the NUL character instead of refusing it.
  void KeepNul() { keepNul_ = true; }

  Value ParseDocument() {
    Value value = ParseValue(0);
    SkipSpace();
    if (!AtEnd()) Expected(Text(WB_JSON_WHAT_END));
    return value;
  }

  /// Checks the whole document as ParseDocument does, keeping only the
  /// member names of the outermost object.
  Value CheckDocument() {
    keep_ = false;
    return ParseDocument();
  }

  // Reading piece by piece, over a document CheckDocument has accepted.

  Position NextPosition() {
    SkipSpace();
    return Here();
  }

  Type NextType() {
    SkipSpace();
    const unsigned char c = Peek();
    if (c == '{') return Type::kObject;
    if (c == '[') return Type::kArray;
    if (c == '"') return Type::kString;
    if (c == 't' || c == 'f') return Type::kBool;
    if (c == 'n') return Type::kNull;
    return Type::kNumber;
  }

  Value ReadValue() { return ParseValue(0); }

  void Enter() {
    SkipSpace();
    Advance();  // { or [
  }

  bool NextMember(bool& first, std::string& key, Position& keyPosition) {
    if (!NextEntry(first, '}')) return false;
    keyPosition = Here();
    key = ParseString();
    SkipSpace();
    Advance();  // :
    return true;
  }

  bool NextItem(bool& first) { return NextEntry(first, ']'); }

 private:
  // Past the separator before the next member or item; false past the end.
  bool NextEntry(bool& first, char close) {
    SkipSpace();
    if (Peek() == static_cast<unsigned char>(close)) {
      Advance();
      return false;
    }
    if (!first) {
      Advance();  // ,
      SkipSpace();
    }
    first = false;
    return true;
  }

  bool AtEnd() const {
    if (pos_ >= text_.size()) Fill(1);
    return pos_ >= text_.size();
  }
  unsigned char Peek() const {
    if (pos_ >= text_.size()) Fill(1);
    return static_cast<unsigned char>(text_[pos_]);
  }

  // Reading from a function: makes `count` bytes from pos_ on available, or
  // as many as are left. Nothing else moves the text, so positions in it
  // stay valid (Drop moves them all alike).
  void Fill(size_t count) const {
    if (!read_) return;
    while (!ended_ && text_.size() - pos_ < count) {
      const size_t old = buffer_.size();
      buffer_.resize(old + kChunk);
      const size_t n = read_(buffer_.data() + old, kChunk);
      buffer_.resize(old + n);
      ended_ = n == 0;
      text_ = buffer_;
    }
  }

  // Forgets the text before pos_, at the start of a value, which looks at
  // nothing before it.
  void Drop() {
    if (!read_ || pos_ < kChunk) return;
    buffer_.erase(0, pos_);
    pos_ = 0;
    text_ = buffer_;
  }
  Position Here() const { return {line_, column_}; }

  void Advance() {
    const unsigned char c = Peek();
    ++pos_;
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column_;  // continuation bytes belong to the character before them
    }
  }

  // Steps over the bytes of the text at hand for which `plain` holds, one
  // column each (none may be a line end or part of a longer character);
  // where the run began.
  template <typename Plain>
  size_t TakeRun(Plain plain) {
    const size_t from = pos_;
    while (pos_ < text_.size() && plain(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    column_ += static_cast<int>(pos_ - from);
    return from;
  }

  void SkipSpace() {
    for (;;) {
      TakeRun([](unsigned char c) { return c == ' ' || c == '\t'; });
      if (AtEnd()) return;
      const unsigned char c = Peek();
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
      Advance();
    }
  }

  [[noreturn]] void Fail(Position where, std::string message) const { throw ParseError(where, std::move(message)); }

  /// One character, as an error message shows it.
  std::string DescribeChar(size_t at) const {
    Fill(at - pos_ + 4);
    const auto c = static_cast<unsigned char>(text_[at]);
    if (c < 0x20 || c == 0x7F) return Text(WB_JSON_CHAR_CODE, {Hex(c, 4)});
    const size_t length = Utf8Length(text_.substr(at));
    if (length == 0) return Text(WB_JSON_CHAR_BYTE, {Hex(c, 2)});
    return Text(WB_JSON_CHAR_QUOTED, {std::string(text_.substr(at, length))});
  }

  /// What stands at the current position: a word, a character, or the end.
  std::string Found() const {
    if (AtEnd()) return Text(WB_JSON_FOUND_END);
    if (!IsWordChar(Peek())) return DescribeChar(pos_);
    Fill(33);
    size_t end = pos_;
    while (end < text_.size() && end - pos_ < 32 && IsWordChar(static_cast<unsigned char>(text_[end]))) ++end;
    return Text(WB_JSON_CHAR_QUOTED, {std::string(text_.substr(pos_, end - pos_))});
  }

  [[noreturn]] void Expected(const std::string& what) const {
    Fail(Here(), Text(WB_JSON_EXPECTED, {what, Found()}));
  }

  Value ParseValue(int depth) {
    Drop();
    SkipSpace();
    if (AtEnd()) Expected(Text(WB_JSON_WHAT_VALUE));
    Value value;
    value.position = Here();
    const unsigned char c = Peek();
    if (c == '{') {
      ParseObject(value, depth + 1);
    } else if (c == '[') {
      ParseArray(value, depth + 1);
    } else if (c == '"') {
      value.type = Type::kString;
      value.text = ParseString();
    } else if (c == '-' || IsDigit(c)) {
      ParseNumber(value);
    } else if (IsWordChar(c)) {
      ParseLiteral(value);
    } else {
      Expected(Text(WB_JSON_WHAT_VALUE));
    }
    return value;
  }

  void ParseLiteral(Value& value) {
    size_t end = pos_;
    for (;; ++end) {
      Fill(end - pos_ + 1);
      if (end >= text_.size() || !IsWordChar(static_cast<unsigned char>(text_[end]))) break;
    }
    const std::string_view word = text_.substr(pos_, end - pos_);
    if (word == "true" || word == "false") {
      value.type = Type::kBool;
      value.boolean = word == "true";
    } else if (word == "null") {
      value.type = Type::kNull;
    } else {
      Expected(Text(WB_JSON_WHAT_VALUE));
    }
    while (pos_ < end) Advance();
  }

  void ParseNumber(Value& value) {
    const size_t start = pos_;
    const auto digits = [&] {
      if (AtEnd() || !IsDigit(Peek())) Fail(Here(), Text(WB_JSON_BAD_NUMBER, {Found()}));
      while (!AtEnd() && IsDigit(Peek())) Advance();
    };
    if (Peek() == '-') Advance();
    if (!AtEnd() && Peek() == '0') {
      Advance();
    } else {
      digits();
    }
    if (!AtEnd() && Peek() == '.') {
      Advance();
      digits();
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      Advance();
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) Advance();
      digits();
    }
    value.type = Type::kNumber;
    value.text = std::string(text_.substr(start, pos_ - start));
  }

  uint32_t ReadHex4(Position escape) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = AtEnd() ? -1 : HexDigit(Peek());
      if (digit < 0) Fail(escape, Text(WB_JSON_BAD_UNICODE_ESCAPE));
      value = value * 16 + static_cast<uint32_t>(digit);
      Advance();
    }
    return value;
  }

  void ParseEscape(Position start, std::string& out) {
    const Position escape = Here();
    Advance();  // the backslash
    if (AtEnd()) Fail(start, Text(WB_JSON_UNCLOSED_STRING));
    const unsigned char c = Peek();
    switch (c) {
      case '"': case '\\': case '/': out += static_cast<char>(c); break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        Advance();
        uint32_t cp = ReadHex4(escape);
        if (cp == 0 && !keepNul_) Fail(escape, Text(WB_JSON_NUL));
        if (cp >= 0xDC00 && cp <= 0xDFFF) Fail(escape, Text(WB_JSON_LONE_SURROGATE, {Hex(cp, 4)}));
        if (cp >= 0xD800 && cp <= 0xDBFF) {
          Fill(2);
          if (text_.substr(pos_, 2) != "\\u") Fail(escape, Text(WB_JSON_LONE_SURROGATE, {Hex(cp, 4)}));
          Advance();
          Advance();
          const uint32_t low = ReadHex4(escape);
          if (low < 0xDC00 || low > 0xDFFF) Fail(escape, Text(WB_JSON_LONE_SURROGATE, {Hex(cp, 4)}));
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, cp);
        return;
      }
      default:
        Fail(escape, Text(WB_JSON_BAD_ESCAPE, {DescribeChar(pos_)}));
    }
    Advance();
  }

  std::string ParseString() {
    const Position start = Here();
    Advance();  // the opening quote
    std::string out;
    for (;;) {
      // A run of printable ASCII but the quote and the backslash, at once.
      const size_t from = TakeRun([](unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; });
      out.append(text_.substr(from, pos_ - from));
      if (AtEnd()) Fail(start, Text(WB_JSON_UNCLOSED_STRING));
      const unsigned char c = Peek();
      if (c == '"') {
        Advance();
        return out;
      }
      if (c == '\\') {
        ParseEscape(start, out);
      } else if (c == '\n' || c == '\r') {
        Fail(start, Text(WB_JSON_UNCLOSED_STRING));
      } else if (c < 0x20) {
        Fail(Here(), Text(WB_JSON_CONTROL_CHAR, {Hex(c, 4)}));
      } else {
        Fill(4);
        const size_t length = Utf8Length(text_.substr(pos_));
        if (length == 0) Fail(Here(), Text(WB_JSON_BAD_UTF8));
        out.append(text_.substr(pos_, length));
        for (size_t i = 0; i < length; ++i) Advance();
      }
    }
  }

  void CheckDepth(const Value& value, int depth) const {
    if (depth > kMaxDepth) Fail(value.position, Text(WB_JSON_TOO_DEEP, {std::to_string(kMaxDepth)}));
  }

  void ParseArray(Value& value, int depth) {
    CheckDepth(value, depth);
    value.type = Type::kArray;
    Advance();  // [
    SkipSpace();
    if (!AtEnd() && Peek() == ']') {
      Advance();
      return;
    }
    for (;;) {
      Value item = ParseValue(depth);
      if (keep_) value.items.push_back(std::move(item));
      SkipSpace();
      if (AtEnd() || (Peek() != ',' && Peek() != ']')) Expected(Text(WB_JSON_WHAT_ARRAY_NEXT));
      const bool more = Peek() == ',';
      Advance();
      if (!more) return;
    }
  }

  void ParseObject(Value& value, int depth) {
    CheckDepth(value, depth);
    value.type = Type::kObject;
    Advance();  // {
    SkipSpace();
    if (!AtEnd() && Peek() == '}') {
      Advance();
      return;
    }
    for (;;) {
      SkipSpace();
      if (AtEnd() || Peek() != '"') Expected(Text(WB_JSON_WHAT_KEY));
      const Position keyPosition = Here();
      std::string key = ParseString();
      // Checking only, the outermost object keeps its member names.
      const bool keep = keep_ || depth == 1;
      if (keep) {
        value.keyPositions.push_back(keyPosition);
        value.keys.push_back(std::move(key));
      }
      SkipSpace();
      if (AtEnd() || Peek() != ':') Expected(Text(WB_JSON_WHAT_COLON));
      Advance();
      Value item = ParseValue(depth);
      if (keep) value.items.emplace_back().position = item.position;
      if (keep_) value.items.back() = std::move(item);
      SkipSpace();
      if (AtEnd() || (Peek() != ',' && Peek() != '}')) Expected(Text(WB_JSON_WHAT_OBJECT_NEXT));
      const bool more = Peek() == ',';
      Advance();
      if (!more) return;
    }
  }

  static constexpr size_t kChunk = 65536;

  // The text: all of it, or what was read of it and not dropped yet.
  mutable std::string_view text_;
  ReadFunction read_;
  mutable std::string buffer_;
  mutable bool ended_ = false;
  size_t pos_ = 0;
  bool keepNul_ = false;
  int line_ = 1;
  int column_ = 1;
  bool keep_ = true;  // false: check only
};

}  // namespace detail

const Value* Value::Find(std::string_view key) const {
  for (size_t i = 0; i < keys.size() && i < items.size(); ++i) {
    if (keys[i] == key) return &items[i];
  }
  return nullptr;
}

ParseError::ParseError(Position where, std::string message) : where_(where), message_(std::move(message)) {}

Value Parse(std::string_view text) { return detail::Parser(text).ParseDocument(); }

Value ParseKeepingNul(std::string_view text) {
  detail::Parser parser(text);
  parser.KeepNul();
  return parser.ParseDocument();
}

Value Check(std::string_view text) { return detail::Parser(text).CheckDocument(); }

Value Check(ReadFunction read) { return detail::Parser(std::move(read)).CheckDocument(); }

Reader::Reader(std::string_view text) : parser_(std::make_unique<detail::Parser>(text)) {}
Reader::Reader(ReadFunction read) : parser_(std::make_unique<detail::Parser>(std::move(read))) {}
Reader::~Reader() = default;
Position Reader::Here() { return parser_->NextPosition(); }
Type Reader::NextType() { return parser_->NextType(); }
Value Reader::Read() { return parser_->ReadValue(); }
void Reader::Enter() { parser_->Enter(); }
bool Reader::NextMember(bool& first, std::string& key, Position& keyPosition) {
  return parser_->NextMember(first, key, keyPosition);
}
bool Reader::NextItem(bool& first) { return parser_->NextItem(first); }

bool IsValidUtf8(std::string_view text) { return FirstInvalidUtf8(text) == std::string_view::npos; }

size_t FirstInvalidUtf8(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t length = Utf8Length(text.substr(at));
    if (length == 0) return at;
    at += length;
  }
  return std::string_view::npos;
}

std::string WithInvalidUtf8Replaced(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    if (const size_t length = Utf8Length(text.substr(at)); length > 0) {
      out.append(text.substr(at, length));
      at += length;
      continue;
    }
    out += "\xEF\xBF\xBD";
    // The bytes a character started here could still have had: its lead byte
    // and the continuation bytes that fit it (the same ranges Utf8Length
    // checks), so that a cut character is one replacement.
    const auto c = static_cast<unsigned char>(text[at]);
    const size_t wanted = c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF5 ? 4 : 1;
    size_t end = at + 1;
    for (; end < at + wanted && end < text.size(); ++end) {
      const auto next = static_cast<unsigned char>(text[end]);
      unsigned char low = 0x80, high = 0xBF;
      if (end == at + 1 && c == 0xE0) low = 0xA0;
      if (end == at + 1 && c == 0xED) high = 0x9F;
      if (end == at + 1 && c == 0xF0) low = 0x90;
      if (end == at + 1 && c == 0xF4) high = 0x8F;
      if (next < low || next > high) break;
    }
    at = end;
  }
  return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

/// Appends `ch` to `out`, as an escape when it is a control character.
void AppendEscaped(std::string& out, char ch) {
  const auto c = static_cast<unsigned char>(ch);
  switch (c) {
    case '\b': out += "\\b"; break;
    case '\f': out += "\\f"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      if (c < 0x20) {
        out += "\\u" + Hex(c, 4);
      } else {
        out += ch;
      }
  }
}

}  // namespace

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    if (ch == '"' || ch == '\\') out += '\\';
    AppendEscaped(out, ch);
  }
  out += '"';
  return out;
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  for (const char ch : text) AppendEscaped(out, ch);
  return out;
}

namespace {

bool IsScalar(const Value& value) { return value.type != Type::kArray && value.type != Type::kObject; }

void Print(const Value& value, int indent, std::string& out) {
  const std::string inner(static_cast<size_t>(indent + 2), ' ');
  switch (value.type) {
    case Type::kNull: out += "null"; return;
    case Type::kBool: out += value.boolean ? "true" : "false"; return;
    case Type::kNumber: out += value.text; return;
    case Type::kString: out += Quote(value.text); return;
    case Type::kArray: {
      bool scalars = true;
      for (const Value& item : value.items) scalars = scalars && IsScalar(item);
      out += '[';
      for (size_t i = 0; i < value.items.size(); ++i) {
        if (scalars) {
          if (i > 0) out += ", ";
        } else {
          out += (i > 0 ? ",\n" : "\n") + inner;
        }
        Print(value.items[i], indent + 2, out);
      }
      if (!scalars && !value.items.empty()) out += '\n' + std::string(static_cast<size_t>(indent), ' ');
      out += ']';
      return;
    }
    case Type::kObject: {
      out += '{';
      for (size_t i = 0; i < value.items.size(); ++i) {
        out += (i > 0 ? ",\n" : "\n") + inner + Quote(i < value.keys.size() ? value.keys[i] : std::string()) + ": ";
        Print(value.items[i], indent + 2, out);
      }
      if (!value.items.empty()) out += '\n' + std::string(static_cast<size_t>(indent), ' ');
      out += '}';
      return;
    }
  }
}

}  // namespace

Value Value::String(std::string text) {
  Value value;
  value.type = Type::kString;
  value.text = std::move(text);
  return value;
}

Value Value::Number(int64_t number) {
  Value value;
  value.type = Type::kNumber;
  value.text = std::to_string(number);
  return value;
}

Value Value::Bool(bool flag) {
  Value value;
  value.type = Type::kBool;
  value.boolean = flag;
  return value;
}

Value Value::Object() {
  Value value;
  value.type = Type::kObject;
  return value;
}

Value Value::Array() {
  Value value;
  value.type = Type::kArray;
  return value;
}

Value& Value::Add(std::string key, Value member) {
  keys.push_back(std::move(key));
  keyPositions.emplace_back();
  items.push_back(std::move(member));
  return *this;
}

Value& Value::Push(Value item) {
  items.push_back(std::move(item));
  return *this;
}

std::string Format(const Value& value) {
  std::string out;
  Print(value, 0, out);
  out += '\n';
  return out;
}

std::string DescribeType(Type type) {
  switch (type) {
    case Type::kNull: return Text(WB_JSON_TYPE_NULL);
    case Type::kBool: return Text(WB_JSON_TYPE_BOOL);
    case Type::kNumber: return Text(WB_JSON_TYPE_NUMBER);
    case Type::kString: return Text(WB_JSON_TYPE_STRING);
    case Type::kArray: return Text(WB_JSON_TYPE_ARRAY);
    case Type::kObject: return Text(WB_JSON_TYPE_OBJECT);
  }
  return {};
}

}  // namespace zt::wb::json
