// Tests of template properties kept in the model document and of the
// template dialog, driven as the add-in drives them (addin/TemplateSelection.h, generators/TemplatePaths.h)
// with the workbench's components installed.
#include "workbench/store/StoreLocation.h"
#include "workbench/components/TemplateProperties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestUtil.h"
#include "addin/TemplateSelection.h"
#include "generators/TemplatePaths.h"
#include "fakes/ScriptedConsole.h"
#include "support/Error.h"
#include "workbench/components/WorkbenchComponents.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/text/Texts.h"

namespace zt::wb {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;

constexpr const char* kProperty = "JavaTestTemplate";
constexpr const char* kKind = "Operation";
constexpr const char* kFilter = "Template Files(Java) (*.template)|*.template|All Files (*.*)|*.*||";
constexpr const char* kCaption = "Corvant Verimos - Select Unit Test Template";
constexpr const char* kCustom = "$PWTTEMPLATES\\Java\\custom.template";

constexpr const char* kDocument = R"({
  "model": "Bank",
  "properties": { "TemplateDefinitions": { "EJBBusinessTemplate": "custom-business.template" } },
  "packages": [ { "name": "bank", "classes": [ { "name": "Account", "language": "Java", "operations": [
      { "name": "deposit", "parameters": [ { "name": "amount", "type": "double" } ] },
      { "name": "withdraw" } ] } ] } ]
})";

class TemplateProperties : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "templates" / "Java");
    std::ofstream(dir_ / "templates" / "Java" / "custom.template") << "x\n";
    std::ofstream(dir_ / "templates" / "Java" / "notes.txt") << "x\n";
    documentPath_ = (dir_ / "bank.json").string();
    std::ofstream(documentPath_) << kDocument;
    app_.SetCurrentModel(LoadModelDocument(documentPath_));
    components_ = std::make_unique<WorkbenchComponents>((dir_ / "templates").string(),
                                                        StoreOptions{ParseStoreLocation((dir_ / "store").string()), {}}, console_);
    components_->SetApplication(&app_);
    components_->SetModelSaver(DocumentSaver(documentPath_));
    SetHostComponents(components_.get());
  }
  void TearDown() override { SetHostComponents(nullptr); }

  Model& TheModel() { return *app_.OpenModel(); }
  Operation& Op(const std::string& name) {
    return dynamic_cast<Operation&>(*TheModel().Find("bank::Account::" + name).at(0));
  }
  std::string Get(TesselItem& element) { return GetTemplateProperty(kProperty, kKind, &element, "add-in default"); }
  void Select(TesselItem& element) { SelectTemplate(kProperty, kKind, kCaption, kFilter, &element); }
  // The document as saved, read back.
  std::unique_ptr<Model> Saved() { return ParseModelDocument(ReadAll(documentPath_), documentPath_); }
  std::string SavedValue(const std::string& operation) {
    std::unique_ptr<Model> saved = Saved();
    if (operation.empty()) return saved->GetPropertyValue(template_tool::kValues, kProperty);
    return saved->Find("bank::Account::" + operation).at(0)->GetPropertyValue(template_tool::kValues, kProperty);
  }
  std::string Template(const std::string& name) { return (dir_ / "templates" / "Java" / name).string(); }

  test::TempDir dir_{"templates"};
  std::string documentPath_;
  Application app_;
  test::ScriptedConsole console_;
  std::unique_ptr<WorkbenchComponents> components_;
};

