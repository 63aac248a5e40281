// Model documents: what a good document gives, where and why a broken one
// is refused, that no input crashes the loader, and that the writer's
// output reads back as the same model.
#include "workbench/documents/ModelDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "support/Error.h"
#include "support/Text.h"
#include "workbench/documents/ModelListing.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<Model> Load(const std::string& text) { return ParseModelDocument(text, "doc.json"); }

/// Everything the add-in can learn about a model, through the host
/// interfaces, one line per element.
void DumpCategory(TesselCategory& package, std::string& out) {
  out += "P " + package.GetQualifiedName() + "\n";
  TesselClassCollection* classes = package.Classes();
  for (int16_t i = 1; i <= classes->Count(); ++i) {
    TesselClass& c = *classes->GetAt(i);
    out += "C " + c.GetQualifiedName() + "|" + c.Stereotype() + "|" + c.Language() + "|" +
           (c.IsAbstract() ? "abstract" : "") + "\n";
    for (TesselRelation* r : *c.InheritRelations()) out += "  inherits " + r->GetSupplierClass()->GetQualifiedName() + "\n";
    for (TesselRelation* r : *c.RealizeRelations()) out += "  realizes " + r->GetSupplierClass()->GetQualifiedName() + "\n";
    for (TesselComponent* k : c.GetAssignedComponents()) out += "  component " + k->Name() + "\n";
    const Class& typed = dynamic_cast<Class&>(c);
    for (const auto& p : typed.ToolProperties()) out += "  " + p->Tool() + "." + p->Name() + "=" + p->Value() + "\n";
    for (const Attribute* a : typed.AttributeList()) out += "  A " + a->Name() + ":" + a->Type() + "\n";
    for (const std::string& literal : typed.Literals()) out += "  L " + literal + "\n";
    for (TesselOperation* o : *c.Operations()) {
      out += "  O " + o->Name() + ":" + o->ReturnType() + "|" + o->Stereotype() + "|" +
             std::string(VisibilityWord(o->Visibility())) + (o->IsStatic() ? "|static" : "") + "\n";
      for (TesselParameter* p : *o->Parameters()) {
        out += "    " + p->Name() + ":" + p->Type() + "=" + p->InitValue() + "|" +
               p->GetPropertyValue("COM", "retval") + "\n";
      }
    }
  }
  for (TesselCategory* p : *package.Categories()) DumpCategory(*p, out);
}

std::string Dump(Model& model) {
  std::string out = "M " + model.Name() + "\n";
  for (const auto& p : model.ToolProperties()) out += "  " + p->Tool() + "." + p->Name() + "=" + p->Value() + "\n";
  for (const Component* k : model.ComponentList()) {
    out += "K " + k->Name() + "\n";
    for (const auto& p : k->ToolProperties()) out += "  " + p->Tool() + "." + p->Name() + "=" + p->Value() + "\n";
  }
  DumpCategory(*model.RootCategory(), out);
  return out;
}

const char* const kGoodDocument = R"({
  "model": "Bank",
  "properties": { "ZT": { "b": "2", "a": "1" } },
  "classes": [
    { "name": "Zeta", "inherits": ["bank::Account"], "realizes": ["Logical View::bank::IAccount"],
      "components": ["Lib2", "Lib1"] }
  ],
  "packages": [
    { "name": "bank", "classes": [
      { "name": "IAccount", "stereotype": "Interface" },
      { "literals": ["EUR", "US D"], "name": "Unit", "stereotype": "enumeration" },
      { "name": "Account", "language": "Java", "abstract": true,
        "attributes": [ { "name": "balance", "type": "double" } ],
        "operations": [
          { "name": "deposit", "parameters": [ { "name": "amount", "type": "double", "initValue": "1",
                                                 "properties": { "COM": { "retval": "True" } } } ] },
          { "name": "deposit", "returnType": "void", "stereotype": "business" },
          { "name": "audit", "visibility": "private", "static": true },
          { "static": false, "visibility": "protected", "name": "fee" },
          { "name": "sum", "visibility": "package", "static": true } ] } ] }
  ],
  "components": [ { "name": "Lib1" }, { "name": "Lib2", "properties": { "COM": { "uuid": "u" } } } ]
})";

