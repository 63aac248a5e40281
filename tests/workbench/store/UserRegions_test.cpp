// What a regenerated script keeps of the stored one: the date texts and the
// user regions (UserRegions.h).
#include "workbench/store/scripts/UserRegions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

std::vector<std::string> Names(const RegionScan& scan) {
  std::vector<std::string> names;
  for (const UserRegion& region : scan.regions) names.push_back(region.name);
  return names;
}

TEST(UserRegions, MarkersInTheCommentsOfEachLanguage) {
  struct Case {
    const char* text;
    std::vector<std::string> names;
    std::vector<std::string> contents;
  };
  const Case cases[] = {
      {"a\r\n// user code begin: imports\r\nimport x.Y;\r\n// user code end: imports\r\nb\r\n",
       {"imports"},
       {"import x.Y;\r\n"}},
      {"    //user code begin:setup\n    x();\n\n    //   user code end: setup\n", {"setup"}, {"    x();\n\n"}},
      {"' user code begin: vb.part-1\r\n' user code end: vb.part-1\r\n", {"vb.part-1"}, {""}},
      {"/* user code begin: a */\n1\n/* user code end: a */\n# user code begin: b\n2\n# user code end: b",
       {"a", "b"},
       {"1\n", "2\n"}},
      {"-- user code begin: sql\n--user code end: sql\n", {"sql"}, {""}},
      // The words elsewhere on a line before a marker's.
      {"s = \"user code user code \";\n  // user code begin: z\nq\n  // user code end: z", {"z"}, {"q\n"}},
      // Not markers: no comment before the words, no name, other words.
      {"user code begin: a\nint x; // user code begin: b\n// user code begin:\n// User code begin: c\n", {}, {}},
  };
  for (const Case& c : cases) {
    const RegionScan scan = ScanUserRegions(c.text);
    EXPECT_EQ(scan.fault, "") << c.text;
    EXPECT_EQ(Names(scan), c.names) << c.text;
    std::vector<std::string> contents;
    for (const UserRegion& region : scan.regions) {
      contents.push_back(std::string(c.text).substr(region.begin, region.end - region.begin));
    }
    EXPECT_EQ(contents, c.contents) << c.text;
  }
}

TEST(UserRegions, MalformedRegionsAreNamed) {
  struct Case {
    const char* text;
    std::string fault;
  };
  const Case cases[] = {
      {"// user code begin: a\nx\n", Text(WB_REGION_UNCLOSED, {"a"})},
      {"x\n// user code end: a\n", Text(WB_REGION_UNOPENED, {"a"})},
      {"// user code begin: a\n// user code end: b\n", Text(WB_REGION_UNOPENED, {"b"})},
      {"// user code begin: a\n// user code begin: b\n// user code end: b\n// user code end: a\n",
       Text(WB_REGION_NESTED, {"b", "a"})},
      {"// user code begin: a\n// user code end: a\n// user code begin: a\n// user code end: a\n",
       Text(WB_REGION_TWICE, {"a"})},
  };
  for (const Case& c : cases) EXPECT_EQ(ScanUserRegions(c.text).fault, c.fault) << c.text;
}

TEST(UserRegions, OnlyTheDateTextMayDiffer) {
  const std::vector<std::string> date{"12/08/26 07:00:00"};
  constexpr DateLikeness kSame = DateLikeness::kSameForm;
  constexpr DateLikeness kOther = DateLikeness::kOtherForm;
  constexpr DateLikeness kDiffers = DateLikeness::kDiffers;
  struct Case {
    const char* stored;
    const char* generated;
    DateLikeness likeness;
  };
  const Case cases[] = {
      {"// generated 01/02/25 10:11:12.\r\nx\r\n", "// generated 12/08/26 07:00:00.\r\nx\r\n", kSame},
      // Another length or locale, twice in the file, the same each time.
      {"a 1/2/25 1:02:03 PM b\r\n1/2/25 1:02:03 PM\r\n", "a 12/08/26 07:00:00 b\r\n12/08/26 07:00:00\r\n", kOther},
      {"// 07.12.2026 14:05:28.\r\n", "// 12/08/26 07:00:00.\r\n", kOther},
      {"// 7 Dec 2026, 14:05:28.\r\n", "// 12/08/26 07:00:00.\r\n", kOther},
      {"a 1/2/25 b\r\n1/3/25\r\n", "a 12/08/26 07:00:00 b\r\n12/08/26 07:00:00\r\n", kDiffers},
      // A note typed beside the date is no date.
      {"// generated 01/02/25 10:11:12 -- reviewed by Bob, ticket 4711.\r\n", "// generated 12/08/26 07:00:00.\r\n",
       kDiffers},
      {"// generated 01/02/25 10:11:12 -- ok (Bob).\r\n", "// generated 12/08/26 07:00:00.\r\n", kDiffers},
      {"// generated 01/02/25 10:11:12 reviewed by Bob.\r\n", "// generated 12/08/26 07:00:00.\r\n", kDiffers},
      {"// generated 01/02/25 10:11:12 -- Bob.\r\n", "// generated 12/08/26 07:00:00.\r\n", kOther},
      // Anything else that differs, a line end in the place of the date, or no date at all.
      {"// generated 01/02/25 10:11:12.\r\ny\r\n", "// generated 12/08/26 07:00:00.\r\nx\r\n", kDiffers},
      {"// generated 01/02/25\r\n10:11.\r\n", "// generated 12/08/26 07:00:00.\r\n", kDiffers},
      {"// generated x.\r\n", "// generated y.\r\n", kDiffers},
      {"", "12/08/26 07:00:00", kDiffers},  // a date is never empty
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareButDates(c.stored, c.generated, date), c.likeness) << c.stored;
    EXPECT_EQ(SameButDates(c.stored, c.generated, date), c.likeness != kDiffers) << c.stored;
  }
  EXPECT_FALSE(SameButDates("// generated 01/02/25 10:11:12.", "// generated 12/08/26 07:00:00.", {}));
}

