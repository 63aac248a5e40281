#include "generators/EJBGenerator.h"

#include <algorithm>

#include "generators/GeneratorTestBase.h"
#include "generators/InlineEJBGenerator.h"

namespace zt {
namespace {

using test::GeneratorTest;

TEST_F(GeneratorTest, RemoteInterfaceOperationsOfAnEntityBean) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  // A session bean's getter (Teller::getRate) is a business method.
  const std::vector<std::pair<std::string, OperationType>> types{{"Account::getBalance", optGetter},
                                                                 {"Account::setBalance", optSetter},
                                                                 {"Account::GetBalance", optBusiness},
                                                                 {"Account::transfer", optBusiness},
                                                                 {"Teller::getRate", optBusiness}};
  for (const auto& [op, type] : types) EXPECT_EQ(ejb.GetOperationType(Op("bank::core::" + op)), type) << op;
  EXPECT_FALSE(processor_.Run().EjbOperationFlag);
  // No entity bean in the package: business methods all.
  helper_.entity.clear();
  EXPECT_EQ(ejb.GetOperationType(Op("bank::core::Account::getBalance")), optBusiness);
}

TEST_F(GeneratorTest, HomeInterfaceOperationsSetTheFlag) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  EXPECT_EQ(ejb.GetOperationType(Op("bank::core::AccountHome::createX")), optFinder);
  EXPECT_TRUE(processor_.Run().EjbOperationFlag);
  processor_.Run().EjbOperationFlag = false;
  EXPECT_EQ(ejb.GetOperationType(Op("bank::core::AccountHome::findByKey")), optFinder);
  EXPECT_EQ(ejb.GetOperationType(Op("bank::core::AccountHome::create")), optCreate);
  EXPECT_EQ(ejb.GetOperationType(Op("bank::core::AccountHome::remove")), optCreate);
  EXPECT_TRUE(processor_.Run().EjbOperationFlag);

  processor_.Run().EjbOperationFlag = false;
  EXPECT_EQ(ejb.GetOperationType(Op("bank::core::Shape::area")), optNone);
  EXPECT_FALSE(processor_.Run().EjbOperationFlag);
  EXPECT_EQ(ejb.TemplatePropertyName(optNone), "");
  EXPECT_EQ(ejb.TemplatePropertyDefault(optNone), "");
}

TEST_F(GeneratorTest, ClassificationErrorsAreReported) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  helper_.remoteOf.erase("Account");  // the remote interface's name cannot be read
  EXPECT_EQ(ejb.GetOperationType(Op("bank::core::Account::getBalance")), optNone);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            "[Verimos]--[Unit Test]: An error occurred during generation of "
                            "Logical View::bank::core::Account::getBalance:",
                            "[Verimos]--[Unit Test]: Error Number:  91, Object variable or With block variable not set"}));
}

TEST_F(GeneratorTest, TemplatePropertiesByKind) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  InlineEJBGenerator inlineEjb;
  inlineEjb.Init(nullptr, &processor_);
  const std::pair<OperationType, std::string> expected[] = {
      {optCreate, "EJBCreateTemplate"}, {optFinder, "EJBFinderTemplate"}, {optGetter, "EJBGetterTemplate"},
      {optSetter, "EJBSetterTemplate"}, {optBusiness, "EJBBusinessTemplate"}, {optNone, ""}, {6, ""}, {-1, ""}};
  for (const auto& [type, name] : expected) {
    EXPECT_EQ(ejb.TemplatePropertyName(type), name);
    EXPECT_EQ(inlineEjb.TemplatePropertyName(type), name);
    EXPECT_EQ(inlineEjb.TemplatePropertyDefault(type), ejb.TemplatePropertyDefault(type));
  }
  EXPECT_EQ(ejb.TemplatePropertyDefault(optCreate),
            "$PWTTEMPLATES\\Unit Test Templates\\EJB\\Websphere\\Create Methods\\websphere_home.template");
  EXPECT_EQ(ejb.TemplatePropertyDefault(optGetter),
            "$PWTTEMPLATES\\Unit Test Templates\\EJB\\Websphere\\Getter Methods\\websphere_remote.template");
  EXPECT_EQ(inlineEjb.TemplateSelectionFilter(), "Template Files(Java) (*.template)|*.template|All Files (*.*)|*.*||");
  EXPECT_EQ(inlineEjb.TemplateSelectionCaption(), "Corvant Verimos - Select Unit Test Template");
  EXPECT_EQ(inlineEjb.GetDataStoreScriptType(), 0);
  // Nothing set in the model: the default of the operation's kind.
  EXPECT_EQ(ejb.GetTemplatePath(Op("bank::core::AccountHome::findByKey")),
            "$PWTTEMPLATES\\Unit Test Templates\\EJB\\Websphere\\Finder Methods\\websphere_home.template");
}

