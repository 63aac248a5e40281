// A model helper whose answers a test writes down by class name, for tests
// of the generators that must not depend on the workbench's own rules.
// Unnamed answers are "none" / false / "".
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/Components.h"
#include "host/ModelHelper.h"
#include "host/TesselModel.h"

namespace zt::test {

class ScriptedModelHelper : public ModelHelper {
 public:
  // Answers by class name; classes are found in the asking class's package.
  std::set<std::string> remote, home, entity;
  std::map<std::string, std::string> remoteOf, homeOf, beanOf, fallbackBeanOf, keyOf;
  std::map<std::string, std::string> typelibOf, defaultCoclassOf, progidOf;
  std::map<std::string, std::vector<std::string>> coclassesOf;  // by qualified name of the coclass
  std::set<std::string> retvalParameters;                       // "Operation::parameter"

  bool IsRetvalParameter(TesselParameter* parameter) override;
  std::string GetTypeLibraryName(TesselClass* cls) override { return Lookup(typelibOf, cls); }
  std::string GetDefaultCoclassName(TesselClass* cls) override { return Lookup(defaultCoclassOf, cls); }
  TesselClassCollection GetCoclasses(TesselClass* cls) override;
  std::string GetProgID(TesselClass* coclass) override;
  bool IsRemoteInterface(TesselClass* cls) override { return cls != nullptr && remote.count(cls->Name()) > 0; }
  bool IsHomeInterface(TesselClass* cls) override { return cls != nullptr && home.count(cls->Name()) > 0; }
  bool IsEntityBean(TesselClass* cls) override { return cls != nullptr && entity.count(cls->Name()) > 0; }
  TesselClass* GetRemoteInterface(TesselClass* cls) override { return Sibling(cls, remoteOf); }
  TesselClass* GetHomeInterface(TesselClass* cls) override { return Sibling(cls, homeOf); }
  TesselClass* GetBeanClass(TesselClass* cls) override { return Sibling(cls, beanOf); }
  TesselClass* GetBeanClassFallback(TesselClass* cls) override { return Sibling(cls, fallbackBeanOf); }
  TesselClass* GetPrimaryKeyClass(TesselClass* cls) override { return Sibling(cls, keyOf); }
  std::string GetDatapoolFields(TesselOperation* operation) override;

 private:
  static std::string Lookup(const std::map<std::string, std::string>& answers, TesselClass* cls);
  static TesselClass* Sibling(TesselClass* cls, const std::map<std::string, std::string>& answers);
};

/// Components with a scripted model helper (owned by the test).
class ScriptedComponents : public HostComponents {
 public:
  explicit ScriptedComponents(ScriptedModelHelper& helper) : helper_(helper) {}
  std::unique_ptr<ModelHelper> CreateModelHelper() override;

 private:
  ScriptedModelHelper& helper_;
};

}  // namespace zt::test