// The user a header names is no edit, as the date is not: a teammate who
// generates the same text finds it unchanged, but never as what the store
// wrote for this user.
TEST(UserRegions, AnotherUserInTheHeaderIsNoChange) {
  const std::vector<std::string> date{"12/08/26 07:00:00"};
  const std::string header = "// AgetA: unit test of A.getA, generated 12/08/26 07:00:00 for zt-bob.\r\n";
  const std::string body = "class AgetA {\r\n}\r\n";
  constexpr DateLikeness kSame = DateLikeness::kSameForm;
  constexpr DateLikeness kOther = DateLikeness::kOtherForm;
  constexpr DateLikeness kDiffers = DateLikeness::kDiffers;
  struct Case {
    const char* what;
    std::string stored;
    std::string generated;
    std::string user;
    DateLikeness likeness;
    bool otherUser;
  };
  const Case cases[] = {
      {"another user, another date",
       "// AgetA: unit test of A.getA, generated 01/02/25 10:11:12 for zt-ann.\r\n" + body, header + body, "zt-bob",
       kSame, true},
      {"another user, the same date",
       "// AgetA: unit test of A.getA, generated 12/08/26 07:00:00 for Ann Smith.\r\n" + body, header + body, "zt-bob",
       kSame, true},
      {"the user's own file", "// AgetA: unit test of A.getA, generated 01/02/25 10:11:12 for zt-bob.\r\n" + body,
       header + body, "zt-bob", kSame, false},
      {"another user and a date of another form",
       "// AgetA: unit test of A.getA, generated 7 Dec 2026, 14:05:28 for ann.\r\n" + body, header + body, "zt-bob",
       kOther, true},
      // A user named on a line of its own and in a project's comment, each time the same other one.
      {"every place names the same other user",
       "'   author        ann\r\nx\r\nV=\"Generated 01/02/25 10:11:12 by ann\"\r\n",
       "'   author        zt-bob\r\nx\r\nV=\"Generated 12/08/26 07:00:00 by zt-bob\"\r\n", "zt-bob", kSame, true},
      {"two other users", "'   author        ann\r\nx\r\nV=\"Generated 01/02/25 10:11:12 by carl\"\r\n",
       "'   author        zt-bob\r\nx\r\nV=\"Generated 12/08/26 07:00:00 by zt-bob\"\r\n", "zt-bob", kDiffers, false},
      // Anything else that differs is a change, whoever generated it.
      {"another user and an edit",
       "// AgetA: unit test of A.getA, generated 01/02/25 10:11:12 for zt-ann.\r\n"
       "class AgetA { int x; }\r\n",
       header + body, "zt-bob", kDiffers, false},
      // A note beside the name is read as part of it: the file is left as it
      // is, note and all (and never recorded as what the store wrote).
      {"a note beside the name",
       "// AgetA: unit test of A.getA, generated 01/02/25 10:11:12 for zt-ann, ok.\r\n" + body, header + body, "zt-bob",
       kSame, true},
      {"no user told", "// AgetA: unit test of A.getA, generated 01/02/25 10:11:12 for zt-ann.\r\n" + body,
       header + body, "", kDiffers, false},
      // The user's name inside a longer name is no place of the user.
      {"a name inside a word", "// made for bob\r\nint bobby;\r\n", "// made for al\r\nint bobby;\r\n", "al", kSame,
       true},
      {"inside a word only", "int xbob;\r\n", "int xal;\r\n", "al", kDiffers, false},
      // A line end is no name.
      {"a line end in the name's place", "// made for\r\nx\r\n", "// made for al\r\nx\r\n", "al", kDiffers, false},
  };
  for (const Case& c : cases) {
    const Likeness likeness = CompareButGenerated(c.stored, c.generated, date, c.user);
    EXPECT_EQ(likeness.dates, c.likeness) << c.what;
    EXPECT_EQ(likeness.otherUser, c.otherUser) << c.what;
    // Regenerating: unchanged as compared, taken for what the store wrote
    // only when the file names this very user.
    const Regeneration again = Regenerate(c.stored, c.generated, date, c.user);
    EXPECT_EQ(again.unchanged, c.likeness != kDiffers) << c.what;
    EXPECT_EQ(again.asWritten, c.likeness == kSame && !c.otherUser) << c.what;
  }
}

