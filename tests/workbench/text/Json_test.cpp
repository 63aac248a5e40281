// The JSON reader: values, order and positions of well-formed documents;
// the position and message of the first fault of broken ones.
#include "workbench/text/Json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace zt::wb::json {
namespace {

TEST(JsonReader, KeepsMemberOrderRepeatsAndPositions) {
  const Value v = Parse("{\n  \"b\": 1,\n\t\"a\": [true, null],\n  \"b\": \"x\"\n}");
  ASSERT_EQ(v.type, Type::kObject);
  EXPECT_EQ(v.keys, (std::vector<std::string>{"b", "a", "b"}));
  EXPECT_EQ(v.items[0].type, Type::kNumber);
  EXPECT_EQ(v.items[0].text, "1");
  EXPECT_EQ(v.items[0].position.line, 2);
  EXPECT_EQ(v.items[0].position.column, 8);
  // A tab counts as one column.
  EXPECT_EQ(v.keyPositions[1].line, 3);
  EXPECT_EQ(v.keyPositions[1].column, 2);
  ASSERT_EQ(v.items[1].items.size(), 2u);
  EXPECT_TRUE(v.items[1].items[0].boolean);
  EXPECT_EQ(v.items[1].items[1].type, Type::kNull);
  EXPECT_EQ(v.items[1].items[1].position.column, 14);
  // Find gives the first of repeated members.
  EXPECT_EQ(v.Find("b")->type, Type::kNumber);
  EXPECT_EQ(v.Find("c"), nullptr);
}

TEST(JsonReader, DecodesEveryEscapeIncludingSurrogatePairs) {
  const Value v = Parse(R"("q\" b\\ s\/ \b\f\n\r\t \u00e9 \u20AC \uD83D\uDE00")");
  EXPECT_EQ(v.text, "q\" b\\ s/ \b\f\n\r\t \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  // Raw UTF-8 is kept, and a byte-order mark before the document is skipped.
  EXPECT_EQ(Parse("\xEF\xBB\xBF\"\xC3\xA9\"").text, "\xC3\xA9");
}

TEST(JsonReader, KeepsNumbersAsWrittenWhateverTheirSize) {
  EXPECT_EQ(Parse("-0.5e+10").text, "-0.5e+10");
  const std::string huge = "1" + std::string(400, '9') + "e99999999999";
  EXPECT_EQ(Parse(huge).text, huge);
}

TEST(JsonReader, CountsColumnsInCharactersNotBytes) {
  const ParseError e = test::Raised<ParseError>([] { Parse("{\"\xC3\xA9\": [1 2]}"); });
  EXPECT_EQ(e.Where().line, 1);
  EXPECT_EQ(e.Where().column, 10);
  EXPECT_EQ(e.Message(), "expected ',' or ']', found '2'");
}

using Broken = test::BrokenText;

class JsonBroken : public ::testing::TestWithParam<Broken> {};

// Hands `text` out `piece` bytes at a time, as a file read in pieces may.
ReadFunction InPieces(const std::string& text, size_t piece) {
  return [text, piece, at = size_t{0}](char* buffer, size_t size) mutable {
    const size_t n = std::min({piece, size, text.size() - at});
    text.copy(buffer, n, at);
    at += n;
    return n;
  };
}

TEST_P(JsonBroken, FailsAtTheFaultWithAClearMessage) {
  const Broken& b = GetParam();
  // Whole, and read in pieces of one and of three bytes.
  const std::vector<std::function<void()>> reads = {
      [&] { Parse(b.text); }, [&] { Check(InPieces(b.text, 1)); }, [&] { Check(InPieces(b.text, 3)); }};
  for (const auto& read : reads) {
    const ParseError e = test::Raised<ParseError>(read);
    EXPECT_EQ(e.Where().line, b.line) << e.Message();
    EXPECT_EQ(e.Where().column, b.column) << e.Message();
    EXPECT_NE(e.Message().find(b.message), std::string::npos) << e.Message();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, JsonBroken,
    ::testing::Values(
        Broken{"Empty", "", 1, 1, "expected a value, found the end of the document"},
        Broken{"OnlyBlanks", "  \n  ", 2, 3, "found the end of the document"},
        Broken{"OpenObject", "{", 1, 2, "expected a member name in double quotes"},
        Broken{"TrailingComma", "{\"a\": 1,}", 1, 9, "found '}'"},
        Broken{"OpenArray", "[1, 2", 1, 6, "expected ',' or ']'"}, Broken{"NoColon", "{\"a\" 1}", 1, 6, "expected ':'"},
        Broken{"BareWord", "[tru]", 1, 2, "expected a value, found 'tru'"},
        Broken{"CapitalTrue", "True", 1, 1, "found 'True'"}, Broken{"SingleQuotes", "['a']", 1, 2, "found '''"},
        Broken{"Garbage", "{} x", 1, 4, "expected the end of the document, found 'x'"},
        Broken{"LeadingZero", "01", 1, 2, "expected the end of the document, found '1'"},
        Broken{"LoneMinus", "-", 1, 2, "expected a digit of the number"},
        Broken{"NoFraction", "1.", 1, 3, "expected a digit"}, Broken{"NoExponent", "1e+", 1, 4, "expected a digit"},
        Broken{"TruncatedString", "[\"abc", 1, 2, "this string is not closed"},
        Broken{"StringOverLineEnd", "\"ab\ncd\"", 1, 1, "not closed"},
        Broken{"ControlCharacter", "\"a\x01\"", 1, 3, "U+0001"}, Broken{"UnknownEscape", "\"\\q\"", 1, 2, "not 'q'"},
        Broken{"EscapeAtEnd", "\"\\", 1, 1, "not closed"},
        Broken{"ShortUnicodeEscape", "\"\\u12\"", 1, 2, "four hexadecimal digits"},
        Broken{"LoneHighSurrogate", "\"\\uD800\"", 1, 2, "surrogate \\uD800"},
        Broken{"LoneLowSurrogate", "\"\\uDC00\"", 1, 2, "surrogate \\uDC00"},
        Broken{"HighThenNotLow", "\"\\uD800\\u0041\"", 1, 2, "surrogate"},
        Broken{"NulEscape", "\"a\\u0000\"", 1, 3, "NUL"}, Broken{"InvalidUtf8", "\"\xC3\x28\"", 1, 2, "invalid UTF-8"},
        Broken{"OverlongUtf8", "\"\xC0\xAF\"", 1, 2, "invalid UTF-8"},
        Broken{"EncodedSurrogate", "\"\xED\xA0\x80\"", 1, 2, "invalid UTF-8"},
        Broken{"TruncatedUtf8", "\"\xE2\x82", 1, 2, "invalid UTF-8"},
        Broken{"StrayByteOutsideString", "[\xFF]", 1, 2, "the byte 0xFF"},
        Broken{"TooDeep", std::string(1000, '['), 1, kMaxDepth + 1, "nested more than"}),
    test::CaseName());

TEST(JsonReader, ReadsTheSameValuesAndPositionsInPieces) {
  const std::string text =
      "{\"na\xC3\xA9me\": \"a long plain text\\n with an escape\",\n \t \"list\": [\"\xE2\x82\xAC\", \"\", 12],\r\n"
      "  \"tail\":\t\t\"x\\u0041y\"  }";
  const Value whole = Parse(text);
  for (const size_t piece : {size_t{1}, size_t{2}, size_t{5}, size_t{4096}}) {
    Reader reader(InPieces(text, piece));
    reader.Enter();
    bool first = true;
    std::string key;
    Position at;
    for (size_t i = 0; i < whole.keys.size(); ++i) {
      ASSERT_TRUE(reader.NextMember(first, key, at)) << piece;
      EXPECT_EQ(key, whole.keys[i]) << piece;
      EXPECT_EQ(at.line, whole.keyPositions[i].line) << piece << " " << key;
      EXPECT_EQ(at.column, whole.keyPositions[i].column) << piece << " " << key;
      const Value value = reader.Read();
      EXPECT_EQ(Format(value), Format(whole.items[i])) << piece << " " << key;
      EXPECT_EQ(value.position.line, whole.items[i].position.line) << piece << " " << key;
      EXPECT_EQ(value.position.column, whole.items[i].position.column) << piece << " " << key;
    }
    EXPECT_FALSE(reader.NextMember(first, key, at)) << piece;
  }
  EXPECT_EQ(whole.Find("na\xC3\xA9me")->text, "a long plain text\n with an escape");
  EXPECT_EQ(whole.keyPositions[2].line, 3);
  EXPECT_EQ(whole.keyPositions[2].column, 3);
  EXPECT_EQ(whole.items[2].position.column, 12);
  EXPECT_EQ(whole.items[1].items[2].position.column, 22);
  EXPECT_EQ(whole.items[2].text, "xAy");
}

TEST(JsonReader, AcceptsNestingUpToTheLimit) {
  const std::string deep = std::string(kMaxDepth, '[') + std::string(kMaxDepth, ']');
  EXPECT_EQ(Parse(deep).type, Type::kArray);
}

TEST(JsonWriter, QuoteRoundTripsThroughTheReader) {
  for (const std::string text : {"plain", "q\"b\\", "tab\tnl\ncr\r", "\x01\x1f", "\xC3\xA9\xF0\x9F\x98\x80", ""}) {
    EXPECT_EQ(Parse(Quote(text)).text, text) << Quote(text);
  }
  EXPECT_EQ(Quote("a\x01"), "\"a\\u0001\"");
}

TEST(JsonWriter, FormatsNestedValuesStably) {
  const std::string text = R"({"a": [], "b": {}, "c": ["x", 1, true], "d": [{"e": null}], "f": "g"})";
  const std::string expected =
      "{\n"
      "  \"a\": [],\n"
      "  \"b\": {},\n"
      "  \"c\": [\"x\", 1, true],\n"
      "  \"d\": [\n"
      "    {\n"
      "      \"e\": null\n"
      "    }\n"
      "  ],\n"
      "  \"f\": \"g\"\n"
      "}\n";
  EXPECT_EQ(Format(Parse(text)), expected);
  EXPECT_EQ(Format(Parse(expected)), expected);
}

TEST(Utf8, RecognisesWellFormedText) {
  EXPECT_TRUE(IsValidUtf8("abc \xC3\xA9 \xE2\x82\xAC \xF4\x8F\xBF\xBF"));
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\x80"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\x80"));
}

}  // namespace
}  // namespace zt::wb::json