TEST_F(TemplateProperties, OperationValueBeforeModelValueBeforeDefinitionBeforeTheAddInsDefault) {
  Operation& deposit = Op("deposit");
  Operation& withdraw = Op("withdraw");
  EXPECT_EQ(Get(deposit), "add-in default");

  TheModel().SetToolProperty(template_tool::kDefinitions, kProperty, "defined.template");
  EXPECT_EQ(Get(deposit), "defined.template");
  TheModel().SetToolProperty(template_tool::kValues, kProperty, "model.template");
  EXPECT_EQ(Get(deposit), "model.template");
  deposit.SetToolProperty(template_tool::kValues, kProperty, "deposit.template");
  EXPECT_EQ(Get(deposit), "deposit.template");
  EXPECT_EQ(Get(withdraw), "model.template");
  EXPECT_EQ(Get(TheModel()), "model.template");
  // Another property, and values under other tools, are not taken.
  withdraw.SetToolProperty("Java", kProperty, "wrong tool");
  EXPECT_EQ(GetTemplateProperty("EJBCreateTemplate", kKind, &withdraw, "other default"), "other default");
  // An empty value is no value.
  TheModel().SetToolProperty(template_tool::kValues, kProperty, "");
  EXPECT_EQ(Get(withdraw), "defined.template");
  // A parameter is not of the property's kind: its own value does not count.
  Element& amount = *TheModel().Find("bank::Account::deposit::amount").at(0);
  amount.SetToolProperty(template_tool::kValues, kProperty, "parameter.template");
  EXPECT_EQ(Get(amount), "defined.template");
}

TEST_F(TemplateProperties, ReadValueRaisesWhenNothingApplies) {
  WorkbenchTemplateProperty property(&app_, {});
  property.SetName(kProperty);
  property.SetElementKind(kKind);
  const ZtError e = test::Raised([&] { property.ReadValue(&Op("deposit"), property_code::kValue); });
  EXPECT_EQ(e.Number(), errc::kInvalidCall);
  EXPECT_NE(e.Description().find("bank::Account::deposit"), std::string::npos) << e.Description();
  // FindValue tells the same without an error; other faults still raise.
  EXPECT_EQ(property.FindValue(&Op("deposit"), property_code::kValue), std::nullopt);
  Op("deposit").SetToolProperty(template_tool::kValues, kProperty, "deposit.template");
  EXPECT_EQ(property.FindValue(&Op("deposit"), property_code::kValue), "deposit.template");
  EXPECT_EQ(test::Raised([&] { property.FindValue(nullptr, property_code::kValue); }).Number(), errc::kObjectNotSet);
  EXPECT_EQ(test::Raised([&] { property.FindValue(&Op("deposit"), property_code::kDefinition); }).Number(),
            errc::kInvalidCall);
}

TEST_F(TemplateProperties, DefinitionsAreMadeOnceAndNeverOverwritten) {
  DefineTemplateProperty(kProperty, kKind, "first.template", &app_);
  DefineTemplateProperty(kProperty, kKind, "second.template", &app_);
  EXPECT_EQ(TheModel().GetPropertyValue(template_tool::kDefinitions, kProperty), "first.template");
  // The document's own definition stays too.
  DefineTemplateProperty("EJBBusinessTemplate", kKind, "$PWTTEMPLATES\\websphere_remote.template", &app_);
  EXPECT_EQ(TheModel().GetPropertyValue(template_tool::kDefinitions, "EJBBusinessTemplate"),
            "custom-business.template");
  EXPECT_EQ(GetTemplateProperty("EJBBusinessTemplate", kKind, &Op("deposit"), "fallback"), "custom-business.template");
  // Definitions are kept in memory; the document is not written for them.
  EXPECT_EQ(ReadAll(documentPath_), kDocument);
  // Without a model nothing is defined, and nothing fails.
  Application empty;
  DefineTemplateProperty(kProperty, kKind, "x.template", &empty);
  DefineTemplateProperty(kProperty, kKind, "x.template", nullptr);
}

