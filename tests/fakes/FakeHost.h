// Small stand-ins for host objects, for tests that need one element or a
// log and not a whole model.
#pragma once

#include <string>
#include <vector>

#include "driver/GenerationRun.h"
#include "host/Components.h"
#include "host/TesselModel.h"
#include "support/CommonFunctions.h"
#include "support/modErrorHandling.h"

namespace zt::test {

/// An application that records its log lines.
class RecordingApplication : public TesselApplication {
 public:
  TesselModel* CurrentModel() override { return nullptr; }
  TesselAddInManager* AddInManager() override { return nullptr; }
  void WriteLog(const std::string& text) override { lines.push_back(text); }

  std::vector<std::string> lines;
};

/// An element that only has a name and a qualified name.
class NamedItem : public virtual TesselItem {
 public:
  explicit NamedItem(std::string qualifiedName) : qualifiedName_(std::move(qualifiedName)) {}
  std::string Name() const override {
    const size_t sep = qualifiedName_.rfind("::");
    return sep == std::string::npos ? qualifiedName_ : qualifiedName_.substr(sep + 2);
  }
  std::string GetQualifiedName() const override { return qualifiedName_; }
  std::string KindName() const override { return "Class"; }
  TesselPropertyCollection GetToolProperties(const std::string&) const override { return {}; }
  std::string GetPropertyValue(const std::string&, const std::string&) const override { return {}; }

 private:
  std::string qualifiedName_;
};

/// Hands the add-in `components`, and `log` as its host log, for one scope:
/// its file-system object, model helper and run state are made afresh at
/// both ends, and the components and the log are taken away at the end.
class ComponentsInstalled {
 public:
  ComponentsInstalled(HostComponents& components, TesselApplication* log) {
    SetHostComponents(&components);
    Reset();
    SetLogTarget(log);
  }
  ~ComponentsInstalled() {
    SetLogTarget(nullptr);
    SetHostComponents(nullptr);
    Reset();
  }
  ComponentsInstalled(const ComponentsInstalled&) = delete;
  ComponentsInstalled& operator=(const ComponentsInstalled&) = delete;

 private:
  static void Reset() {
    ResetFileSystem();
    ResetModelHelper();
    ResetRunState();
  }
};

}  // namespace zt::test
