#include "generators/GenericJavaGenerator.h"

#include <fstream>
#include <sstream>

#include "TestUtil.h"
#include "generators/GeneratorTestBase.h"

namespace zt {
namespace {

using test::GeneratorTest;

TEST_F(GeneratorTest, JavaValidity) {
  GenericJavaGenerator java;
  EXPECT_TRUE(*java.IsValidOperationForGeneration(Op("bank::core::Account::getBalance")))
      << "extending EJBObject keeps a class plain Java";
  EXPECT_TRUE(*java.IsValidOperationForGeneration(Op("bank::core::Util::round")))
      << "SessionBean outside javax::ejb does not count";
  EXPECT_TRUE(*java.IsValidOperationForGeneration(Op("bank::core::Util::hook"))) << "a test in its package reaches it";
  EXPECT_FALSE(*java.IsValidOperationForGeneration(Op("bank::core::Util::secret"))) << "private";
  EXPECT_FALSE(*java.IsValidOperationForGeneration(Op("bank::core::AccountPK::AccountPK"))) << "a constructor";
  EXPECT_FALSE(*java.IsValidOperationForGeneration(Op("bank::core::Bean2::go")));
  EXPECT_FALSE(*java.IsValidOperationForGeneration(Op("bank::core::Shape::area")));
  EXPECT_FALSE(*java.IsValidOperationForGeneration(Op("bank::core::Api::call")));
  EXPECT_FALSE(*java.IsValidOperationForGeneration(Op("bank::core::Cashier::pay")));
  EXPECT_FALSE(*java.IsValidOperationForGeneration(nullptr));
  EXPECT_EQ(GetEJBType(Class("bank::core::AccountBean")), "EntityBean");
  EXPECT_EQ(GetEJBType(Class("bank::core::Util")), "");
  EXPECT_EQ(java.TemplatePropertyName(optCreate), "JavaTestTemplate");
  EXPECT_EQ(java.TemplatePropertyName(77), "JavaTestTemplate");
  EXPECT_EQ(java.TemplatePropertyDefault(optCreate), "");
}

TEST_F(GeneratorTest, JavaTagsOfAnOperationWithoutParameters) {
  GenericJavaGenerator java;
  auto map = java.CalculateTemplateParams(Op("bank::core::Shape::area"), &store_);
  ASSERT_NE(map, nullptr);
  ASSERT_EQ(map->Count(), 30);
  EXPECT_EQ(map->Keys().front(), "<generation_date>");
  EXPECT_EQ(map->Keys()[22], "<create_params>");
  EXPECT_EQ(map->Keys()[23], "<java_package_name>");
  EXPECT_EQ(std::vector<std::string>(map->Keys().begin() + 24, map->Keys().end()),
            (std::vector<std::string>{"<java_imports>", "<java_object_under_test>", "<java_call_target>",
                                      "<java_parameter_declarations>", "<java_parameter_initialization>",
                                      "<java_check_expected_result>"}));
  EXPECT_EQ(Text(*map, "<package_name>"), "bank\\core");
  EXPECT_EQ(Text(*map, "<java_package_name>"), "bank.core");
  // No return type: the operation returns nothing, and no variable is declared without a type.
  EXPECT_EQ(Text(*map, "<return_type>"), "");
  EXPECT_EQ(Text(*map, "<return_declaration>"), "");
  EXPECT_EQ(Text(*map, "<return_assignment>"), "");
  EXPECT_EQ(Text(*map, "<method_declaration>"), "void area()");
  EXPECT_EQ(Text(*map, "<parameter_declarations>"), "");
  EXPECT_EQ(Text(*map, "<check_expected_result>"),
            "TestLog.message(\"Expected result\", KTS_LOG_RESULT_PASS, \"Call to area was successful.\");\r\n");
  EXPECT_EQ(Text(*map, "<parameter_list>"), "");
  EXPECT_EQ(Text(*map, "<createparam_init>"), "<createparam_init: Error>");
  auto top = java.CalculateTemplateParams(Op("Top::ping"), &store_);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(Text(*top, "<java_package_name>"), "") << "the root package";
}

TEST_F(GeneratorTest, JavaRefusesWhatCannotCompile) {
  GenericJavaGenerator java;
  // A constructor, and an operation with a parameter without a type.
  EXPECT_EQ(java.CalculateTemplateParams(Op("bank::core::AccountPK::AccountPK", 1), &store_), nullptr);
  EXPECT_EQ(java.CalculateTemplateParams(Op("bank::core::Loose::take"), &store_), nullptr);
  EXPECT_EQ(log_.lines,
            (std::vector<std::string>{
                "[Verimos]--[Unit Test]: An error occurred while attempting to calculate the template "
                "parameters for Java generation.",
                "[Verimos]--[Unit Test]: Error Number:  5, Logical View::bank::core::AccountPK::AccountPK is a "
                "constructor: a Java test cannot call it on an object it has made.",
                "[Verimos]--[Unit Test]: An error occurred while attempting to calculate the template "
                "parameters for Java generation.",
                "[Verimos]--[Unit Test]: Error Number:  1, No parameter datatype specified."}));
}

TEST_F(GeneratorTest, JavaVoidOperationHasNoReturnTexts) {
  GenericJavaGenerator java;
  auto map = java.CalculateTemplateParams(Op("bank::core::Account::setBalance"), &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(Text(*map, "<return_declaration>"), "");
  EXPECT_EQ(Text(*map, "<return_assignment>"), "");
  EXPECT_EQ(Text(*map, "<check_expected_result>"),
            "TestLog.message(\"Expected result\", KTS_LOG_RESULT_PASS, \"Call to setBalance was successful.\");\r\n");
  EXPECT_EQ(Text(*map, "<datapool_init>"), "balance = dp.value(\"balance\").doubleValue();");
}

TEST_F(GeneratorTest, ToolPropertyTagsComeFirst) {
  ParamMap map;
  AddToolPropertyTags(Op("bank::core::Account::transfer"), "Testability", &map);
  AddToolPropertyTags(Op("bank::core::Account::transfer"), "Java", &map);
  AddToolPropertyTags(Op("bank::core::Account::transfer"), "Java", nullptr);
  EXPECT_EQ(map.Keys(), (std::vector<std::string>{"<$Author$>", "<$Extra$>"}));
}

// The tags the bundled templates use beyond the generator's own, for each
// shape of operation of the library in tests/data/java-library.
struct OwnTags {
  const char* name;
  const char* operation;
  size_t overload;
  const char* imports;
  const char* objectUnderTest;
  const char* callTarget;
  const char* declarations;
  const char* initialization;
};

class JavaOwnTags : public ::testing::TestWithParam<OwnTags> {
 protected:
  void SetUp() override {
    std::ifstream file(std::string(ZT_TEST_DATA_DIR) + "/java-library/shop.json");
    std::stringstream text;
    text << file.rdbuf();
    model_ = wb::ParseModelDocument(text.str(), "shop.json");
    for (TesselClass* c : *model_->Root().AllClasses()) dynamic_cast<wb::Class&>(*c).SetLanguage("Java");
  }
  std::unique_ptr<wb::Model> model_;
  test::FakeStore store_;
  test::RecordingApplication log_;
  test::ScriptedModelHelper helper_;
  test::ScriptedComponents components_{helper_};
  test::ComponentsInstalled installed_{components_, &log_};
};

TEST_P(JavaOwnTags, MakeTheObjectReadEveryTypeAndImport) {
  const OwnTags& c = GetParam();
  auto* op = dynamic_cast<TesselOperation*>(model_->Find(c.operation).at(c.overload));
  GenericJavaGenerator java;
  ASSERT_TRUE(*java.IsValidOperationForGeneration(op));
  auto map = java.CalculateTemplateParams(op, &store_);
  ASSERT_NE(map, nullptr) << log_.lines.front();
  const auto text = [&](const char* tag) { return ToText(map->Item(tag)); };
  EXPECT_EQ(text("<java_imports>"), c.imports);
  EXPECT_EQ(text("<java_object_under_test>"), c.objectUnderTest);
  EXPECT_EQ(text("<java_call_target>"), c.callTarget);
  EXPECT_EQ(text("<java_parameter_declarations>"), c.declarations);
  EXPECT_EQ(text("<java_parameter_initialization>"), c.initialization);
}

INSTANTIATE_TEST_SUITE_P(
    Library, JavaOwnTags,
    ::testing::Values(
        // Static, variable arity: called on the class, the varargs read as an array.
        OwnTags{"Texts_join", "shop::util::Texts::join", 0, "", "// none: join is static, called on its class", "Texts",
                "String separator = null;\r\nString[] parts = null;\r\nString expectedReturn = null;",
                "separator = dp.value(\"separator\").stringValue();\r\n"
                "parts = dp.value(\"parts\").as(new ztunittest.runtime.TypeOf<String[]>() {});\r\n"
                "expectedReturn = dp.value(\"expectedReturn\").stringValue();"},
        // Generic types and the java.util type they name.
        OwnTags{"Texts_histogram", "shop::util::Texts::histogram", 0, "import java.util.Map;",
                "// none: histogram is static, called on its class", "Texts",
                "String[] words = null;\r\nMap<String, Integer> expectedReturn = null;",
                "words = dp.value(\"words\").as(new ztunittest.runtime.TypeOf<String[]>() {});\r\n"
                "expectedReturn = dp.value(\"expectedReturn\").as(new ztunittest.runtime.TypeOf<Map<String, "
                "Integer>>() {});"},
        // A class of another package, and a java.time type.
        OwnTags{"Texts_currencyOf", "shop::util::Texts::currencyOf", 0, "import shop.money.Currency;",
                "// none: currencyOf is static, called on its class", "Texts",
                "String code = null;\r\nCurrency expectedReturn = null;",
                "code = dp.value(\"code\").stringValue();\r\n"
                "expectedReturn = dp.value(\"expectedReturn\").as(new ztunittest.runtime.TypeOf<Currency>() {});"},
        OwnTags{"Texts_nextDay", "shop::util::Texts::nextDay", 0, "import java.time.LocalDate;",
                "// none: nextDay is static, called on its class", "Texts",
                "LocalDate day = null;\r\nLocalDate expectedReturn = null;",
                "day = dp.value(\"day\").as(new ztunittest.runtime.TypeOf<LocalDate>() {});\r\n"
                "expectedReturn = dp.value(\"expectedReturn\").as(new ztunittest.runtime.TypeOf<LocalDate>() {});"},
        // No constructor in the model: new Counter(); boxed varargs.
        OwnTags{"Counter_add", "shop::util::Counter::add", 0, "", "Counter testObject = new Counter();", "testObject",
                "Integer[] steps = null;\r\nint expectedReturn = 0;",
                "steps = dp.value(\"steps\").as(new ztunittest.runtime.TypeOf<Integer[]>() {});\r\n"
                "expectedReturn = dp.value(\"expectedReturn\").intValue();"},
        // The constructor with the fewest parameters, its arguments from fields
        // of their own; a class of another package as its parameter.
        OwnTags{"Orderline_total", "shop::Orderline::total", 0, "import shop.money.Money;",
                "String product_New = dp.value(\"product_New\").stringValue();\r\n"
                "int quantity_New = dp.value(\"quantity_New\").intValue();\r\n"
                "Money price_New = dp.value(\"price_New\").as(new ztunittest.runtime.TypeOf<Money>() {});\r\n"
                "Orderline testObject = new Orderline(product_New, quantity_New, price_New);",
                "testObject", "Money expectedReturn = null;",
                "expectedReturn = dp.value(\"expectedReturn\").as(new ztunittest.runtime.TypeOf<Money>() {});"},
        // The constructor the model marks, not the one with fewer parameters.
        OwnTags{"Customer_getId", "shop::Customer::getId", 0, "",
                "String name_New = dp.value(\"name_New\").stringValue();\r\n"
                "int id_New = dp.value(\"id_New\").intValue();\r\n"
                "Customer testObject = new Customer(name_New, id_New);",
                "testObject", "int expectedReturn = 0;", "expectedReturn = dp.value(\"expectedReturn\").intValue();"},
        // Classes of the test's own package need no import; a void overload.
        OwnTags{
            "Order_add", "shop::Order::add", 0, "",
            "Customer customer_New = dp.value(\"customer_New\").as(new ztunittest.runtime.TypeOf<Customer>() {});\r\n"
            "Order testObject = new Order(customer_New);",
            "testObject", "Orderline line = null;",
            "line = dp.value(\"line\").as(new ztunittest.runtime.TypeOf<Orderline>() {});"},
        OwnTags{
            "Order_total", "shop::Order::total", 0, "import shop.money.Currency;\r\nimport shop.money.Money;",
            "Customer customer_New = dp.value(\"customer_New\").as(new ztunittest.runtime.TypeOf<Customer>() {});\r\n"
            "Order testObject = new Order(customer_New);",
            "testObject", "Currency currency = null;\r\nMoney expectedReturn = null;",
            "currency = dp.value(\"currency\").as(new ztunittest.runtime.TypeOf<Currency>() {});\r\n"
            "expectedReturn = dp.value(\"expectedReturn\").as(new ztunittest.runtime.TypeOf<Money>() {});"},
        // BigDecimal is read as the generator reads it, and imported.
        OwnTags{
            "Money_getAmount", "shop::money::Money::getAmount", 0, "import java.math.BigDecimal;",
            "BigDecimal amount_New = dp.value(\"amount_New\").getBigDecimal();\r\n"
            "Currency currency_New = dp.value(\"currency_New\").as(new ztunittest.runtime.TypeOf<Currency>() {});\r\n"
            "Money testObject = new Money(amount_New, currency_New);",
            "testObject", "BigDecimal expectedReturn = null;",
            "expectedReturn = dp.value(\"expectedReturn\").getBigDecimal();"}),
    test::CaseName());

TEST_F(JavaOwnTags, ChecksCompareByValueAndLeaveTheGeneratorsOwnTagsAlone) {
  GenericJavaGenerator java;
  auto map = java.CalculateTemplateParams(dynamic_cast<TesselOperation*>(model_->Find("shop::Customer::getId").at(0)),
                                          &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(
      ToText(map->Item("<java_check_expected_result>")),
      "if (ztunittest.runtime.Results.same(expectedReturn, actualReturn))\r\n"
      "    TestLog.message(\"Expected result\", KTS_LOG_RESULT_PASS, \"Call to getId returned expected value\");\r\n"
      "else\r\n"
      "    TestLog.message(\"Unexpected result\", KTS_LOG_RESULT_FAIL, \"Call to getId returned unexpected value, \" + "
      "ztunittest.runtime.DatapoolValue.text(actualReturn) + \".\");");
  auto join = java.CalculateTemplateParams(
      dynamic_cast<TesselOperation*>(model_->Find("shop::util::Texts::join").at(0)), &store_);
  ASSERT_NE(join, nullptr);
  EXPECT_EQ(ToText(join->Item("<datapool_init>")),
            "separator = dp.value(\"separator\").toString();\r\nparts = Provide initialization code here.\r\n"
            "expectedReturn = dp.value(\"expectedReturn\").toString();")
      << "the generator's own tags keep their texts";
  auto add =
      java.CalculateTemplateParams(dynamic_cast<TesselOperation*>(model_->Find("shop::Order::add").at(0)), &store_);
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(ToText(add->Item("<java_check_expected_result>")),
            "TestLog.message(\"Expected result\", KTS_LOG_RESULT_PASS, \"Call to add was successful.\");\r\n");
}

TEST_F(JavaOwnTags, TakesWhatATestCanCall) {
  GenericJavaGenerator java;
  std::string taken;
  for (TesselClass* t : *model_->Root().AllClasses()) {
    const auto* c = dynamic_cast<wb::Class*>(t);
    for (wb::Operation* o : c->OperationList()) {
      if (*java.IsValidOperationForGeneration(o)) continue;
      taken += (taken.empty() ? "" : " ") + c->Name() + "::" + o->Name();
    }
  }
  EXPECT_EQ(taken,
            "Customer::Customer Customer::Customer Orderline::Orderline Order::Order Order::clear Priced::price "
            "Money::Money Texts::Texts Texts::pad Numbers::Numbers")
      << "constructors, private operations and an interface's are not taken";
  auto single = wb::ParseModelDocument(R"({"classes": [{"name": "Single", "language": "Java", "operations": [
      {"name": "Single", "visibility": "private"}, {"name": "get", "static": true}, {"name": "work"}]}]})",
                                       "single.json");
  EXPECT_TRUE(*java.IsValidOperationForGeneration(dynamic_cast<TesselOperation*>(single->Find("Single::get").at(0))));
  EXPECT_FALSE(*java.IsValidOperationForGeneration(dynamic_cast<TesselOperation*>(single->Find("Single::work").at(0))))
      << "an object whose constructors are all private cannot be made";
}