TEST_F(TemplateProperties, StoreSavesTheDocumentAndAFailedSaveChangesNothing) {
  Operation& deposit = Op("deposit");
  WorkbenchTemplateProperty property(&app_, DocumentSaver(documentPath_));
  property.SetName(kProperty);
  property.SetElementKind(kKind);
  property.SetValue("op.template");
  property.Store(&deposit, template_scope::kOperation);
  EXPECT_EQ(SavedValue("deposit"), "op.template");
  EXPECT_EQ(SavedValue("withdraw"), "");
  property.SetValue("model.template");
  property.Store(&TheModel(), template_scope::kModel);
  EXPECT_EQ(SavedValue(""), "model.template");
  EXPECT_EQ(SavedValue("deposit"), "op.template");
  // The rest of the document survives the save.
  EXPECT_EQ(Saved()->GetPropertyValue(template_tool::kDefinitions, "EJBBusinessTemplate"), "custom-business.template");

  // Targets that do not fit the scope are refused before anything changes.
  EXPECT_THROW(property.Store(&deposit, template_scope::kModel), ZtError);
  EXPECT_THROW(property.Store(&TheModel(), template_scope::kOperation), ZtError);
  EXPECT_THROW(property.Store(&deposit, 3), ZtError);
  EXPECT_EQ(Get(deposit), "op.template");

  // A save that fails: the error says why, memory keeps what the file has.
  const std::string before = ReadAll(documentPath_);
  WorkbenchTemplateProperty failing(
      &app_, [](const PropertyChange&) { RaiseError(errc::kPermissionDenied, {}, "disk is read-only"); });
  failing.SetName(kProperty);
  failing.SetElementKind(kKind);
  failing.SetValue("lost.template");
  const ZtError e = test::Raised([&] { failing.Store(&deposit, template_scope::kOperation); });
  EXPECT_EQ(e.Number(), errc::kPermissionDenied);
  EXPECT_NE(e.Description().find("disk is read-only"), std::string::npos) << e.Description();
  EXPECT_EQ(Get(deposit), "op.template");
  EXPECT_THROW(failing.Store(&Op("withdraw"), template_scope::kOperation), ZtError);
  EXPECT_EQ(Get(Op("withdraw")), "model.template") << "a value that was not there is still not there";
  EXPECT_EQ(ReadAll(documentPath_), before);

  // A model read from XMI is never written.
  WorkbenchTemplateProperty xmi(&app_, XmiRefusingSaver("bank.xmi"));
  xmi.SetName(kProperty);
  xmi.SetElementKind(kKind);
  xmi.SetValue("xmi.template");
  const std::string refused = test::Raised([&] { xmi.Store(&TheModel(), template_scope::kModel); }).Description();
  EXPECT_NE(refused.find(Text(WB_TMPL_XMI_REFUSED, {"bank.xmi"})), std::string::npos) << refused;
  EXPECT_EQ(Get(TheModel()), "model.template");
}

TEST_F(TemplateProperties, DialogShowsWhatIsInForceAndStoresTheAnsweredFileForTheOperation) {
  Operation& deposit = Op("deposit");
  console_.Answer(Template("custom.template"));
  console_.Answer("o");
  Select(deposit);
  // A file below the template folder is kept as $PWTTEMPLATES names it.
  EXPECT_EQ(SavedValue("deposit"), kCustom);
  EXPECT_EQ(SavedValue(""), "");
  const std::string& out = console_.Output();
  EXPECT_NE(out.find(kCaption), std::string::npos) << out;
  EXPECT_NE(out.find(Text(WB_TMPL_FILTER, {"Template Files(Java) (*.template)" + Text(WB_TMPL_FILTER_SEPARATOR) +
                                               "All Files (*.*)"})),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(Text(WB_TMPL_ELEMENT, {"Logical View::bank::Account::deposit"})), std::string::npos) << out;
  EXPECT_NE(out.find(Text(WB_TMPL_IN_FORCE, {Text(WB_TMPL_DEFAULT)})), std::string::npos) << out;

  // The next time the choice is shown as the value in force.
  console_.ClearOutput();
  Select(deposit);
  EXPECT_NE(console_.Output().find(Text(WB_TMPL_IN_FORCE, {kCustom})), std::string::npos);
}

