// The compiled classes behind a model: the describer's document read, type
// spellings, the comparison with a model, and the model made to give what
// the code has. (That the describer writes such documents from real classes,
// and that the tests written from them compile: tests/cli/java_classpath.sh.)
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "support/Error.h"
#include "workbench/code/CodeModel.h"
#include "workbench/documents/ModelDocument.h"

namespace zt::wb {
namespace {

TEST(CompiledClasses, TypesAsAModelAndATestSpellThem) {
  struct Case {
    const char* type;
    const char* simple;  // SimpleSpelling
    const char* erased;  // ErasedSimpleName
  };
  for (const Case& c : {
           Case{"java.util.Map<java.lang.String, java.util.List<T>>", "Map<String, List<T>>", "Map"},
           Case{"shop.Order.Line", "Order.Line", "Line"},
           Case{"int[][]", "int[][]", "int[][]"},
           Case{"String...", "String...", "String[]"},
           Case{"java.util.List<? super shop.Money>[]", "List<? super Money>[]", "List[]"},
           Case{"T", "T", "T"},
           Case{"Outer.Builder", "Outer.Builder", "Builder"},
       }) {
    EXPECT_EQ(SimpleSpelling(c.type), c.simple) << c.type;
    EXPECT_EQ(ErasedSimpleName(c.type), c.erased) << c.type;
  }
}

// A description as the describer writes it: Range<T extends Comparable<T>>
// with a generic method, and a class the class path lacks.
constexpr const char* kDescription = R"({"classes": [
{"query": "lib.Range", "found": true, "name": "lib.Range", "kind": "class", "visibility": "public",
 "abstract": false, "nested": false, "inner": false, "jdk": false,
 "typeParameters": [{"name": "T", "bound": "java.lang.Comparable<T>"}],
 "constructors": [{"visibility": "public", "static": false, "abstract": false, "varargs": false, "typeParameters": [],
   "parameters": [{"type": "T", "erasure": "java.lang.Comparable"}, {"type": "T", "erasure": "java.lang.Comparable"}],
   "throws": []}],
 "methods": [
  {"name": "fold", "visibility": "public", "static": false, "abstract": false, "varargs": false,
   "typeParameters": [{"name": "R", "bound": "java.lang.Object"}],
   "parameters": [{"type": "R", "erasure": "java.lang.Object"},
                  {"type": "java.util.function.BinaryOperator<R>", "erasure": "java.util.function.BinaryOperator"}],
   "returnType": "R", "throws": []},
  {"name": "format", "visibility": "public", "static": false, "abstract": false, "varargs": false, "typeParameters": [],
   "parameters": [{"type": "long", "erasure": "long"}], "returnType": "java.lang.String", "throws": []},
  {"name": "join", "visibility": "public", "static": true, "abstract": false, "varargs": true, "typeParameters": [],
   "parameters": [{"type": "java.lang.String[]", "erasure": "java.lang.String[]"}], "returnType": "java.lang.String",
   "throws": [{"type": "java.io.IOException", "checked": true}]},
  {"name": "secret", "visibility": "private", "static": false, "abstract": false, "varargs": false,
   "typeParameters": [], "parameters": [], "returnType": "void", "throws": []},
  {"name": "reset", "visibility": "public", "static": false, "abstract": false, "varargs": false,
   "typeParameters": [], "parameters": [], "returnType": "void", "throws": []},
  {"name": "hashCode", "visibility": "public", "static": false, "abstract": false, "varargs": false,
   "inherited": "lib.Base", "typeParameters": [], "parameters": [], "returnType": "int", "throws": []},
  {"name": "put", "visibility": "public", "static": false, "abstract": false, "varargs": false,
   "inherited": "lib.Base", "typeParameters": [], "inheritedTypeParameters": [{"name": "E", "bound": "java.lang.Number"}],
   "parameters": [{"type": "E", "erasure": "java.lang.Number"}], "returnType": "void", "throws": []}]},
{"query": "lib.Gone", "found": false}
]})";

constexpr const char* kModel = R"({"packages": [{"name": "lib", "classes": [
  {"name": "Range", "language": "Java", "operations": [
    {"name": "Range"},
    {"name": "fold", "returnType": "R", "parameters": [{"name": "seed", "type": "R"}, {"name": "step", "type": "BinaryOperator<R>"}]},
    {"name": "format", "returnType": "String", "parameters": [{"name": "millis", "type": "int"}]},
    {"name": "join", "returnType": "String", "parameters": [{"name": "parts", "type": "String..."}]},
    {"name": "secret"},
    {"name": "stop"},
    {"name": "hashCode", "returnType": "int"},
    {"name": "put", "parameters": [{"name": "e", "type": "E"}]}]},
  {"name": "Gone", "language": "Java", "operations": [{"name": "work"}]}]}]})";

