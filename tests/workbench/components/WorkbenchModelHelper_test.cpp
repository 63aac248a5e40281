// The workbench's model helper: model documents in, the helper's answers
// out. One group per rule of docs/model-rules.md, the shipped examples
// first.
#include "workbench/components/WorkbenchModelHelper.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestUtil.h"
#include "fakes/FakeModel.h"
#include "generators/EJBGenerator.h"
#include "support/CommonFunctions.h"
#include "support/Error.h"
#include "template/TemplateProcessor.h"
#include "workbench/components/WorkbenchComponents.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/store/Datapools.h"

namespace zt::wb {
namespace {

class ModelHelperTest : public ::testing::Test {
 protected:
  void Load(const std::string& text) { model_ = ParseModelDocument(text, "rules.json"); }
  void LoadExample(const std::string& file) { model_ = LoadModelDocument(std::string(ZT_EXAMPLES_DIR) + "/" + file); }
  /// Loads a document whose root package holds `classes` (a JSON list body).
  void LoadClasses(const std::string& classes) { Load(R"({"classes": [)" + classes + "]}"); }

  Class* C(const std::string& name) {
    Class* found = model_->FindClass(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  Operation* Op(const std::string& qualifiedName) {
    auto found = model_->Find(qualifiedName);
    return found.empty() ? nullptr : dynamic_cast<Operation*>(found.front());
  }
  /// The name of an answer, "-" for none.
  static std::string N(TesselClass* cls) { return cls != nullptr ? cls->Name() : "-"; }
  std::string Coclasses(const std::string& interfaceName) {
    std::string names;
    for (TesselClass* c : helper_.GetCoclasses(C(interfaceName))) names += (names.empty() ? "" : ",") + c->Name();
    return names;
  }

  std::unique_ptr<Model> model_;
  WorkbenchModelHelper helper_;
};

TEST_F(ModelHelperTest, BankExampleGroupsItsBeans) {
  LoadExample("bank-ejb.json");
  for (const char* cls : {"bank::core::Account", "bank::core::AccountHome", "bank::core::AccountBean"}) {
    SCOPED_TRACE(cls);
    EXPECT_EQ(N(helper_.GetRemoteInterface(C(cls))), "Account");
    EXPECT_EQ(N(helper_.GetHomeInterface(C(cls))), "AccountHome");
    EXPECT_EQ(N(helper_.GetBeanClass(C(cls))), "AccountBean");
  }
  EXPECT_TRUE(helper_.IsRemoteInterface(C("bank::core::Account")));
  EXPECT_FALSE(helper_.IsHomeInterface(C("bank::core::Account")));
  EXPECT_TRUE(helper_.IsHomeInterface(C("bank::core::AccountHome")));
  EXPECT_FALSE(helper_.IsRemoteInterface(C("bank::core::AccountHome")));
  EXPECT_FALSE(helper_.IsRemoteInterface(C("bank::core::AccountBean")));
  EXPECT_TRUE(helper_.IsEntityBean(C("bank::core::AccountBean")));
  EXPECT_EQ(N(helper_.GetPrimaryKeyClass(C("bank::core::AccountBean"))), "AccountPK");

  // Teller and TellerHome are marked by their javax::ejb supertypes alone.
  EXPECT_TRUE(helper_.IsRemoteInterface(C("bank::core::Teller")));
  EXPECT_TRUE(helper_.IsHomeInterface(C("bank::core::TellerHome")));
  EXPECT_EQ(N(helper_.GetRemoteInterface(C("bank::core::TellerHome"))), "Teller");
  EXPECT_EQ(N(helper_.GetBeanClass(C("bank::core::TellerHome"))), "TellerBean");
  EXPECT_FALSE(helper_.IsEntityBean(C("bank::core::TellerBean")));
  EXPECT_EQ(N(helper_.GetPrimaryKeyClass(C("bank::core::TellerBean"))), "-");

  // The inline bean is its own remote interface and bean class; its home is found by name.
  TesselClass* inlineBean = C("bank::core::InterestCalculator");
  EXPECT_TRUE(helper_.IsRemoteInterface(inlineBean));
  EXPECT_EQ(helper_.GetRemoteInterface(inlineBean), inlineBean);
  EXPECT_EQ(helper_.GetBeanClass(inlineBean), inlineBean);
  EXPECT_EQ(N(helper_.GetHomeInterface(inlineBean)), "InterestCalculatorHome");
  EXPECT_FALSE(helper_.IsEntityBean(inlineBean));
}

TEST_F(ModelHelperTest, OnlyJavaxEjbSupertypesMarkAClassAndBothMarksCancel) {
  Load(R"({"packages": [
    {"name": "javax", "packages": [{"name": "ejb", "classes": [{"name": "EJBObject"}, {"name": "EJBHome"}, {"name": "EntityBean"}, {"name": "SessionBean"}]}]},
    {"name": "other", "packages": [{"name": "ejb", "classes": [{"name": "EJBObject"}]}]},
    {"name": "app", "classes": [
      {"name": "ByRealize", "realizes": ["javax::ejb::EJBObject"]},
      {"name": "WrongPackage", "inherits": ["other::ejb::EJBObject"]},
      {"name": "BothSupers", "inherits": ["javax::ejb::EJBObject", "javax::ejb::EJBHome"]},
      {"name": "StereoAndSuper", "stereotype": "EJBRemoteInterface", "inherits": ["javax::ejb::EJBHome"]},
      {"name": "BothBeans", "realizes": ["javax::ejb::EntityBean", "javax::ejb::SessionBean"]},
      {"name": "EntityBySuper", "realizes": ["javax::ejb::EntityBean"]}]}]})");
  EXPECT_TRUE(helper_.IsRemoteInterface(C("app::ByRealize")));
  EXPECT_FALSE(helper_.IsRemoteInterface(C("app::WrongPackage")));
  for (const char* both : {"app::BothSupers", "app::StereoAndSuper"}) {
    EXPECT_FALSE(helper_.IsRemoteInterface(C(both))) << both;
    EXPECT_FALSE(helper_.IsHomeInterface(C(both))) << both;
  }
  EXPECT_FALSE(helper_.IsEntityBean(C("app::BothBeans")));
  EXPECT_TRUE(helper_.IsEntityBean(C("app::EntityBySuper")));
}

TEST_F(ModelHelperTest, ConventionsStayInOnePackageAndSkipClassesMarkedOtherwise) {
  Load(R"({"packages": [
    {"name": "a", "classes": [{"name": "Order", "stereotype": "EJBRemoteInterface"},
                             {"name": "ShopHome", "stereotype": "EJBHomeInterface"},
                             {"name": "Shop", "stereotype": "EJBHomeInterface"},
                             {"name": "Home", "stereotype": "EJBHomeInterface"},
                             {"name": "Till", "stereotype": "EJBRemoteInterface"},
                             {"name": "TillHome", "stereotype": "EJBRemoteInterface"},
                             {"name": "TillBean", "stereotype": "EJBHomeInterface"},
                             {"name": "TillPK", "stereotype": "EJBEntity"}]},
    {"name": "b", "classes": [{"name": "OrderHome", "stereotype": "EJBHomeInterface"},
                             {"name": "OrderBean", "stereotype": "EJBEntity"}, {"name": "OrderPK"}]}]})");
  EXPECT_EQ(N(helper_.GetHomeInterface(C("a::Order"))), "-");
  EXPECT_EQ(N(helper_.GetBeanClass(C("a::Order"))), "-");
  EXPECT_EQ(N(helper_.GetPrimaryKeyClass(C("a::Order"))), "-");
  EXPECT_EQ(N(helper_.GetRemoteInterface(C("b::OrderHome"))), "-");
  EXPECT_EQ(N(helper_.GetPrimaryKeyClass(C("b::OrderBean"))), "OrderPK");
  // A class marked for another part of an EJB is never the answer of a convention.
  EXPECT_EQ(N(helper_.GetRemoteInterface(C("a::ShopHome"))), "-");
  EXPECT_EQ(N(helper_.GetRemoteInterface(C("a::Home"))), "-");
  EXPECT_EQ(N(helper_.GetHomeInterface(C("a::Till"))), "-");
  EXPECT_EQ(N(helper_.GetBeanClass(C("a::Till"))), "-");
  EXPECT_EQ(N(helper_.GetPrimaryKeyClass(C("a::Till"))), "-");
}