TEST_F(GeneratorTest, ValidityByClassType) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  InlineEJBGenerator inlineEjb;
  inlineEjb.Init(nullptr, &processor_);
  EXPECT_TRUE(*ejb.IsValidOperationForGeneration(Op("bank::core::Account::getBalance")));  // extends EJBObject
  EXPECT_TRUE(*ejb.IsValidOperationForGeneration(Op("bank::core::AccountHome::create")));
  EXPECT_TRUE(*ejb.IsValidOperationForGeneration(Op("Top::ping")));
  EXPECT_FALSE(*ejb.IsValidOperationForGeneration(Op("bank::core::Bean2::go")));  // a session bean class
  EXPECT_FALSE(*ejb.IsValidOperationForGeneration(Op("bank::core::Cashier::pay")));
  EXPECT_TRUE(*inlineEjb.IsValidOperationForGeneration(Op("bank::core::Cashier::pay")));
  EXPECT_FALSE(*inlineEjb.IsValidOperationForGeneration(Op("bank::core::Account::getBalance")));
  EXPECT_FALSE(*ejb.IsValidOperationForGeneration(nullptr));
}

TEST_F(GeneratorTest, PrimaryKeyNames) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  EXPECT_EQ(ejb.MakePrimaryKeyClassName(Class("bank::core::AccountHome")), "AccountPK");
  EXPECT_EQ(ejb.MakePrimaryKeyClassName(Class("bank::core::AccountBean")), "AccountBeanPK");
  EXPECT_EQ(ejb.MakePrimaryKeyClassName(Class("bank::core::Home")), "PK");
  EXPECT_EQ(ejb.MakePrimaryKeyClassName(nullptr), "");
}

TEST_F(GeneratorTest, CreateMethodWithoutParameters) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  TesselOperation* create = ejb.FindHomeCreateOperation(Class("bank::core::Account"));
  ASSERT_NE(create, nullptr);
  EXPECT_EQ(create->Parameters()->Count(), 0) << "create(String) comes first and is passed over";
  EXPECT_EQ(ejb.FindHomeCreateOperation(Class("bank::core::Teller")), nullptr);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            "[Verimos]--[Unit Test]: WARNING... could not find a create method in the class TellerHome"}));
}

