#include "generators/GenericJavaGenerator.h"

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
  ASSERT_EQ(map->Count(), 24);
  EXPECT_EQ(map->Keys().front(), "<generation_date>");
  EXPECT_EQ(map->Keys()[22], "<create_params>");
  EXPECT_EQ(map->Keys().back(), "<java_package_name>");
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

}  // namespace
}  // namespace zt