TEST(ModelDocumentLoader, KeepsOrderAndResolvesForwardReferences) {
  const auto model = Load(kGoodDocument);
  EXPECT_EQ(Dump(*model),
            "M Bank\n"
            "  ZT.b=2\n"
            "  ZT.a=1\n"
            "K Lib1\n"
            "K Lib2\n"
            "  COM.uuid=u\n"
            "P Logical View\n"
            "C Logical View::Zeta|||\n"
            "  inherits Logical View::bank::Account\n"
            "  realizes Logical View::bank::IAccount\n"
            "  component Lib2\n"
            "  component Lib1\n"
            "P Logical View::bank\n"
            "C Logical View::bank::IAccount|Interface||\n"
            "C Logical View::bank::Unit|enumeration||\n"
            "  L EUR\n"
            "  L US D\n"
            "C Logical View::bank::Account||Java|abstract\n"
            "  A balance:double\n"
            "  O deposit:||public\n"
            "    amount:double=1|True\n"
            "  O deposit:void|business|public\n"
            "  O audit:||private|static\n"
            "  O fee:||protected\n"
            "  O sum:||package|static\n");
  EXPECT_EQ(model->Find("bank::Account::deposit").size(), 2u);
}

TEST(ModelDocumentLoader, DefaultsModelNameFromTheFileAndRootToLogicalView) {
  const auto model = ParseModelDocument("{}", "some/folder/shop.v2.json");
  EXPECT_EQ(model->Name(), "shop.v2");
  EXPECT_EQ(model->Root().Name(), "Logical View");
  EXPECT_EQ(model->ClassCount(), 0);
  const auto named =
      Load(R"({"root": "Design", "classes": [{"name": "A"}, {"name": "B", "inherits": ["Design::A"]}]})");
  EXPECT_EQ(named->FindClass("A")->GetQualifiedName(), "Design::A");
  EXPECT_EQ(named->FindClass("B")->Inherits().at(0)->Name(), "A");
}

using Broken = test::BrokenText;

class ModelDocumentBroken : public ::testing::TestWithParam<Broken> {};

TEST_P(ModelDocumentBroken, GivesOneErrorAtTheFault) {
  const Broken& b = GetParam();
  const DocumentError e = test::Raised<DocumentError>([&] { Load(b.text); });
  EXPECT_EQ(e.File(), "doc.json");
  EXPECT_EQ(e.Line(), b.line) << e.what();
  EXPECT_EQ(e.Column(), b.column) << e.what();
  EXPECT_NE(e.Message().find(b.message), std::string::npos) << e.what();
  EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << "more than one line";
  EXPECT_EQ(std::string(e.what()),
            "doc.json:" + std::to_string(b.line) + ":" + std::to_string(b.column) + ": " + e.Message());
}