TEST_F(GeneratorTest, AllTagsOfABusinessMethod) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  TesselOperation* transfer = Op("bank::core::Account::transfer");
  ejb.GetTemplatePath(transfer);
  auto map = ejb.CalculateTemplateParams(transfer, &store_);
  ASSERT_NE(map, nullptr);
  const std::vector<std::string> keys = {
      "<$Author$>", "<$Extra$>", "<generation_date>", "<test_name>", "<datapool_name>", "<index>", "<root_package>",
      "<package_name>", "<class_name>", "<operation_name>", "<method_name>", "<check_expected_result>",
      "<method_declaration>", "<method_call>", "<return_type>", "<return_declaration>", "<return_assignment>",
      "<parameter_declarations>", "<parameter_initialization>", "<datapool_init>", "<parameter_list>",
      "<operation_arglist>", "<remote_interface_name>", "<home_interface_name>", "<primary_key_class_name>",
      "<createparam_declaration>", "<createparam_init>", "<create_params>", "<keyvalue_declaration>",
      "<keyvalue_init>", "<key_params>", "<author_name>", "<expectedreturn_equals_actualreturn>"};
  EXPECT_EQ(map->Keys(), keys);
  EXPECT_EQ(Text(*map, "<$Author$>"), "j") << "the later tool's value wins, in the first one's place";
  EXPECT_EQ(Text(*map, "<test_name>"), "Accounttransfer");
  EXPECT_EQ(Text(*map, "<datapool_name>"), "Account_transfer");
  EXPECT_EQ(Text(*map, "<package_name>"), "bank.core");
  EXPECT_EQ(Text(*map, "<method_declaration>"), "boolean transfer(Account to, double arg2)");
  EXPECT_EQ(Text(*map, "<method_call>"), "transfer(to, arg2)");
  EXPECT_EQ(Text(*map, "<return_declaration>"), "boolean actualReturn = false;");
  EXPECT_EQ(Text(*map, "<return_assignment>"), "actualReturn = ");
  EXPECT_EQ(Text(*map, "<parameter_declarations>"),
            "Account to = null;\r\ndouble arg2 = 0.0;\r\nboolean expectedReturn = false;");
  EXPECT_EQ(Text(*map, "<parameter_list>"), "to, arg2");
  EXPECT_EQ(Text(*map, "<remote_interface_name>"), "Account");
  EXPECT_EQ(Text(*map, "<home_interface_name>"), "AccountHome");
  EXPECT_EQ(Text(*map, "<primary_key_class_name>"), "AccountPK");
  EXPECT_EQ(Text(*map, "<createparam_declaration>"), "");
  EXPECT_EQ(Text(*map, "<create_params>"), "");
  EXPECT_EQ(Text(*map, "<keyvalue_declaration>"), "") << "AccountPK() has no parameters";
  EXPECT_EQ(Text(*map, "<author_name>"), "tester");
  EXPECT_EQ(Text(*map, "<expectedreturn_equals_actualreturn>"), "(expectedReturn == actualReturn)");
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(GeneratorTest, HomeOperationsAreNotUnderTest) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  TesselOperation* find = Op("bank::core::AccountHome::findByKey");
  ejb.GetTemplatePath(find);
  auto map = ejb.CalculateTemplateParams(find, &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(Text(*map, "<parameter_declarations>"), "AccountPK key = null;") << "no expectedReturn";
}

TEST_F(GeneratorTest, SessionBeanWithoutKeyAndHomeWithoutCreate) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  auto map = ejb.CalculateTemplateParams(Op("bank::core::Teller::getRate"), &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(Text(*map, "<primary_key_class_name>"), "");
  for (const std::string tag : {"createparam_declaration", "createparam_init", "create_params"})
    EXPECT_EQ(Text(*map, "<" + tag + ">"), "<" + tag + ": Failed to find home.create operation.>");
  for (const std::string tag : {"keyvalue_declaration", "keyvalue_init", "key_params"})
    EXPECT_EQ(Text(*map, "<" + tag + ">"), "<" + tag + ": Failed to find key create operation.>");
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            "[Verimos]--[Unit Test]: WARNING... could not find a create method in the class TellerHome",
                            "[Verimos]--[Unit Test]: WARNING... could not find the primary key class."}));
}

TEST_F(GeneratorTest, NoHomeNoBeanInTheRootPackage) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  TesselOperation* ping = Op("Top::ping");
  auto map = ejb.CalculateTemplateParams(ping, &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(Text(*map, "<package_name>"), "");
  EXPECT_EQ(Text(*map, "<home_interface_name>"), "");
  EXPECT_EQ(Text(*map, "<primary_key_class_name>"), "");
  EXPECT_EQ(Text(*map, "<key_params>"), "<key_params: Failed to find key create operation.>");
  // The home interface is unknown, so the warning names none; no bean, no key warning.
  EXPECT_EQ(log_.lines,
            (std::vector<std::string>{"[Verimos]--[Unit Test]: WARNING... could not find the home interface class "}));
  EXPECT_EQ(ejb.GetTestCodePath(ping, &store_), "unittests\\\\Topping.java");
  store_.suffix = "1";
  EXPECT_EQ(ejb.GetTestCodePath(Op("bank::core::Account::getBalance"), &store_),
            "unittests\\bank\\core\\AccountgetBalance1.java");
}