TEST(UserRegions, RegenerationCarriesTheStoredRegions) {
  const std::vector<std::string> today{"D2"};
  const std::string generated =
      "// D2\n// user code begin: imports\n// user code end: imports\nvoid f(int a, int b);\n"
      "  // user code begin: setup\n  // user code end: setup\n";
  struct Case {
    const char* what;
    std::string stored;
    bool unchanged;
    std::string text;
    std::vector<std::string> lost;
    std::string fault;
  };
  const Case cases[] = {
      {"an edited region and another date: unchanged",
       "// D1\n// user code begin: imports\nimport a.B;\n// user code end: imports\nvoid f(int a, int b);\n"
       "  // user code begin: setup\n  // user code end: setup\n",
       true,
       "",
       {},
       ""},
      {"a model change: the regions are carried into the new text",
       "// D1\n// user code begin: imports\nimport a.B;\n// user code end: imports\nvoid f(int a);\n"
       "  // user code begin: setup\n  b = 2;\n  // user code end: setup\n",
       false,
       "// D2\n// user code begin: imports\nimport a.B;\n// user code end: imports\nvoid f(int a, int b);\n"
       "  // user code begin: setup\n  b = 2;\n  // user code end: setup\n",
       {},
       ""},
      {"a region the new text lacks: named, unless it is empty",
       "// D1\n// user code begin: members\nint n;\n// user code end: members\n"
       "// user code begin: empty\n// user code end: empty\nvoid f(int a);\n",
       false,
       generated,
       {"members"},
       ""},
      {"malformed stored regions: nothing carried, the fault named",
       "// D1\n// user code begin: imports\nimport a.B;\nvoid f(int a);\n",
       false,
       generated,
       {},
       Text(WB_REGION_UNCLOSED, {"imports"})},
      {"only the date differs: unchanged",
       "// D1\n// user code begin: imports\n// user code end: imports\nvoid f(int a, int b);\n"
       "  // user code begin: setup\n  // user code end: setup\n",
       true,
       "",
       {},
       ""},
  };
  for (const Case& c : cases) {
    const Regeneration result = Regenerate(c.stored, generated, today);
    EXPECT_EQ(result.unchanged, c.unchanged) << c.what;
    if (!c.unchanged) {
      EXPECT_EQ(result.text, c.text) << c.what;
    }
    EXPECT_EQ(result.lost, c.lost) << c.what;
    EXPECT_EQ(result.fault, c.fault) << c.what;
  }

  // A new text whose own regions are malformed takes none: the stored ones with content are lost.
  const Regeneration broken = Regenerate(
      "// user code begin: a\nx\n// user code end: a\n// user code begin: b\n"
      "// user code end: b\n",
      "// user code begin: a\n// user code end: b\n", {});
  EXPECT_EQ(broken.text, "// user code begin: a\n// user code end: b\n");
  EXPECT_EQ(broken.lost, std::vector<std::string>{"a"});
}

// The digest a store records of what it generated: what the regions hold
// does not count, everything else does; it stays the same from release to
// release (stores keep it), and malformed regions give none.
TEST(GeneratedDigest, CountsTheTextOutsideTheRegionsOnly) {
  EXPECT_EQ(GeneratedDigest(""), "6c62272e07bb014262b821756295c58d") << "FNV-1a 128 of nothing";
  EXPECT_EQ(GeneratedDigest("a"), "d228cb696f1a8caf78912b704e4a8964");
  // Long texts and every byte value carry through both halves of the hash.
  std::string printable, bytes;
  for (int i = 0; i < 1000; ++i) printable += static_cast<char>(32 + (i * 37) % 95);
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  EXPECT_EQ(GeneratedDigest(printable), "0ba20fc936c3e36b7ad768c163ad650d");
  EXPECT_EQ(TextDigest(bytes), "8097249afae7c21686b07bd6fa33708d");
  const std::string text = "x\n// user code begin: setup\n// user code end: setup\ny\n";
  const std::optional<std::string> digest = GeneratedDigest(text);
  ASSERT_TRUE(digest);
  EXPECT_EQ(GeneratedDigest("x\n// user code begin: setup\n  a = 1;\r\n// user code end: setup\ny\n"), digest);
  for (const char* other : {"x\n// user code begin: setup\n// user code end: setup\ny \n",
                            "x\n// user code begin: setup\n// user code end: setup\n",
                            "x\n// user code begin: set\n// user code end: set\ny\n",
                            "x\n\ny\n"}) {
    EXPECT_NE(GeneratedDigest(other), digest) << other;
  }
  EXPECT_EQ(GeneratedDigest("// user code begin: a\n"), std::nullopt);
}

}  // namespace
}  // namespace zt::wb