TEST_F(ModelHelperTest, ToolPropertiesWinOverConventions) {
  LoadClasses(R"(
    {"name": "Acct", "stereotype": "EJBRemoteInterface", "properties": {"EJB": {"home": "AcctFactory", "bean": "AcctImpl"}}},
    {"name": "AcctHome", "stereotype": "EJBHomeInterface", "properties": {"EJB": {"remote": "Gone", "bean": "Gone"}}},
    {"name": "AcctFactory"}, {"name": "AcctBean", "stereotype": "EJBEntity"},
    {"name": "AcctImpl", "stereotype": "EJBEntity", "properties": {"EJB": {"beantype": "session", "primarykey": "AcctKey"}}},
    {"name": "AcctKey"}, {"name": "AcctImplPK"},
    {"name": "Plain", "properties": {"EJB": {"beantype": "Entity"}}})");
  EXPECT_EQ(N(helper_.GetHomeInterface(C("Acct"))), "AcctFactory");
  EXPECT_EQ(N(helper_.GetBeanClass(C("Acct"))), "AcctImpl");
  // A property naming a class that is not there gives none, not the convention.
  EXPECT_EQ(N(helper_.GetRemoteInterface(C("AcctHome"))), "-");
  EXPECT_EQ(N(helper_.GetBeanClass(C("AcctHome"))), "-");
  EXPECT_FALSE(helper_.IsEntityBean(C("AcctImpl")));
  EXPECT_EQ(N(helper_.GetPrimaryKeyClass(C("AcctImpl"))), "AcctKey");
  EXPECT_TRUE(helper_.IsEntityBean(C("Plain")));
  EXPECT_EQ(N(helper_.GetBeanClass(C("Plain"))), "Plain");
}