TEST_F(GeneratorTest, KeyClassWithOnlyParameterConstructors) {
  helper_.keyOf = {{"TellerBean", "TellerPK"}};
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  auto map = ejb.CalculateTemplateParams(Op("bank::core::Teller::getRate"), &store_);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(Text(*map, "<primary_key_class_name>"), "TellerPK");
  EXPECT_EQ(Text(*map, "<keyvalue_init>"), "<keyvalue_init: Failed to find key create operation.>");
  EXPECT_EQ(log_.lines.back(),
            "[Verimos]--[Unit Test]: WARNING... could not find the primary key constructor in the class TellerPK");
}

TEST_F(GeneratorTest, CalculationErrorsGiveNoMap) {
  EJBGenerator ejb;
  ejb.Init(nullptr, &processor_);
  helper_.remoteOf.clear();
  EXPECT_EQ(ejb.CalculateTemplateParams(Op("bank::core::Account::transfer"), &store_), nullptr);
  ASSERT_EQ(log_.lines.size(), 2u);
  EXPECT_EQ(log_.lines[0],
            "[Verimos]--[Unit Test]: An error occurred during generation of Logical View::bank::core::Account::transfer:");
}

TEST_F(GeneratorTest, InlineBeanWithoutHomeAndWithoutReturnType) {
  helper_.remoteOf["Cashier"] = "Cashier";
  InlineEJBGenerator inlineEjb;
  inlineEjb.Init(nullptr, &processor_);
  auto map = inlineEjb.CalculateTemplateParams(Op("bank::core::Cashier::pay"), &store_);
  ASSERT_NE(map, nullptr);
  // No return type: nothing to declare, compare or read as the expected result.
  EXPECT_EQ(Text(*map, "<return_type>"), "");
  EXPECT_EQ(Text(*map, "<return_declaration>"), "");
  EXPECT_EQ(Text(*map, "<parameter_declarations>"), "");
  EXPECT_EQ(Text(*map, "<expectedreturn_equals_actualreturn>"), "true");
  EXPECT_EQ(Text(*map, "<home_interface_name>"), "");
  // The warning names no class, and nothing else is logged of it.
  ASSERT_GE(log_.lines.size(), 1u);
  EXPECT_EQ(log_.lines[0], "[Verimos]--[Unit Test]: WARNING... could not find the home interface class ");
  EXPECT_EQ(std::count_if(log_.lines.begin(), log_.lines.end(),
                          [](const std::string& line) { return line.find("home interface") != std::string::npos; }),
            1);
}

TEST_F(GeneratorTest, UntypedParameterIsTheJavaBackEndsError) {
  // A COM class's empty type reaches the method declaration, which refuses
  // it; a Java class's would become "void", and is refused with the same error.
  helper_.remote.insert("Wire");
  helper_.remoteOf["Wire"] = "Wire";
  for (const std::string name : {"Wire::send", "bank::core::Loose::take"}) {
    log_.lines.clear();
    EJBGenerator ejb;
    ejb.Init(nullptr, &processor_);
    EXPECT_EQ(ejb.CalculateTemplateParams(Op(name), &store_), nullptr) << name;
    EXPECT_EQ(log_.lines,
              (std::vector<std::string>{
                  "[Verimos]--[Unit Test]: An error occurred during generation of Logical View::" + name + ":",
                  "[Verimos]--[Unit Test]: Error Number:  1, No parameter datatype specified."}));
  }
}

TEST_F(GeneratorTest, InitOnlyOnce) {
  EJBGenerator ejb;
  TemplateProcessor* first = reinterpret_cast<TemplateProcessor*>(0x10);
  ejb.Init(nullptr, first);
  ejb.Init(nullptr, nullptr);
  EXPECT_EQ(ejb.Processor(), first);
  InlineEJBGenerator inlineEjb;
  inlineEjb.Init(nullptr, first);
  inlineEjb.Init(nullptr, nullptr);
  EXPECT_EQ(inlineEjb.Inner().Processor(), first);
}

}  // namespace
}  // namespace zt