std::string NestedPackages(int depth) {
  std::string text = "{\"packages\": [";
  for (int i = 0; i < depth; ++i) text += "{\"name\": \"p\", \"packages\": [";
  for (int i = 0; i < depth; ++i) text += "]}";
  return text + "]}";
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ModelDocumentBroken,
    ::testing::Values(
        Broken{"BadJson", "{\"model\": \"M\",\n \"classes\": [ {\"name\": \"A\"}\n}", 3, 1,
               "expected ',' or ']', found '}'"},
        Broken{"NotAnObject", "[]", 1, 1, "a model document is an object"},
        Broken{"WrongTypeBool", "{\"classes\": [{\"name\": \"A\",\n  \"abstract\": \"yes\"}]}", 2, 15,
               "expected true or false for \"abstract\", found a string"},
        Broken{"StaticNotABool",
               "{\"classes\": [{\"name\": \"A\", \"operations\": [{\"name\": \"m\", \"static\": 1}]}]}", 1, 67,
               "expected true or false for \"static\", found a number"},
        Broken{
            "VisibilityNotAWord",
            "{\"classes\": [{\"name\": \"A\", \"operations\": [\n {\"name\": \"m\", \"visibility\": \"Private\"}]}]}",
            2, 30, "\"visibility\" cannot be \"Private\"; expected one of: public, protected, package, private"},
        Broken{"LiteralNotAString", "{\"classes\": [{\"name\": \"E\", \"literals\": [\"A\", 2]}]}", 1, 46,
               "expected a string in the list \"literals\", found a number"},
        Broken{"NameNotAString", "{\"classes\": [{\"name\": 5}]}", 1, 23,
               "expected a string for \"name\", found a number"},
        Broken{"HugeNumber", "{\"model\": 1e999999999}", 1, 11, "expected a string for \"model\", found a number"},
        Broken{"ListNotAnArray", "{\"classes\": [{\"name\": \"A\", \"inherits\": \"B\"}]}", 1, 40,
               "expected an array for \"inherits\", found a string"},
        Broken{"ItemNotAnObject", "{\"packages\": [\"core\"]}", 1, 15,
               "expected an object in the list \"packages\", found a string"},
        Broken{"ReferenceNotAString", "{\"classes\": [{\"name\": \"A\", \"realizes\": [null]}]}", 1, 41,
               "expected a string in the list \"realizes\", found null"},
        Broken{"UnknownClassKey", "{\"classes\": [{\"name\": \"A\", \"stereo\": \"x\"}]}", 1, 28,
               "unknown key \"stereo\" in a class; expected one of: name, stereotype, language, abstract,"},
        Broken{"UnknownTopKey", "{\"model\": \"M\",\n\"version\": 2}", 2, 1,
               "unknown key \"version\" in the model document"},
        Broken{"KeyWithLineFeed", "{\"mod\\nel\": 1}", 1, 2, "unknown key \"mod\\nel\" in the model document"},
        Broken{"DuplicateKey", "{\"classes\": [{\"name\": \"A\", \"name\": \"B\"}]}", 1, 28, "\"name\" is given twice"},
        Broken{"DuplicateTool", "{\"properties\": {\"COM\": {}, \"COM\": {}}}", 1, 28, "\"COM\" is given twice"},
        Broken{"MissingName", "{\"packages\": [{\"classes\": []}]}", 1, 15, "a package needs a \"name\""},
        Broken{"EmptyName", "{\"classes\": [{\"name\": \"\"}]}", 1, 23, "a class cannot have an empty name"},
        Broken{"EmptyModelName", "{\"model\": \"\"}", 1, 11, "a model cannot have an empty name"},
        Broken{"EmptyRootName", "{\"root\": \"\"}", 1, 10, "a package cannot have an empty name"},
        Broken{"DanglingInherit", "{\"classes\": [{\"name\": \"A\", \"inherits\": [\"B\"]}]}", 1, 41, "no class \"B\""},
        Broken{"RelationToAPackage",
               "{\"packages\": [{\"name\": \"p\"}], \"classes\": [{\"name\": \"A\", \"realizes\": [\"p\"]}]}", 1, 70,
               "no class \"p\""},
        Broken{"DanglingComponent", "{\"classes\": [{\"name\": \"A\", \"components\": [\"Lib\"]}]}", 1, 43,
               "no component \"Lib\""},
        Broken{"DuplicateClass", "{\"classes\": [{\"name\": \"A\"},\n  {\"name\": \"A\"}]}", 2, 12,
               "\"Logical View\" already has a class named \"A\""},
        Broken{"DuplicatePackage",
               "{\"packages\": [{\"name\": \"p\", \"packages\": [{\"name\": \"q\"}, {\"name\": \"q\"}]}]}", 1, 66,
               "\"Logical View::p\" already has a package named \"q\""},
        Broken{"DuplicateComponent", "{\"components\": [{\"name\": \"L\"}, {\"name\": \"L\"}]}", 1, 41,
               "already has a component named \"L\""},
        Broken{"InheritanceCycle",
               "{\"classes\": [{\"name\": \"A\", \"inherits\": [\"B\"]}, {\"name\": \"B\", \"inherits\": [\"A\"]}]}", 1,
               75, "would form a cycle"},
        Broken{"PropertyNotAString", "{\"properties\": {\"COM\": {\"uuid\": 1}}}", 1, 33,
               "expected a string for \"uuid\", found a number"},
        Broken{"ToolNotAnObject", "{\"properties\": {\"COM\": \"x\"}}", 1, 24, "expected an object for \"COM\""},
        Broken{"EmptyToolName", "{\"properties\": {\"\": {}}}", 1, 17, "needs a tool name and a property name"},
        Broken{"DeepPackages", NestedPackages(150), 1, 14 + 99 * 27 + 1, "nested more than 200 levels"}),
    test::CaseName());

