// The workbench's template-property component and template dialog: which
// template file a generator uses, kept in the model document as tool
// properties (docs/template-properties.md).
//
// Values live under the tool "Templates" (property name → template path), on
// an operation for that operation, on the model for the whole model.
// Definitions live on the model under the tool "TemplateDefinitions"
// (property name → default path). The element kind is not stored: the only
// kind the add-in uses is "Operation". An empty value counts as not set.
//
// A value read for an operation is the operation's own, else the model's,
// else the definition's default; with none of them ReadValue raises and the
// add-in takes its own default. Storing a value saves that one value into
// the model document through the host's ModelSaver; when the save fails the
// value in memory is put back and the error is raised again. Definitions the
// add-in makes are kept in memory only.
//
// The dialog asks in the terminal: which file (a path given in advance by
// the host is taken without asking), then, for an operation, whether the
// choice is for the operation or for the whole model. At end of input it
// cancels and nothing is stored.
//
// Ownership: the components borrow the application and the console; the
// dialog owns its file-system object and borrows the property it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/FileSystem.h"
#include "host/TemplateProperty.h"
#include "host/TesselModel.h"
#include "workbench/model/Application.h"
#include "workbench/model/Model.h"
#include "workbench/terminal/Console.h"

namespace zt::wb {

/// The tools under which template properties are kept.
namespace template_tool {
/// Values: property name → template path, on an operation or the model.
inline constexpr const char* kValues = "Templates";
/// Definitions: property name → default path, on the model.
inline constexpr const char* kDefinitions = "TemplateDefinitions";
}  // namespace template_tool

/// Scopes of the template dialog's answer (TemplateDialog::Scope).
namespace template_scope {
/// The value goes on the operation the user started from.
inline constexpr int32_t kOperation = 1;
/// The value goes on the model and holds for every operation without one.
inline constexpr int32_t kModel = 2;
}  // namespace template_scope

/// One template choice to keep: `value` for the property `name` of `tool`
/// on `element` (an operation or the model).
struct PropertyChange {
  const Element* element = nullptr;
  std::string tool;
  std::string name;
  std::string value;
};

/// Keeps a change of the open model where the model came from; raises a
/// ZtError that says why when it cannot.
using ModelSaver = std::function<void(const PropertyChange& change)>;

/// A saver that writes the change into the model document at `path` and
/// nothing else: every other byte of the file stays as it is
/// (SetToolPropertyInDocument). Written atomically.
ModelSaver DocumentSaver(std::string path);

/// A saver that refuses: the model was read from the XMI file `path`, which
/// is never written; the error tells the user to convert it first.
ModelSaver XmiRefusingSaver(std::string path);

/// What the template dialogs and properties of one command did, for the
/// host's exit status: a dialog cancelled, a choice kept, or not kept.
struct TemplateChoices {
  int dialogs = 0;                    ///< dialogs shown
  int confirmed = 0;                  ///< dialogs that ended with a choice
  int stored = 0;                     ///< choices stored and saved
  std::vector<std::string> failures;  ///< why a confirmed choice was not kept
};

class WorkbenchTemplateProperty final : public TemplateProperty {
 public:
  /// `application` gives the open model whose values and definitions apply
  /// to an operation (nullptr: only an element's own values, and those of a
  /// model element); `saver` saves the model after a value is stored (empty:
  /// storing a value is refused); `record`, when given, counts what was
  /// stored and why a value was not.
  WorkbenchTemplateProperty(TesselApplication* application, ModelSaver saver, TemplateChoices* record = nullptr);

  void SetName(const std::string& name) override { name_ = name; }
  void SetElementKind(const std::string& kind) override { elementKind_ = kind; }
  void SetDefaultValue(const std::string& value) override { defaultValue_ = value; }
  /// The value that the next Store(target, scope) stores; the dialog sets it.
  void SetValue(const std::string& value) { value_ = value; }

  const std::string& Name() const { return name_; }
  const std::string& Value() const { return value_; }

  /// Code 8: the definition's default on the owner's model, "" when there is
  /// none. Raises error 91 without a model, 5 for another code.
  std::string ReadDefinition(TesselApplication* owner, int32_t code) override;
  /// Code 15: `element`'s own value (when it is of the property's kind),
  /// else the model's value, else the definition's default. Raises error 5
  /// when none is set, or for another code; 91 when `element` is null.
  std::string ReadValue(TesselItem* element, int32_t code) override;
  /// ReadValue, nullopt where it raises error 5 because none is set.
  std::optional<std::string> FindValue(TesselItem* element, int32_t code) override;
  /// Code 8: stores the definition (name → default) on the owner's model,
  /// replacing one there; the document is not saved.
  void Store(TesselApplication* owner, int32_t code) override;
  /// Stores the value on `target` — an operation with scope 1, the model
  /// with scope 2 — and saves the model. Raises error 5 for another target
  /// or scope, an empty value or no saver; a failed save is raised again
  /// with the value in memory as it was before.
  void Store(TesselItem* target, int32_t scope) override;

 private:
  std::string OwnValue(const TesselItem& element) const;

  TesselApplication* application_;
  ModelSaver saver_;
  TemplateChoices* record_;
  std::string name_;
  std::string elementKind_;
  std::string defaultValue_;
  std::string value_;
};

/// How a chosen template file is stored, so that the choice travels with
/// the model: a file below the folder $PWTTEMPLATES names as
/// "$PWTTEMPLATES\" and its path below it ("\" between folders), any other
/// file by its absolute path. A path that starts with $PWTTEMPLATES stays as
/// it is. `files` maps paths to the disk.
std::string PortablePath(FileSystemObject& files, const std::string& path);

class WorkbenchTemplateDialog final : public TemplateDialog {
 public:
  /// Asks through `console`; `files` decides which paths name a file
  /// ("\" or "/", $PWTTEMPLATES); `application` gives the model for the
  /// whole-model scope; `presetPath`, when given, is taken without asking;
  /// `record`, when given, counts the dialogs shown and confirmed.
  WorkbenchTemplateDialog(Console& console, std::unique_ptr<FileSystemObject> files, TesselApplication* application,
                          std::optional<std::string> presetPath = std::nullopt, TemplateChoices* record = nullptr);

  /// Must be a WorkbenchTemplateProperty when Show confirms a choice.
  void SetProperty(TemplateProperty* property) override { property_ = property; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void SetFilter(const std::string& filter) override { filter_ = filter; }
  void SetElement(TesselItem* element) override { element_ = element; }
  /// Shows the caption, the filter's file types, the element and the value
  /// in force, asks for the file and the scope; 1 when both were answered
  /// (the property then holds the path, see PortablePath), 0 when the user
  /// cancelled.
  int32_t Show(int32_t owner) override;
  TesselItem* Target() override { return target_; }
  int32_t Scope() override { return scope_; }

 private:
  std::optional<std::string> ChoosePath();
  void WarnUnlessFiltered(const std::string& path);
  int32_t ChooseScope(const std::string& path, TesselModel* model);

  Console& console_;
  std::unique_ptr<FileSystemObject> files_;
  TesselApplication* application_;
  std::optional<std::string> presetPath_;
  TemplateChoices* record_;
  TemplateProperty* property_ = nullptr;
  std::string caption_;
  std::string filter_;
  TesselItem* element_ = nullptr;
  TesselItem* target_ = nullptr;
  int32_t scope_ = 0;
};

}  // namespace zt::wb
