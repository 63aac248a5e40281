// Tests of changing one tool property in a model document: the exact text
// after the change, for each place the value can be missing from, in the
// layouts a hand-written document may have.
#include "workbench/documents/DocumentEdit.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zt::wb