TEST_F(ModelHelperTest, InlineBeanDefersToItsInterfaceAndFallbackFindsPrefixedBean) {
  LoadClasses(R"(
    {"name": "Cart", "stereotype": "EJBRemoteInterface"}, {"name": "CartHome", "stereotype": "EJBHomeInterface"},
    {"name": "CartBean", "stereotype": "EJBEntity", "language": "InlineEJB"},
    {"name": "Wish", "stereotype": "EJBRemoteInterface"}, {"name": "WishHome", "stereotype": "EJBHomeInterface"},
    {"name": "WishHelper"}, {"name": "ServiceBean", "stereotype": "EJBSession"},
    {"name": "WishServiceImpl", "stereotype": "EJBSession"},
    {"name": "LoneBean", "stereotype": "EJBSession", "language": "InlineEJB"})");
  TesselClass* cartBean = C("CartBean");
  EXPECT_TRUE(helper_.IsRemoteInterface(cartBean));
  EXPECT_EQ(N(helper_.GetRemoteInterface(cartBean)), "Cart");
  EXPECT_EQ(N(helper_.GetHomeInterface(cartBean)), "CartHome");
  EXPECT_TRUE(helper_.IsEntityBean(cartBean));
  EXPECT_EQ(N(helper_.GetRemoteInterface(C("LoneBean"))), "LoneBean");

  EXPECT_EQ(N(helper_.GetBeanClass(C("WishHome"))), "-");
  EXPECT_EQ(N(helper_.GetBeanClassFallback(C("WishHome"))), "WishServiceImpl");
  EXPECT_EQ(N(helper_.GetBeanClassFallback(C("Wish"))), "WishServiceImpl");
  EXPECT_EQ(N(helper_.GetBeanClassFallback(C("Cart"))), "CartBean");
}