/// A document with `count` elements in one list, one per line from line 2.
std::string ManyLines(const std::string& head, const std::string& item, int count, const std::string& tail) {
  std::string text = head + "\n";
  for (int i = 0; i < count; ++i) text += (i > 0 ? ",\n" : "") + Replaced(item, "#", std::to_string(i));
  return text + "\n" + tail;
}

TEST(ModelDocumentLimits, RefusesMoreElementsThanAHostCollectionHolds) {
  struct Case {
    std::string head, item, tail, message;
  };
  const std::vector<Case> cases{
      {"{\"classes\": [", "{\"name\": \"C#\"}", "]}", "a model cannot hold more than 32767 classes"},
      {"{\"classes\": [{\"name\": \"C\", \"operations\": [", "{\"name\": \"o#\"}", "]}]}",
       "\"Logical View::C\" cannot have more than 32767 operations"},
      {"{\"packages\": [", "{\"name\": \"p#\"}", "]}", "\"Logical View\" cannot hold more than 32767 packages"},
  };
  for (const Case& c : cases) {
    EXPECT_NO_THROW(Load(ManyLines(c.head, c.item, kMaxCollection, c.tail))) << c.message;
    const auto e = test::Raised<DocumentError>([&] { Load(ManyLines(c.head, c.item, kMaxCollection + 1, c.tail)); });
    EXPECT_EQ(e.Line(), kMaxCollection + 2);  // the name of the first element too many
    EXPECT_EQ(e.Column(), 10);
    EXPECT_EQ(e.Message(), c.message);
  }
}

TEST(ModelDocumentFiles, AFileThatCannotBeReadIsOneErrorWithoutPosition) {
  const test::TempDir dir("docfiles");
  for (const fs::path& path : {dir / "missing.json", fs::path(dir)}) {
    const auto e = test::Raised<DocumentError>([&] { LoadModelDocument(path.string()); });
    EXPECT_EQ(e.Line(), 0);
    EXPECT_EQ(std::string(e.what()).rfind(path.string() + ": cannot read the model document: ", 0), 0u) << e.what();
  }
}

// A file is read in pieces of 64 KiB: names with two-byte characters and
// escapes fall across their ends, and a fault far in gives the same error.
TEST(ModelDocumentFiles, AFileReadPieceByPieceGivesWhatItsTextGives) {
  const fs::path dir = test::TempDir("pieces");
  const std::string item = R"({"name": "Ké#", "stereotype": "\"s\"", "operations": [{"name": "\u00e9#", )"
                           R"("returnType": "int", "parameters": [{"name": "p", "type": "long"}]}]})";
  const std::string good = ManyLines(R"({"model": "M", "packages": [{"name": "p", "classes": [)", item, 3000, "]}]}");
  ASSERT_GT(good.size(), 4u * 65536);
  std::string bad = good;
  bad.replace(bad.rfind("\"int\""), 5, "1");
  for (const std::string& text : {good, bad}) {
    const fs::path path = dir / "big.json";
    std::ofstream(path, std::ios::binary) << text;
    std::string whole, pieces;
    try {
      whole = Dump(*Load(text));
    } catch (const DocumentError& e) {
      whole = std::to_string(e.Line()) + ":" + std::to_string(e.Column()) + " " + e.Message();
    }
    try {
      pieces = Dump(*LoadModelDocument(path.string()));
    } catch (const DocumentError& e) {
      pieces = std::to_string(e.Line()) + ":" + std::to_string(e.Column()) + " " + e.Message();
    }
    EXPECT_EQ(pieces, whole);
  }
}

// No input crashes the loader: every prefix of an example, and the example
// with bytes replaced by troublesome ones, either loads or gives a DocumentError.
TEST(ModelDocumentRobustness, PrefixesAndDamagedBytesNeverCrash) {
  const std::string text = test::ReadAll(fs::path(ZT_EXAMPLES_DIR) / "calc-com.json");
  ASSERT_GT(text.size(), 1000u);
  int refused = 0;
  const auto attempt = [&](const std::string& damaged) {
    try {
      Load(damaged);
    } catch (const DocumentError& e) {
      ++refused;
      EXPECT_GT(e.Line(), 0) << e.what();
    }
  };
  // Every prefix that stops before the closing brace is incomplete.
  const size_t complete = text.rfind('}') + 1;
  for (size_t n = 0; n < complete; ++n) attempt(text.substr(0, n));
  EXPECT_EQ(refused, static_cast<int>(complete));
  for (size_t i = 0; i < text.size(); i += 3) {
    for (const char bad : {'"', '{', ']', ',', '\\', '\0', '\xFF', '\x01'}) {
      std::string damaged = text;
      damaged[i] = bad;
      attempt(damaged);
    }
  }
}