std::vector<Class*> ClassesOf(Model& model) {
  std::vector<Class*> classes;
  model.Walk([&](Element& e, int) {
    if (auto* c = dynamic_cast<Class*>(&e)) classes.push_back(c);
  });
  return classes;
}

TEST(CompiledClasses, TheDescriptionIsReadAndFaultsAreRefused) {
  const std::vector<CodeClass> classes = ParseClassDescriptions(kDescription);
  ASSERT_EQ(classes.size(), 2U);
  EXPECT_EQ(classes[0].typeParameters[0].bound, "java.lang.Comparable<T>");
  EXPECT_EQ(classes[0].methods[2].thrown[0].type, "java.io.IOException");
  EXPECT_TRUE(classes[0].methods[2].thrown[0].checked);
  EXPECT_EQ(classes[0].methods[5].inheritedFrom, "lib.Base");
  EXPECT_EQ(SignatureOf(classes[0].methods[2], "Range"), "join(String...)");
  EXPECT_EQ(SignatureOf(classes[0].constructors[0], "Range"), "Range(T, T)");
  EXPECT_FALSE(classes[1].found);
  for (const char* bad : {"", "[]", R"({"classes": [{"query": "a"}]})", R"({"classes": [{"query": "a", "found": 1}]})",
                          R"({"classes": [{"query": "a", "found": true, "name": "a"}]})"}) {
    const ZtError error = test::Raised<ZtError>([&] { ParseClassDescriptions(bad); });
    EXPECT_EQ(error.Number(), 5) << bad;
    EXPECT_NE(error.Description().find("the description of the compiled classes"), std::string::npos) << bad;
  }
}

TEST(CompiledClasses, TheModelIsComparedWithTheCode) {
  auto model = ParseModelDocument(kModel, "m.json");
  const std::vector<Class*> classes = ClassesOf(*model);
  EXPECT_EQ(JavaNamesOf(classes), (std::vector<std::string>{"lib.Range", "lib.Gone"}));
  const CodeComparison comparison(classes, ParseClassDescriptions(kDescription));
  ASSERT_EQ(comparison.Classes().size(), 2U);
  std::string lines;
  for (const OperationCheck& o : comparison.Classes()[0].operations) {
    lines += o.modelSignature + " " +
             (o.status == OperationCheck::Status::kMatch     ? "same"
              : o.status == OperationCheck::Status::kMissing ? "missing"
                                                             : "differs " + o.codeSignatures) +
             "\n";
  }
  EXPECT_EQ(lines,
            "Range() differs Range(T, T)\n"
            "fold(R, BinaryOperator<R>) same\n"
            "format(int) differs format(long)\n"
            "join(String...) same\n"
            "secret() same\n"
            "stop() missing\n"
            "hashCode() same\n"
            "put(E) same\n");
  std::string extra;
  for (const CodeMember* m : comparison.Classes()[0].unmodelled) extra += SignatureOf(*m, "Range") + " ";
  EXPECT_EQ(extra, "reset() ") << "a member inherited is not the class's own; one told as differing is not repeated";
  EXPECT_EQ(comparison.Classes()[1].code, nullptr);
  EXPECT_TRUE(comparison.Differs());
}