TEST_F(ModelHelperTest, CalcExampleAnswersItsComQuestions) {
  LoadExample("calc-com.json");
  EXPECT_EQ(Coclasses("Maths::ICalc"), "Calc");
  EXPECT_EQ(helper_.GetDefaultCoclassName(C("Maths::ICalc")), "Calc");
  EXPECT_EQ(helper_.GetTypeLibraryName(C("Maths::ICalc")), "Maths");
  EXPECT_EQ(helper_.GetProgID(C("Maths::Calc")), "CalcLib.Calc");
  EXPECT_EQ(Coclasses("Maths::IFormatter"), "PlainFormatter,FancyFormatter");
  EXPECT_EQ(helper_.GetTypeLibraryName(C("Maths::IFormatter")), "CalcLib");
  EXPECT_EQ(helper_.GetDefaultCoclassName(C("Maths::IFormatter")), "PlainFormatter");
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Maths::ICalc::Add")),
            R"([{"name":"a","type":"long","value":"2"},{"name":"b","type":"long","value":"3"},)"
            R"({"name":"expectedReturn","type":"long*","value":""}])");
}

TEST_F(ModelHelperTest, CoclassesComeFromTheWholeModelInModelOrder) {
  Load(R"({"root": "Top", "classes": [
      {"name": "IShape"}, {"name": "I"}, {"name": "Widget"}, {"name": "Item"},
      {"name": "Square", "stereotype": "coclass", "realizes": ["IShape"]},
      {"name": "NotCoclass", "realizes": ["IShape"]}],
    "packages": [{"name": "deep", "packages": [{"name": "er", "classes": [
      {"name": "Circle", "stereotype": "coclass", "realizes": ["IShape"]},
      {"name": "IDeep"},
      {"name": "Heir", "stereotype": "coclass", "inherits": ["IShape"]}]}]}]})");
  EXPECT_EQ(Coclasses("deep::er::IDeep"), "");
  EXPECT_EQ(Coclasses("IShape"), "Square,Circle");
  EXPECT_EQ(helper_.GetDefaultCoclassName(C("IShape")), "Square");
  EXPECT_EQ(helper_.GetDefaultCoclassName(C("deep::er::IDeep")), "Deep");
  EXPECT_EQ(helper_.GetDefaultCoclassName(C("I")), "I");
  EXPECT_EQ(helper_.GetDefaultCoclassName(C("Widget")), "Widget");
  EXPECT_EQ(helper_.GetDefaultCoclassName(C("Item")), "tem");
  EXPECT_EQ(helper_.GetTypeLibraryName(C("IShape")), "Top");
  EXPECT_EQ(helper_.GetTypeLibraryName(C("deep::er::IDeep")), "er");

  // Collected once per helper: a coclass added later shows after ForgetModel.
  Class& added = model_->AddClass(model_->Root(), "Triangle");
  added.SetStereotype("coclass");
  model_->AddRealization(added, *C("IShape"));
  EXPECT_EQ(Coclasses("IShape"), "Square,Circle");
  helper_.ForgetModel();
  EXPECT_EQ(Coclasses("IShape"), "Square,Triangle,Circle");
}

TEST_F(ModelHelperTest, ProgIdAndRetvalComeOnlyFromToolProperties) {
  Load(R"({"classes": [{"name": "NoProg", "stereotype": "coclass"}, {"name": "IOps", "language": "COM", "operations": [
      {"name": "Run", "returnType": "HRESULT", "parameters": [
        {"name": "a", "properties": {"COM": {"retval": "true"}}}, {"name": "b", "properties": {"COM": {"retval": "TRUE"}}},
        {"name": "c", "properties": {"COM": {"retval": "1"}}}, {"name": "d", "properties": {"COM": {"retval": "False"}}},
        {"name": "e"}]}]}]})");
  EXPECT_EQ(test::ErrorNumberOf([&] { helper_.GetProgID(C("NoProg")); }), errc::kCannotCreateObject);
  EXPECT_THROW(helper_.GetProgID(nullptr), ZtError);
  std::string retvals;
  for (TesselParameter* p : *Op("IOps::Run")->Parameters()) retvals += helper_.IsRetvalParameter(p) ? "1" : "0";
  EXPECT_EQ(retvals, "11000");
}