class ModelDocumentWriter : public ::testing::TestWithParam<const char*> {};

TEST_P(ModelDocumentWriter, SavedExampleLoadsAsTheSameModelAndSavesIdentically) {
  const test::TempDir dir("writer");
  const auto original = LoadModelDocument((fs::path(ZT_EXAMPLES_DIR) / GetParam()).string());
  SaveModelDocument(*original, (dir / "first.json").string());
  const auto reloaded = LoadModelDocument((dir / "first.json").string());
  EXPECT_EQ(Dump(*reloaded), Dump(*original));
  EXPECT_EQ(ListModel(*reloaded), ListModel(*original));
  SaveModelDocument(*reloaded, (dir / "second.json").string());
  EXPECT_EQ(test::ReadAll(dir / "second.json"), test::ReadAll(dir / "first.json"));
  // Nothing but the two documents is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

INSTANTIATE_TEST_SUITE_P(Examples, ModelDocumentWriter,
                         ::testing::Values("bank-ejb.json", "calc-com.json", "shapes-java.json"));

TEST(ModelDocumentWriter, KeepsAwkwardTextAndAmbiguousNames) {
  Model model("Odd \"one\"", "Logical View");
  Class& top = model.AddClass(model.Root(), "X");
  Package& shadow = model.AddPackage(model.Root(), "Logical View");
  Class& nested = model.AddClass(shadow, "X");
  Class& user = model.AddClass(model.Root(), "Us\xC3\xA9r\\");
  model.AddInheritance(user, nested);
  model.AddRealization(user, top);
  user.SetToolProperty("B", "one", "line1\nline2\t\"q\"");
  user.SetToolProperty("B", "three", "\xF0\x9F\x98\x80");
  user.SetToolProperty("A", "two", "");
  model.AddAttribute(user, "a").SetToolProperty("T", "n", "v");
  Operation& op = model.AddOperation(user, "op");
  model.AddParameter(op, "", "long");  // an unnamed parameter
  op.SetStatic(true);
  op.SetVisibility(OperationVisibility::kProtected);
  user.SetAbstract(true);
  user.AddLiteral("ONE");

  const auto reloaded = ParseModelDocument(FormatModelDocument(model), "odd.json");
  EXPECT_EQ(Dump(*reloaded), Dump(model));
  const Class* again = reloaded->FindClass("Us\xC3\xA9r\\");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Inherits().at(0)->GetQualifiedName(), "Logical View::Logical View::X");
  EXPECT_EQ(again->AttributeList().at(0)->GetPropertyValue("T", "n"), "v");
}

TEST(ModelDocumentWriter, GroupsPropertiesByToolKeepingTheOrderWithinEach) {
  Model model("M");
  model.SetToolProperty("B", "one", "1");
  model.SetToolProperty("A", "two", "2");
  model.SetToolProperty("B", "three", "3");
  const auto reloaded = ParseModelDocument(FormatModelDocument(model), "m.json");
  std::vector<std::string> order;
  for (const auto& p : reloaded->ToolProperties()) order.push_back(p->Tool() + "." + p->Name() + "=" + p->Value());
  EXPECT_EQ(order, (std::vector<std::string>{"B.one=1", "B.three=3", "A.two=2"}));
}

TEST(ModelDocumentWriter, RefusesTextADocumentCannotCarryAndLeavesNoFile) {
  Model model("M");
  model.AddClass(model.Root(), "bad\xFF");
  const test::TempDir dir("refuse");
  EXPECT_EQ(test::ErrorNumberOf([&] { SaveModelDocument(model, (dir / "m.json").string()); }), errc::kInvalidCall);
  EXPECT_TRUE(fs::is_empty(dir));
  Model good("M");
  EXPECT_THROW(SaveModelDocument(good, (dir / "no" / "m.json").string()), ZtError);
  EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
}  // namespace zt::wb
