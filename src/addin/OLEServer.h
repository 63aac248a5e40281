// The add-in's entry class: the host creates one and calls it when the
// add-in is activated or deactivated, when a model is created or opened,
// when it builds a context menu, and when the user picks one of the add-in's
// ten menu entries. Nothing escapes an entry call: an error ends the call
// quietly and the call still answers True where it answers at all.
//
// Between OnActivate and OnDeactivate the entry object owns one template
// processor and one code factory. Host references live for one call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zt {

class CodeFactory;
class TemplateProcessor;
class TesselAddIn;
class TesselAddInHost;
class TesselApplication;
class TesselClass;
class TesselOperation;

class OLEServer {
 public:
  OLEServer();
  ~OLEServer();
  OLEServer(const OLEServer&) = delete;
  OLEServer& operator=(const OLEServer&) = delete;

  /// Creates processor and factory and adds the ten context-menu entries.
  void OnActivate(TesselApplication* dispObj);
  /// Drops the shared store, the processor and the factory.
  void OnDeactivate(TesselApplication* dispObj);
  /// Enables the generation entries that fit the current selection.
  bool OnEnableContextMenuItems(TesselApplication* dispObj, int16_t itemType);
  /// Runs the entry named `aInternalName`: a template selection, or a
  /// generation in the progress window.
  bool OnSelectedContextMenuItem(TesselApplication* dispObj, const std::string& aInternalName);
  void OnNewModel(TesselApplication* dispObj);
  void OnOpenModel(TesselApplication* dispObj);
  /// Disables the three generation entries.
  void DisableAll();

  CodeFactory* Factory() const { return factory_.get(); }
  TemplateProcessor* Processor() const { return processor_.get(); }

 private:
  void AttachHost(TesselApplication* dispObj);
  void ReleaseHost();
  TesselAddIn* FindComponentAddIn();
  void SetMenuState(int16_t itemType, const std::string& internalName, int16_t state);
  void CreateFactory();
  bool OperationHasGenerator(TesselOperation* op);
  bool ClassHasGenerator(TesselClass* cls);
  void SelectModelTemplate(const std::string& aInternalName);
  void SelectOperationTemplate();
  void Generate();

  TesselApplication* application_ = nullptr;
  TesselAddIn* addIn_ = nullptr;
  TesselAddInHost* addInHost_ = nullptr;
  std::unique_ptr<TemplateProcessor> processor_;
  std::unique_ptr<CodeFactory> factory_;
};

}  // namespace zt
