// Tests of changing one tool property in a model document: the exact text
// after the change, for each place the value can be missing from, in the
// layouts a hand-written document may have.
#include "workbench/documents/DocumentEdit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestUtil.h"
#include "support/Error.h"
#include "workbench/documents/ModelDocument.h"

namespace zt::wb {
namespace {

struct EditCase {
  const char* name;
  const char* before;
  const char* element;  // qualified name below the root, "" for the model
  int overload;         // which of the operations of that name
  const char* after;
};

const EditCase kCases[] = {
    {"ValueReplacedInPlaceEscapesElsewhereKept",
     "{\"model\":\"M\",  \"packages\":[{\"name\":\"p\",\"classes\":[{\"name\":\"C\",\"operations\":[\n"
     "  {\"name\":\"op\", \"returnType\":\"caf\\u00e9\", \"properties\":{\"Templates\":{\"T\":\"old\"}}}]}]}]}\n",
     "p::C::op", 0,
     "{\"model\":\"M\",  \"packages\":[{\"name\":\"p\",\"classes\":[{\"name\":\"C\",\"operations\":[\n"
     "  {\"name\":\"op\", \"returnType\":\"caf\\u00e9\", "
     "\"properties\":{\"Templates\":{\"T\":\"$PWTTEMPLATES\\\\x\"}}}]}]}]}\n"},
    {"NameAddedToTheToolObjectOnItsLine",
     "{\"packages\":[{\"name\":\"p\",\"classes\":[{\"name\":\"C\",\"operations\":[{\"name\":\"op\",\n"
     "  \"properties\":{\"Templates\":{\"Other\":\"o\"}}}]}]}]}",
     "p::C::op", 0,
     "{\"packages\":[{\"name\":\"p\",\"classes\":[{\"name\":\"C\",\"operations\":[{\"name\":\"op\",\n"
     "  \"properties\":{\"Templates\":{\"Other\":\"o\", \"T\": \"$PWTTEMPLATES\\\\x\"}}}]}]}]}"},
    {"ToolAddedToProperties",
     "{\"packages\":[{\"name\":\"p\",\"classes\":[{\"name\":\"C\",\"operations\":[{\"name\":\"op\",\n"
     "  \"properties\": { \"COM\": { \"retval\": \"True\" } } }]}]}]}",
     "p::C::op", 0,
     "{\"packages\":[{\"name\":\"p\",\"classes\":[{\"name\":\"C\",\"operations\":[{\"name\":\"op\",\n"
     "  \"properties\": { \"COM\": { \"retval\": \"True\" }, \"Templates\": { \"T\": \"$PWTTEMPLATES\\\\x\" } } "
     "}]}]}]}"},
    // Members one per line: a new line, indented as its siblings; the
    // second of two overloads; Windows line ends; a byte-order mark.
    {"PropertiesAddedOnALineOfTheirOwnForTheSecondOverload",
     "\xEF\xBB\xBF{\r\n  \"packages\": [ { \"name\": \"p\", \"classes\": [ { \"name\": \"C\", \"operations\": [\r\n"
     "    { \"name\": \"op\" },\r\n"
     "    {\r\n"
     "\t\"name\": \"op\",\r\n"
     "\t\"returnType\": \"void\"\r\n"
     "    }\r\n  ] } ] } ]\r\n}\r\n",
     "p::C::op", 1,
     "\xEF\xBB\xBF{\r\n  \"packages\": [ { \"name\": \"p\", \"classes\": [ { \"name\": \"C\", \"operations\": [\r\n"
     "    { \"name\": \"op\" },\r\n"
     "    {\r\n"
     "\t\"name\": \"op\",\r\n"
     "\t\"returnType\": \"void\",\r\n"
     "\t\"properties\": { \"Templates\": { \"T\": \"$PWTTEMPLATES\\\\x\" } }\r\n"
     "    }\r\n  ] } ] } ]\r\n}\r\n"},
    {"ModelPropertiesAfterTheLastTopLevelMember", "{\n  \"model\": \"M\",\n  \"classes\": [ { \"name\": \"Ä\" } ]\n}\n",
     "", 0,
     "{\n  \"model\": \"M\",\n  \"classes\": [ { \"name\": \"Ä\" } ],\n"
     "  \"properties\": { \"Templates\": { \"T\": \"$PWTTEMPLATES\\\\x\" } }\n}\n"},
    {"ClassInTheRootAfterUnicodeOnItsLine",
     "{\"classes\": [{\"name\": \"Ä\"}, {\"name\": \"Ö\", \"stereotype\": \"«x»\"}]}", "Ö", 0,
     "{\"classes\": [{\"name\": \"Ä\"}, {\"name\": \"Ö\", \"stereotype\": \"«x»\", "
     "\"properties\": { \"Templates\": { \"T\": \"$PWTTEMPLATES\\\\x\" } }}]}"},
    {"EmptyToolObject", "{\"properties\": {\"Templates\": {}}}", "", 0,
     "{\"properties\": {\"Templates\": {\"T\": \"$PWTTEMPLATES\\\\x\"}}}"},
};

class DocumentEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(DocumentEdit, ChangesTheOneValueAndNothingElse) {
  const EditCase& c = GetParam();
  const std::unique_ptr<Model> model = ParseModelDocument(c.before, "m.json");
  const Element* element = model.get();
  if (*c.element != '\0') element = model->Find(c.element).at(static_cast<size_t>(c.overload));
  const std::string after = SetToolPropertyInText(c.before, "m.json", *element, "Templates", "T", "$PWTTEMPLATES\\x");
  EXPECT_EQ(after, c.after);
  // The result reads back as a document with the value in its place.
  const std::unique_ptr<Model> reread = ParseModelDocument(after, "m.json");
  const Element* again = reread.get();
  if (*c.element != '\0') again = reread->Find(c.element).at(static_cast<size_t>(c.overload));
  EXPECT_EQ(again->GetPropertyValue("Templates", "T"), "$PWTTEMPLATES\\x");
}

INSTANTIATE_TEST_SUITE_P(Layouts, DocumentEdit, ::testing::ValuesIn(kCases), test::CaseName());

TEST(DocumentEditRefusal, AnElementNotWhereTheModelHasItChangesNothing) {
  const std::unique_ptr<Model> model =
      ParseModelDocument(R"({"packages": [{"name": "p", "classes": [{"name": "C"}]}]})", "m.json");
  const Element& cls = *model->Find("p::C").at(0);
  // The file now holds another class there, or is no longer JSON.
  for (const char* changed : {R"({"packages": [{"name": "p", "classes": [{"name": "D"}]}]})",
                              R"({"packages": [{"name": "p"}]})", R"({"packages": [)"}) {
    const ZtError e = test::Raised([&] { SetToolPropertyInText(changed, "m.json", cls, "Templates", "T", "x"); });
    EXPECT_EQ(e.Number(), errc::kInvalidCall) << changed;
    EXPECT_NE(e.Description().find("m.json"), std::string::npos) << e.Description();
  }
  test::TempDir dir("edit");
  const std::string path = (dir / "m.json").string();
  EXPECT_THROW(SetToolPropertyInDocument(path, cls, "Templates", "T", "x"), ZtError) << "a missing file";
}

// The document is changed in the file itself: another hard link sees the
// change, and inode, owner, group and mode stay; a document that may not be
// written (no write permission at all: even for root) is refused, unchanged.
TEST(DocumentEditInPlace, KeepsTheFileAndRefusesOneThatMayNotBeWritten) {
  const std::string text = R"({"packages": [{"name": "p", "classes": [{"name": "C"}]}]})";
  const std::unique_ptr<Model> model = ParseModelDocument(text, "m.json");
  const Element& cls = *model->Find("p::C").at(0);
  test::TempDir dir("inplace");
  const std::string path = (dir / "m.json").string();
  const std::string other = (dir / "other.json").string();
  const auto read = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  struct Case {
    mode_t mode;
    bool written;
  };
  for (const Case& c : {Case{0640, true}, Case{0604, true}, Case{0444, false}, Case{0400, false}}) {
    SCOPED_TRACE(c.mode);
    std::filesystem::remove(path);
    std::filesystem::remove(other);
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    // Root hands the document to another user, whose it stays.
    const bool root = ::geteuid() == 0;
    if (root) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    if (c.written) {
      SetToolPropertyInDocument(path, cls, "Templates", "T", "x");
      EXPECT_NE(read(other).find(R"("Templates": { "T": "x" })"), std::string::npos) << read(other);
    } else {
      const ZtError e = test::Raised([&] { SetToolPropertyInDocument(path, cls, "Templates", "T", "x"); });
      EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
      EXPECT_EQ(read(other), text);
    }
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2) << "no copy left beside it";
  }
}

}  // namespace
}  // namespace zt::wb
