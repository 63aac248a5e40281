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
  ASSERT_EQ(map->Count(), 23);
  EXPECT_EQ(map->Keys().front(), "<generation_date>");
  EXPECT_EQ(map->Keys().back(), "<create_params>");
  EXPECT_EQ(Text(*map, "<package_name>"), "bank\\core");
  EXPECT_EQ(Text(*map, "<return_type>"), "");
  EXPECT_EQ(Text(*map, "<return_declaration>"), " actualReturn = null;") << "an empty type is no void";
  EXPECT_EQ(Text(*map, "<method_declaration>"), "void area()");
  EXPECT_EQ(Text(*map, "<parameter_declarations>"), " expectedReturn = null;");
  EXPECT_EQ(Text(*map, "<parameter_list>"), "");
  EXPECT_EQ(Text(*map, "<createparam_init>"), "<createparam_init: Error>");
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