TEST_F(TemplateProperties, DialogAsksAgainForAMissingFileAndWarnsAboutOtherTypes) {
  Operation& deposit = Op("deposit");
  console_.Answer("nowhere.template");
  console_.Answer("$PWTTEMPLATES\\Java\\notes.txt");
  console_.Answer("m");
  Select(deposit);
  EXPECT_EQ(console_.Reads(), 3);
  EXPECT_NE(console_.Output().find(Text(WB_TMPL_NO_SUCH_FILE, {"nowhere.template"})), std::string::npos);
  EXPECT_NE(console_.Output().find(Text(WB_TMPL_PATTERN_WARNING, {"$PWTTEMPLATES\\Java\\notes.txt", "*.template"})),
            std::string::npos)
      << console_.Output();
  // The whole-model scope puts the value on the model.
  EXPECT_EQ(SavedValue(""), "$PWTTEMPLATES\\Java\\notes.txt");
  EXPECT_EQ(SavedValue("deposit"), "");
  EXPECT_EQ(Get(Op("withdraw")), "$PWTTEMPLATES\\Java\\notes.txt");

  // Files missing every time: nothing is stored.
  const std::string before = ReadAll(documentPath_);
  for (int i = 0; i < kMaxAttempts + 1; ++i) console_.Answer("missing" + std::to_string(i) + ".template");
  Select(deposit);
  EXPECT_EQ(console_.Unread(), 1u);
  EXPECT_EQ(ReadAll(documentPath_), before);
}

TEST_F(TemplateProperties, CancellingKeepsTheEarlierChoice) {
  Operation& deposit = Op("deposit");
  console_.Answer("\"" + Template("custom.template") + "\"");
  console_.Answer("o");
  Select(deposit);
  ASSERT_EQ(Get(deposit), kCustom);
  const std::string before = ReadAll(documentPath_);

  // End of input at the file question, the cancel word, and end of input at
  // the scope question: nothing is stored.
  Select(deposit);
  console_.Answer(Text(WB_TMPL_CANCEL_WORD));
  Select(deposit);
  console_.Answer("$PWTTEMPLATES/Java/custom.template");
  Select(deposit);
  console_.Answer("$PWTTEMPLATES/Java/custom.template");
  console_.Answer("c");
  Select(deposit);
  EXPECT_EQ(console_.Unread(), 0u);
  EXPECT_EQ(Get(deposit), kCustom);
  EXPECT_EQ(ReadAll(documentPath_), before);
}

TEST_F(TemplateProperties, PresetPathIsTakenWithoutAskingAndTheModelNeedsNoScope) {
  components_->SetPresetTemplatePath("$PWTTEMPLATES\\Java\\custom.template");
  Select(TheModel());
  EXPECT_EQ(console_.Reads(), 0);
  EXPECT_EQ(SavedValue(""), "$PWTTEMPLATES\\Java\\custom.template");

  console_.Answer("o");
  Select(Op("withdraw"));
  EXPECT_EQ(console_.Reads(), 1) << "only the scope is asked";
  EXPECT_EQ(SavedValue("withdraw"), "$PWTTEMPLATES\\Java\\custom.template");

  // A preset path that names no file changes nothing and asks nothing.
  components_->SetPresetTemplatePath("$PWTTEMPLATES\\Java\\gone.template");
  const std::string before = ReadAll(documentPath_);
  console_.Answer("o");
  Select(Op("deposit"));
  EXPECT_EQ(console_.Unread(), 1u);
  EXPECT_NE(console_.Output().find(Text(WB_TMPL_PRESET_MISSING, {"$PWTTEMPLATES\\Java\\gone.template"})),
            std::string::npos);
  EXPECT_EQ(ReadAll(documentPath_), before);
}

}  // namespace
}  // namespace zt::wb
