// The in-memory model: names, order and lookups as the add-in and the
// command line see them, and what the model refuses to hold.
#include "workbench/model/Model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "support/Error.h"

namespace zt::wb {
namespace {

template <class T>
std::vector<std::string> Names(const TesselCollection<T>& collection) {
  std::vector<std::string> names;
  for (int16_t i = 1; i <= collection.Count(); ++i) names.push_back(collection.GetAt(i)->Name());
  return names;
}

using test::Raised;

// A small bank model: Logical View::bank::core with Account (two deposit
// overloads), Logical View::javax::ejb::EJBObject.
class BankModel : public ::testing::Test {
 protected:
  BankModel()
      : bank_(model_.AddPackage(model_.Root(), "bank")),
        core_(model_.AddPackage(bank_, "core")),
        account_(model_.AddClass(core_, "Account")),
        deposit_(model_.AddOperation(account_, "deposit", "void")),
        deposit2_(model_.AddOperation(account_, "deposit", "void")),
        amount_(model_.AddParameter(deposit_, "amount", "double", "100.0")),
        ejb_(model_.AddPackage(model_.AddPackage(model_.Root(), "javax"), "ejb")),
        ejbObject_(model_.AddClass(ejb_, "EJBObject")) {}

  Model model_{"Bank"};
  Package& bank_;
  Package& core_;
  Class& account_;
  Operation& deposit_;
  Operation& deposit2_;
  Parameter& amount_;
  Package& ejb_;
  Class& ejbObject_;
};

TEST_F(BankModel, QualifiedNamesAndKindsFollowTheHostsConventions) {
  const Attribute& balance = model_.AddAttribute(account_, "balance", "double");
  const Component& lib = model_.AddComponent("BankLib");
  EXPECT_EQ(model_.Root().GetQualifiedName(), "Logical View");
  EXPECT_EQ(account_.GetQualifiedName(), "Logical View::bank::core::Account");
  EXPECT_EQ(deposit_.GetQualifiedName(), "Logical View::bank::core::Account::deposit");
  EXPECT_EQ(amount_.GetQualifiedName(), "Logical View::bank::core::Account::deposit::amount");
  EXPECT_EQ(balance.GetQualifiedName(), "Logical View::bank::core::Account::balance");
  EXPECT_EQ(model_.GetQualifiedName(), "Bank");
  EXPECT_EQ(lib.GetQualifiedName(), "BankLib");
  const std::vector<std::string> kinds{model_.KindName(), model_.Root().KindName(), account_.KindName(),
                                       deposit_.KindName(), amount_.KindName(), balance.KindName(), lib.KindName()};
  EXPECT_EQ(kinds, (std::vector<std::string>{"Model", "Category", "Class", "Operation", "Parameter", "Attribute",
                                             "Component"}));
}

TEST_F(BankModel, FindTakesNamesWithOrWithoutTheRootAndReturnsOverloadsInOrder) {
  EXPECT_EQ(model_.FindClass("bank::core::Account"), &account_);
  EXPECT_EQ(model_.FindClass("Logical View::bank::core::Account"), &account_);
  EXPECT_EQ(model_.FindPackage("javax::ejb"), &ejb_);
  EXPECT_EQ(model_.FindPackage("Logical View"), &model_.Root());
  const std::vector<Element*> overloads = model_.Find("bank::core::Account::deposit");
  ASSERT_EQ(overloads.size(), 2u);
  EXPECT_EQ(overloads[0], &deposit_);
  EXPECT_EQ(overloads[1], &deposit2_);
  EXPECT_TRUE(model_.Find("bank::core::Nothing").empty());
  EXPECT_EQ(model_.FindClass("bank::core"), nullptr);  // a package, not a class
  EXPECT_TRUE(model_.Find("").empty());
  // Only splits whose first part could name a class are tried: a name of
  // many separators ends at once instead of trying every pair of them.
  std::string separators = "bank::core::Account::deposit::amount";
  for (int i = 0; i < 50000; ++i) separators += "::";
  EXPECT_TRUE(model_.Find(separators).empty());
  EXPECT_EQ(model_.Find("bank::core::Account::deposit::amount").size(), 1u);
}

TEST(Model, ANameStartingWithTheRootIsTakenAsCompleteFirst) {
  Model model("M");
  Class& top = model.AddClass(model.Root(), "X");
  Class& nested = model.AddClass(model.AddPackage(model.Root(), "Logical View"), "X");
  EXPECT_EQ(model.FindClass("Logical View::X"), &top);
  EXPECT_EQ(model.FindClass("Logical View::Logical View::X"), &nested);
  EXPECT_EQ(model.FindClass("X"), &top);
}

TEST_F(BankModel, AllClassesListsOwnClassesThenEachSubpackageDepthFirst) {
  model_.AddClass(bank_, "Util");
  model_.AddClass(model_.Root(), "Main");
  TesselClassCollection* all = model_.Root().AllClasses();
  EXPECT_EQ(Names(*all), (std::vector<std::string>{"Main", "Util", "Account", "EJBObject"}));
  // The collection shows what was added after an earlier call.
  model_.AddClass(core_, "AccountHome");
  EXPECT_EQ(Names(*bank_.AllClasses()), (std::vector<std::string>{"Util", "Account", "AccountHome"}));
  EXPECT_EQ(Names(*model_.Root().Classes()), (std::vector<std::string>{"Main"}));
}

TEST_F(BankModel, WalkVisitsComponentsThenTheTreeInModelOrder) {
  model_.AddComponent("BankLib");
  model_.AddAttribute(account_, "balance");
  std::vector<std::string> visited;
  model_.Walk([&](Element& e, int depth) { visited.push_back(std::to_string(depth) + " " + e.Name()); });
  EXPECT_EQ(visited, (std::vector<std::string>{"0 BankLib", "0 Logical View", "1 bank", "2 core", "3 Account",
                                               "4 balance", "4 deposit", "5 amount", "4 deposit", "1 javax",
                                               "2 ejb", "3 EJBObject"}));
}

TEST_F(BankModel, ToolPropertiesKeepOrderPerToolAndReplaceInPlace) {
  account_.SetToolProperty("EJB", "bean", "AccountBean");
  account_.SetToolProperty("COM", "progid", "Bank.Account");
  account_.SetToolProperty("EJB", "home", "AccountHome");
  account_.SetToolProperty("EJB", "bean", "OtherBean");
  const TesselPropertyCollection ejb = account_.GetToolProperties("EJB");
  ASSERT_EQ(ejb.Count(), 2);
  EXPECT_EQ(ejb.GetAt(1)->Name(), "bean");
  EXPECT_EQ(ejb.GetAt(1)->Value(), "OtherBean");
  EXPECT_EQ(ejb.GetAt(2)->Name(), "home");
  EXPECT_EQ(account_.GetPropertyValue("COM", "progid"), "Bank.Account");
  EXPECT_EQ(account_.GetPropertyValue("COM", "bean"), "");
  EXPECT_EQ(account_.GetToolProperties("Nothing").Count(), 0);
  EXPECT_EQ(Raised([&] { account_.SetToolProperty("", "x", "y"); }).Number(), errc::kInvalidCall);
}

TEST_F(BankModel, RelationsAndComponentsAnswerInTheOrderGiven) {
  Class& home = model_.AddClass(ejb_, "EJBHome");
  Component& a = model_.AddComponent("A");
  Component& b = model_.AddComponent("B");
  model_.AddInheritance(account_, ejbObject_);
  model_.AddRealization(account_, home);
  model_.AssignComponent(account_, b);
  model_.AssignComponent(account_, a);
  TesselClass& host = account_;
  ASSERT_EQ(host.InheritRelations()->Count(), 1);
  EXPECT_EQ(host.InheritRelations()->GetAt(1)->GetSupplierClass(), &ejbObject_);
  EXPECT_EQ(host.InheritRelations()->GetAt(1)->Name(), "EJBObject");
  EXPECT_EQ(host.RealizeRelations()->GetAt(1)->GetSupplierClass(), &home);
  EXPECT_EQ(Names(host.GetAssignedComponents()), (std::vector<std::string>{"B", "A"}));
}

// Types, stereotypes and languages are kept once for every element that
// holds the same text: changing or dropping one holder leaves the others.
TEST_F(BankModel, ElementsHoldingTheSameTextsStayIndependent) {
  {
    Model other("Other");
    Class& c = other.AddClass(other.Root(), "C");
    Operation& o = other.AddOperation(c, "deposit", "void");
    other.AddParameter(o, "amount", "double", "100.0");
    c.SetStereotype("Interface");
    account_.SetStereotype("Interface");
    account_.SetLanguage("Java");
    c.SetLanguage("Java");
    c.SetLanguage("COM");
    EXPECT_EQ(account_.Language(), "Java");
    EXPECT_EQ(c.Language(), "COM");
  }
  EXPECT_EQ(account_.Stereotype(), "Interface");
  EXPECT_EQ(account_.Language(), "Java");
  EXPECT_EQ(deposit_.ReturnType(), "void");
  EXPECT_EQ(deposit2_.ReturnType(), "void");
  EXPECT_EQ(amount_.Type(), "double");
  EXPECT_EQ(amount_.InitValue(), "100.0");
  deposit2_.SetReturnType("");
  EXPECT_EQ(deposit2_.ReturnType(), "");
  EXPECT_EQ(deposit_.ReturnType(), "void");
  EXPECT_EQ(account_.Operations()->GetAt(2)->ParentClass(), &account_);
  EXPECT_EQ(amount_.Owner(), &deposit_);
}

TEST_F(BankModel, RefusesWhatWouldMakeTheModelInconsistent) {
  Class& remote = model_.AddClass(core_, "Remote");
  Class& base = model_.AddClass(core_, "Base");
  Component& lib = model_.AddComponent("Lib");
  model_.AddInheritance(account_, remote);
  model_.AddInheritance(remote, base);
  model_.AddRealization(account_, base);
  model_.AssignComponent(account_, lib);
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* message;
  };
  const std::vector<Case> cases{
      {"second package", [&] { model_.AddPackage(model_.Root(), "bank"); }, "already has a package named \"bank\""},
      {"second class", [&] { model_.AddClass(core_, "Account"); }, "already has a class named \"Account\""},
      {"empty class name", [&] { model_.AddClass(core_, ""); }, "a class cannot have an empty name"},
      {"empty operation name", [&] { model_.AddOperation(account_, ""); }, "an operation cannot have"},
      {"empty root name", [&] { Model("M", ""); }, "a package cannot have an empty name"},
      {"second component", [&] { model_.AddComponent("Lib"); }, "already has a component named \"Lib\""},
      {"same supertype twice", [&] { model_.AddInheritance(account_, remote); }, "already inherits from"},
      {"cycle", [&] { model_.AddInheritance(base, account_); }, "would form a cycle"},
      {"own supertype", [&] { model_.AddInheritance(base, base); }, "would form a cycle"},
      {"realizes itself", [&] { model_.AddRealization(base, base); }, "cannot realize itself"},
      {"same realization twice", [&] { model_.AddRealization(account_, base); }, "already realizes"},
      {"assigned twice", [&] { model_.AssignComponent(account_, lib); }, "already assigned"},
  };
  for (const Case& c : cases) {
    const ZtError e = Raised(c.call);
    EXPECT_EQ(e.Number(), errc::kInvalidCall) << c.what;
    EXPECT_NE(e.Description().find(c.message), std::string::npos) << c.what << ": " << e.Description();
  }
  // A package and a class may share a name.
  EXPECT_NO_THROW(model_.AddClass(model_.Root(), "bank"));
  EXPECT_EQ(account_.Inherits().size(), 1u);
}

TEST(ModelLimits, CountsEveryClassOfTheModelAgainstTheCollectionLimit) {
  Model model("Big");
  Package& a = model.AddPackage(model.Root(), "a");
  Package& b = model.AddPackage(model.Root(), "b");
  for (int i = 0; i < kMaxCollection; ++i) model.AddClass(i % 2 == 0 ? a : b, "C" + std::to_string(i));
  EXPECT_EQ(model.Root().AllClasses()->Count(), kMaxCollection);
  const ZtError e = Raised([&] { model.AddClass(b, "OneTooMany"); });
  EXPECT_EQ(e.Number(), errc::kOverflow);
  EXPECT_NE(e.Description().find("32767 classes"), std::string::npos) << e.Description();
  EXPECT_EQ(model.FindClass("b::OneTooMany"), nullptr);
}

TEST(ModelLimits, OperationsParametersAndSelection) {
  Model model("Big");
  Class& c = model.AddClass(model.Root(), "C");
  for (int i = 0; i < kMaxCollection; ++i) model.AddOperation(c, "op");
  EXPECT_EQ(Raised([&] { model.AddOperation(c, "op"); }).Number(), errc::kOverflow);
  EXPECT_EQ(c.Operations()->Count(), kMaxCollection);

  // Properties are counted per tool; those set before the element had many
  // are found and replaced as well as later ones.
  c.SetToolProperty("U", "first", "1");
  for (int i = 0; i < kMaxCollection; ++i) c.SetToolProperty("T", "p" + std::to_string(i), std::to_string(i));
  EXPECT_EQ(Raised([&] { c.SetToolProperty("T", "more", "x"); }).Number(), errc::kOverflow);
  c.SetToolProperty("U", "second", "2");
  c.SetToolProperty("T", "p3", "three");
  c.SetToolProperty("U", "first", "one");
  EXPECT_EQ(c.GetPropertyValue("T", "p3"), "three");
  EXPECT_EQ(c.GetPropertyValue("T", "p40"), "40");
  EXPECT_EQ(c.GetPropertyValue("T", "more"), "");
  EXPECT_EQ(c.GetPropertyValue("U", "first"), "one");
  EXPECT_EQ(c.GetPropertyValue("U", "second"), "2");
  EXPECT_EQ(c.GetToolProperties("T").Count(), kMaxCollection);
  EXPECT_EQ(c.GetToolProperties("U").Count(), 2);

  std::vector<TesselItem*> items(static_cast<size_t>(kMaxCollection), &c);
  model.SetSelection(items);
  EXPECT_EQ(model.GetSelectedItems().Count(), kMaxCollection);
  items.push_back(&c);
  EXPECT_EQ(Raised([&] { model.SetSelection(items); }).Number(), errc::kOverflow);
}

}  // namespace
}  // namespace zt::wb