TEST_F(ModelHelperTest, DatapoolFieldsSkipRetvalAndNameUnnamedByPosition) {
  Load(R"({"classes": [
    {"name": "IUnit", "language": "COM", "operations": [
      {"name": "Get", "returnType": "HRESULT", "parameters": [
        {"name": "out", "type": "BSTR*", "properties": {"COM": {"retval": "True"}}}, {"type": "long", "initValue": "7"}, {"name": "k", "type": "short"}]},
      {"name": "Reset", "returnType": "HRESULT", "parameters": [{"name": "hard", "type": "VARIANT_BOOL"}]},
      {"name": "Count", "returnType": "long"}]},
    {"name": "Java", "language": "Java", "operations": [
      {"name": "run", "returnType": "void", "parameters": [{"name": "x", "type": "int", "initValue": "1"}]},
      {"name": "noType"}, {"name": "status", "returnType": "HRESULT"}]}]})");
  EXPECT_EQ(helper_.GetDatapoolFields(Op("IUnit::Get")),
            R"([{"name":"arg2","type":"long","value":"7"},{"name":"k","type":"short","value":""},)"
            R"({"name":"expectedReturn","type":"BSTR*","value":""}])");
  EXPECT_EQ(helper_.GetDatapoolFields(Op("IUnit::Reset")), R"([{"name":"hard","type":"VARIANT_BOOL","value":""}])");
  EXPECT_EQ(helper_.GetDatapoolFields(Op("IUnit::Count")), R"([{"name":"expectedReturn","type":"long","value":""}])");
  const std::string exception = R"({"name":"expectedException","type":"Throwable","value":""})";
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Java::run")), R"([{"name":"x","type":"int","value":"1"},)" + exception + "]");
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Java::noType")), "[" + exception + "]");
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Java::status")),
            R"([{"name":"expectedReturn","type":"HRESULT","value":""},)" + exception + "]");
  EXPECT_EQ(helper_.GetDatapoolFields(nullptr), "[]");
}

TEST_F(ModelHelperTest, DatapoolFieldsOfAJavaTestEndWithTheConstructorsArguments) {
  Load(R"({"classes": [
    {"name": "Money", "language": "Java", "operations": [
      {"name": "Money", "parameters": [{"name": "amount", "type": "BigDecimal"}, {"name": "unit", "type": "String"}]},
      {"name": "Money", "visibility": "private"},
      {"name": "times", "returnType": "Money", "parameters": [{"name": "f", "type": "int", "initValue": "2"}]},
      {"name": "zero", "returnType": "Money", "static": true}]},
    {"name": "Marked", "language": "Java", "operations": [
      {"name": "Marked", "parameters": [{"type": "long"}]},
      {"name": "Marked", "parameters": [{"name": "a", "type": "int"}, {"name": "b", "type": "int"}],
       "properties": {"Java": {"testConstructor": "TRUE"}}},
      {"name": "go"}]},
    {"name": "Bean", "language": "InlineEJB", "operations": [
      {"name": "Bean", "parameters": [{"name": "x", "type": "int"}]}, {"name": "go"}]}]})");
  const std::string exception = R"({"name":"expectedException","type":"Throwable","value":""})";
  EXPECT_EQ(
      helper_.GetDatapoolFields(Op("Money::times")),
      R"([{"name":"f","type":"int","value":"2"},{"name":"expectedReturn","type":"Money","value":""},)" + exception +
          R"(,{"name":"amount_New","type":"BigDecimal","value":""},{"name":"unit_New","type":"String","value":""}])")
      << "the public constructor with the fewest parameters; the private one is never chosen";
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Money::zero")),
            R"([{"name":"expectedReturn","type":"Money","value":""},)" + exception + "]")
      << "a static operation makes no object";
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Marked::go")),
            "[" + exception + R"(,{"name":"a_New","type":"int","value":""},{"name":"b_New","type":"int","value":""}])")
      << "the marked constructor";
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Marked::Marked")), R"([{"name":"arg1","type":"long","value":""}])")
      << "a constructor is no test: it has no oracles";
  EXPECT_EQ(helper_.GetDatapoolFields(Op("Bean::go")), "[]") << "only the Java tests make their object";
}