// A nested class, "Outer.Builder" as the XMI reader names it: its
// constructor is one, Java names it with its outer class, a test of another
// package imports the outer class, and the test's own name has no dot.
TEST_F(JavaOwnTags, NestedClassesAreNamedThroughTheirOuterClass) {
  auto nested = wb::ParseModelDocument(R"({"packages": [
      {"name": "lib", "classes": [{"name": "Outer", "language": "Java"},
        {"name": "Outer.Builder", "language": "Java", "operations": [
          {"name": "Builder", "parameters": [{"name": "name", "type": "String"}]},
          {"name": "build", "returnType": "Outer"},
          {"name": "of", "static": true, "returnType": "Outer.Builder"}]}]},
      {"name": "app", "classes": [{"name": "User", "language": "Java", "operations": [
          {"name": "use", "parameters": [{"name": "b", "type": "Outer.Builder"}]},
          {"name": "name", "parameters": [{"name": "l", "type": "java.util.List<String>"}]}]}]}]})",
                                       "nested.json");
  const auto op = [&](const char* name) { return dynamic_cast<TesselOperation*>(nested->Find(name).at(0)); };
  GenericJavaGenerator java;
  EXPECT_FALSE(*java.IsValidOperationForGeneration(op("lib::Outer.Builder::Builder"))) << "its constructor";
  auto build = java.CalculateTemplateParams(op("lib::Outer.Builder::build"), &store_);
  ASSERT_NE(build, nullptr);
  EXPECT_EQ(ToText(build->Item("<test_name>")), "OuterBuilderbuild");
  EXPECT_EQ(ToText(build->Item("<class_name>")), "Outer.Builder");
  EXPECT_EQ(ToText(build->Item("<java_object_under_test>")),
            "String name_New = dp.value(\"name_New\").stringValue();\r\n"
            "Outer.Builder testObject = new Outer.Builder(name_New);");
  EXPECT_EQ(ToText(build->Item("<java_imports>")), "");
  EXPECT_EQ(ToText(build->Item("<java_package_name>")), "lib");
  EXPECT_EQ(java.GetTestCodePath(op("lib::Outer.Builder::build"), &store_), "unittests\\lib\\OuterBuilderbuild.java");
  auto of = java.CalculateTemplateParams(op("lib::Outer.Builder::of"), &store_);
  ASSERT_NE(of, nullptr);
  EXPECT_EQ(ToText(of->Item("<java_call_target>")), "Outer.Builder");
  auto use = java.CalculateTemplateParams(op("app::User::use"), &store_);
  ASSERT_NE(use, nullptr);
  EXPECT_EQ(ToText(use->Item("<java_imports>")), "import lib.Outer;");
  EXPECT_EQ(ToText(use->Item("<java_parameter_declarations>")), "Outer.Builder b = null;");
  auto name = java.CalculateTemplateParams(op("app::User::name"), &store_);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(ToText(name->Item("<java_imports>")), "") << "a qualified name of no model class imports nothing";
}

}  // namespace
}  // namespace zt
