#include "fakes/ScriptedModelHelper.h"

#include "support/Error.h"

namespace zt::test {

namespace {

// Forwards to a helper the test owns, so the add-in may "own" its copy.
class Forwarder : public ModelHelper {
 public:
  explicit Forwarder(ModelHelper& target) : t_(target) {}
  bool IsRetvalParameter(TesselParameter* p) override { return t_.IsRetvalParameter(p); }
  std::string GetTypeLibraryName(TesselClass* c) override { return t_.GetTypeLibraryName(c); }
  std::string GetDefaultCoclassName(TesselClass* c) override { return t_.GetDefaultCoclassName(c); }
  TesselClassCollection GetCoclasses(TesselClass* c) override { return t_.GetCoclasses(c); }
  std::string GetProgID(TesselClass* c) override { return t_.GetProgID(c); }
  bool IsRemoteInterface(TesselClass* c) override { return t_.IsRemoteInterface(c); }
  bool IsHomeInterface(TesselClass* c) override { return t_.IsHomeInterface(c); }
  bool IsEntityBean(TesselClass* c) override { return t_.IsEntityBean(c); }
  TesselClass* GetRemoteInterface(TesselClass* c) override { return t_.GetRemoteInterface(c); }
  TesselClass* GetHomeInterface(TesselClass* c) override { return t_.GetHomeInterface(c); }
  TesselClass* GetBeanClass(TesselClass* c) override { return t_.GetBeanClass(c); }
  TesselClass* GetBeanClassFallback(TesselClass* c) override { return t_.GetBeanClassFallback(c); }
  TesselClass* GetPrimaryKeyClass(TesselClass* c) override { return t_.GetPrimaryKeyClass(c); }
  std::string GetDatapoolFields(TesselOperation* o) override { return t_.GetDatapoolFields(o); }

 private:
  ModelHelper& t_;
};

}  // namespace

std::unique_ptr<ModelHelper> ScriptedComponents::CreateModelHelper() { return std::make_unique<Forwarder>(helper_); }

bool ScriptedModelHelper::IsRetvalParameter(TesselParameter* parameter) {
  if (parameter == nullptr) return false;
  const std::string qualified = parameter->GetQualifiedName();
  // "...::Operation::parameter"
  const size_t last = qualified.rfind("::");
  const size_t before = last == std::string::npos ? std::string::npos : qualified.rfind("::", last - 1);
  const std::string key = before == std::string::npos ? qualified : qualified.substr(before + 2);
  return retvalParameters.count(key) > 0;
}

TesselClassCollection ScriptedModelHelper::GetCoclasses(TesselClass* cls) {
  TesselClassCollection result;
  if (cls == nullptr) return result;
  auto it = coclassesOf.find(cls->Name());
  if (it == coclassesOf.end()) return result;
  TesselClassCollection* all = Ref(cls->ParentCategory()).AllClasses();
  for (const std::string& name : it->second) result.Add(Ref(all).GetFirst(name));
  return result;
}

std::string ScriptedModelHelper::GetProgID(TesselClass* coclass) {
  const std::string progid = Lookup(progidOf, coclass);
  if (progid.empty()) RaiseError(errc::kCannotCreateObject);
  return progid;
}

std::string ScriptedModelHelper::GetDatapoolFields(TesselOperation* operation) {
  return operation == nullptr ? std::string() : "fields of " + operation->Name();
}

std::string ScriptedModelHelper::Lookup(const std::map<std::string, std::string>& answers, TesselClass* cls) {
  if (cls == nullptr) return {};
  auto it = answers.find(cls->Name());
  return it == answers.end() ? std::string() : it->second;
}

TesselClass* ScriptedModelHelper::Sibling(TesselClass* cls, const std::map<std::string, std::string>& answers) {
  const std::string name = Lookup(answers, cls);
  if (name.empty()) return nullptr;
  return Ref(Ref(cls->ParentCategory()).Classes()).GetFirst(name);
}

}  // namespace zt::test