TEST_F(ModelHelperTest, AFloatingPointResultHasATolerance) {
  Load(R"({"classes": [
    {"name": "Calc", "language": "Java", "operations": [
      {"name": "d", "returnType": "double", "static": true}, {"name": "f", "returnType": "Float", "static": true},
      {"name": "a", "returnType": "double[]", "static": true}, {"name": "l", "returnType": "List<java.lang.Double>", "static": true},
      {"name": "i", "returnType": "int", "static": true}, {"name": "n", "returnType": "Doubles", "static": true}]},
    {"name": "Remote", "stereotype": "EJBRemoteInterface", "language": "Java", "operations": [
      {"name": "rate", "returnType": "double"}]}]})");
  const auto fields = [&](const char* op) {
    std::string names;
    for (const DatapoolField& field : ParseDatapoolFields("d", helper_.GetDatapoolFields(Op(op))).fields) {
      names += (names.empty() ? "" : " ") + field.name;
    }
    return names;
  };
  for (const char* op : {"Calc::d", "Calc::f", "Calc::a", "Calc::l"}) {
    EXPECT_EQ(fields(op), "expectedReturn expectedException tolerance") << op;
  }
  EXPECT_EQ(fields("Calc::i"), "expectedReturn expectedException");
  EXPECT_EQ(fields("Calc::n"), "expectedReturn expectedException") << "a name that only starts like one";
  EXPECT_EQ(fields("Remote::rate"), "expectedReturn") << "the EJB templates read no oracles";
}

/// A class whose every model query fails, as a broken host's would.
class FailingClass : public test::FakeClass {
 public:
  FailingClass() : FakeClass("IBroken", "COM") {}
  std::string Stereotype() const override { RaiseError(errc::kObjectNotSet); }
  std::string GetPropertyValue(const std::string&, const std::string&) const override {
    RaiseError(errc::kObjectNotSet);
  }
};

TEST_F(ModelHelperTest, MissingOrFailingElementsGiveEmptyAnswers) {
  FailingClass broken;
  test::FakeClass orphan("IOrphan", "COM");
  for (TesselClass* cls : {static_cast<TesselClass*>(nullptr), static_cast<TesselClass*>(&broken)}) {
    EXPECT_FALSE(helper_.IsRemoteInterface(cls) || helper_.IsHomeInterface(cls) || helper_.IsEntityBean(cls));
    EXPECT_EQ(helper_.GetRemoteInterface(cls), nullptr);
    EXPECT_EQ(helper_.GetHomeInterface(cls), nullptr);
    EXPECT_EQ(helper_.GetBeanClass(cls), nullptr);
    EXPECT_EQ(helper_.GetBeanClassFallback(cls), nullptr);
    EXPECT_EQ(helper_.GetPrimaryKeyClass(cls), nullptr);
    EXPECT_EQ(helper_.GetTypeLibraryName(cls), "");
    EXPECT_EQ(helper_.GetDefaultCoclassName(cls), "");
  }
  EXPECT_EQ(helper_.GetCoclasses(&orphan).Count(), 0);
  EXPECT_EQ(helper_.GetDefaultCoclassName(&orphan), "Orphan");
  EXPECT_FALSE(helper_.IsRetvalParameter(nullptr));
}

// The add-in's EJB generator, asking the helper that the workbench hands it,
// gives each operation of the bank example the template kind its marks call for.
TEST_F(ModelHelperTest, TheAddInClassifiesTheBankOperationsThroughTheHelper) {
  WorkbenchComponents components("templates");
  SetHostComponents(&components);
  ResetModelHelper();
  EXPECT_NE(dynamic_cast<WorkbenchModelHelper*>(&SharedModelHelper()), nullptr);
  LoadExample("bank-ejb.json");
  EJBGenerator generator;
  TemplateProcessor processor;
  generator.Init(nullptr, &processor);
  std::string kinds;
  for (const char* op : {"Account::getBalance", "Account::setBalance", "Account::deposit", "AccountHome::create",
                         "AccountHome::findByPrimaryKey", "Teller::withdraw", "InterestCalculator::interestFor",
                         "AccountBean::deposit"}) {
    kinds += std::to_string(generator.GetOperationType(Op(std::string("bank::core::") + op)));
  }
  EXPECT_EQ(kinds, "34512550");  // getter, setter, business, create, finder, business, business, none
  ResetModelHelper();
  SetHostComponents(nullptr);
}

}  // namespace
}  // namespace zt::wb