TEST(CompiledClasses, TheModelGivesWhatTheCodeHas) {
  auto model = ParseModelDocument(kModel, "m.json");
  const CodeComparison comparison(ClassesOf(*model), ParseClassDescriptions(kDescription));
  const CodeAdjustments adjustments = ApplyTheCode(*model, comparison);
  const auto op = [&](const char* name, size_t at = 0) { return dynamic_cast<Operation*>(model->Find(name).at(at)); };
  // Real types: type variables by their bounds, java.lang by simple names,
  // varargs as "X...", static from the code.
  EXPECT_EQ(ModelSignature(*op("lib::Range::fold")), "fold(Object, java.util.function.BinaryOperator<Object>)");
  EXPECT_EQ(op("lib::Range::fold")->ReturnType(), "Object");
  EXPECT_EQ(ModelSignature(*op("lib::Range::join")), "join(String...)");
  EXPECT_TRUE(op("lib::Range::join")->IsStatic());
  EXPECT_EQ(op("lib::Range::hashCode")->Visibility(), OperationVisibility::kPublic);
  // A variable of a raw supertype, which the describer could not replace.
  EXPECT_EQ(ModelSignature(*op("lib::Range::put")), "put(Number)");
  // What a test cannot call is private in the host's model, with its reason.
  std::string refused;
  for (const char* name :
       {"lib::Range::Range", "lib::Range::format", "lib::Range::secret", "lib::Range::stop", "lib::Gone::work"}) {
    Operation* o = op(name);
    EXPECT_EQ(o->Visibility(), OperationVisibility::kPrivate) << name;
    const auto found = adjustments.refused.find(o);
    ASSERT_NE(found, adjustments.refused.end()) << name;
    refused += found->second.code + ": " + found->second.text + "\n";
  }
  EXPECT_EQ(refused,
            "signature-differs: the code has Range(T, T), the model says Range()\n"
            "signature-differs: the code has format(long), the model says format(int)\n"
            "private: it is private in the code of lib.Range, out of a test's reach\n"
            "not-in-code: the compiled class lib.Range has no stop()\n"
            "class-not-in-code: the class path has no class lib.Gone\n");
  // The object is made with the code's public constructor, added to the model.
  const Operation* made = op("lib::Range::Range", 1);
  EXPECT_EQ(made->Visibility(), OperationVisibility::kPublic);
  EXPECT_EQ(ModelSignature(*made), "Range(Comparable, Comparable)");
  EXPECT_EQ(adjustments.notes,
            (std::vector<std::string>{
                "Logical View::lib::Range::fold: the test names the type variable R as its bound java.lang.Object",
                "Logical View::lib::Range::put: the test names the type variable E as its bound java.lang.Number",
                "Logical View::lib::Range::Range: the test names the type variable T as its bound java.lang.Comparable",
                "the class path has no class lib.Gone (Logical View::lib::Gone): its operations are not taken"}));
}

TEST(CompiledClasses, ObjectsATestCannotMake) {
  // The same class as an interface, an abstract class, an inner class, and
  // one without a public constructor: its static operation is taken, the
  // others are refused for the class.
  struct Case {
    const char* what;
    const char* patch;  // replaces "\"kind\": \"class\", ..." of the description
    const char* code;
  };
  const std::string base = R"({"classes": [{"query": "lib.K", "found": true, "name": "lib.K", KIND, "jdk": false,
    "typeParameters": [], "constructors": [{"visibility": "VIS", "static": false, "abstract": false, "varargs": false,
      "typeParameters": [], "parameters": [], "throws": []}],
    "methods": [{"name": "run", "visibility": "public", "static": false, "abstract": false, "varargs": false,
      "typeParameters": [], "parameters": [], "returnType": "void", "throws": []},
     {"name": "make", "visibility": "public", "static": true, "abstract": false, "varargs": false,
      "typeParameters": [], "parameters": [], "returnType": "lib.K", "throws": []}]}]})";
  for (
      const Case& c : {
          Case{
              "an interface",
              R"("kind": "interface", "visibility": "public", "abstract": true, "nested": false, "inner": false|public)",
              "interface"},
          Case{"abstract",
               R"("kind": "class", "visibility": "public", "abstract": true, "nested": false, "inner": false|public)",
               "abstract-class"},
          Case{"inner",
               R"("kind": "class", "visibility": "public", "abstract": false, "nested": true, "inner": true|public)",
               "inner-class"},
          Case{"a private constructor",
               R"("kind": "class", "visibility": "public", "abstract": false, "nested": false, "inner": false|private)",
               "no-public-constructor"},
      }) {
    std::string patch = c.patch;
    const size_t bar = patch.find('|');
    std::string text = base;
    text.replace(text.find("KIND"), 4, patch.substr(0, bar));
    text.replace(text.find("VIS"), 3, patch.substr(bar + 1));
    auto model = ParseModelDocument(
        R"({"packages": [{"name": "lib", "classes": [{"name": "K", "language": "Java", "operations": [{"name": "run"}, {"name": "make", "returnType": "K"}]}]}]})",
        "k.json");
    const CodeComparison comparison(ClassesOf(*model), ParseClassDescriptions(text));
    const CodeAdjustments adjustments = ApplyTheCode(*model, comparison);
    ASSERT_EQ(adjustments.refused.size(), 1U) << c.what;
    EXPECT_EQ(adjustments.refused.begin()->second.code, c.code) << c.what;
    EXPECT_EQ(adjustments.refused.begin()->first, dynamic_cast<Operation*>(model->Find("lib::K::run").at(0))) << c.what;
    EXPECT_TRUE(dynamic_cast<Operation*>(model->Find("lib::K::make").at(0))->IsStatic()) << c.what;
    EXPECT_EQ(model->Find("lib::K::K").size(), 0U) << c.what << ": no constructor added for an object not made";
  }
}

}  // namespace
}  // namespace zt::wb
