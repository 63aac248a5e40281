// A bank model, a scripted model helper, a store and a host log for the
// generator tests.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "template/TemplateProcessor.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeStore.h"
#include "fakes/ScriptedModelHelper.h"
#include "support/CommonFunctions.h"
#include "support/modErrorHandling.h"
#include "template/ParamMap.h"
#include "workbench/documents/ModelDocument.h"

namespace zt::test {

inline constexpr const char* kBankModel = R"({
  "model": "Bank",
  "packages": [
    { "name": "javax", "packages": [ { "name": "ejb", "classes": [
        { "name": "EJBObject" }, { "name": "EJBHome" }, { "name": "EntityBean" }, { "name": "SessionBean" } ] } ] },
    { "name": "ejb", "classes": [ { "name": "SessionBean" } ] },
    { "name": "bank", "packages": [ { "name": "core", "classes": [
        { "name": "Account", "language": "Java", "inherits": ["javax::ejb::EJBObject"], "operations": [
            { "name": "getBalance", "returnType": "double" },
            { "name": "setBalance", "returnType": "void", "parameters": [ { "name": "balance", "type": "double" } ] },
            { "name": "GetBalance", "returnType": "double" },
            { "name": "transfer", "returnType": "boolean",
              "parameters": [ { "name": "to", "type": "Account" }, { "type": "double" } ],
              "properties": { "Testability": { "Author": "t" }, "Java": { "Author": "j", "Extra": "x" } } } ] },
        { "name": "AccountHome", "language": "Java", "stereotype": "EJBHomeInterface", "operations": [
            { "name": "create", "returnType": "Account", "parameters": [ { "name": "id", "type": "String" } ] },
            { "name": "create", "returnType": "Account" },
            { "name": "createX", "returnType": "Account", "stereotype": "EJBFinderMethod" },
            { "name": "findByKey", "returnType": "Account", "parameters": [ { "name": "key", "type": "AccountPK" } ] },
            { "name": "remove", "returnType": "void" } ] },
        { "name": "AccountBean", "language": "Java", "realizes": ["javax::ejb::EntityBean"] },
        { "name": "AccountPK", "language": "Java", "operations": [
            { "name": "AccountPK", "returnType": "", "parameters": [ { "name": "id", "type": "long" } ] },
            { "name": "AccountPK", "returnType": "" } ] },
        { "name": "Teller", "language": "Java", "stereotype": "EJBRemoteInterface", "operations": [
            { "name": "getRate", "returnType": "double" } ] },
        { "name": "TellerHome", "language": "Java", "stereotype": "EJBHomeInterface", "operations": [
            { "name": "create", "returnType": "Teller", "parameters": [ { "name": "branch", "type": "String" } ] } ] },
        { "name": "TellerBean", "language": "Java", "realizes": ["javax::ejb::SessionBean"] },
        { "name": "TellerPK", "language": "Java", "operations": [
            { "name": "TellerPK", "parameters": [ { "name": "id", "type": "String" } ] } ] },
        { "name": "Cashier", "language": "InlineEJB", "stereotype": "EJBSession", "operations": [ { "name": "pay" } ] },
        { "name": "Home", "language": "Java" },
        { "name": "Util", "language": "Java", "inherits": ["ejb::SessionBean"], "operations": [ { "name": "round" },
            { "name": "secret", "visibility": "private" }, { "name": "hook", "visibility": "protected" } ] },
        { "name": "Shape", "language": "Java", "abstract": true, "operations": [ { "name": "area" } ] },
        { "name": "Api", "language": "Java", "stereotype": "Interface", "operations": [ { "name": "call" } ] },
        { "name": "Bean2", "language": "Java", "realizes": ["javax::ejb::SessionBean"], "operations": [ { "name": "go" } ] },
        { "name": "Loose", "language": "Java", "operations": [
            { "name": "take", "returnType": "void", "parameters": [ { "name": "what" } ] } ] } ] } ] } ],
  "classes": [ { "name": "Top", "language": "Java", "stereotype": "EJBRemoteInterface", "operations": [
      { "name": "ping", "returnType": "int", "parameters": [ { "name": "n", "type": "int" } ] } ] },
    { "name": "Wire", "language": "COM", "stereotype": "EJBRemoteInterface", "operations": [
      { "name": "send", "returnType": "void", "parameters": [ { "name": "a", "type": "long" }, { "name": "b" } ] } ] } ]
})";

/// Answers of `helper` for the EJB classes of a model: `remote` names remote
/// interfaces X whose home is XHome and bean XBean; `entities` maps entity
/// beans to their primary-key classes.
inline void DescribeBeans(ScriptedModelHelper& helper, const std::vector<std::string>& remote,
                          const std::map<std::string, std::string>& entities) {
  for (const std::string& x : remote) {
    helper.remote.insert(x);
    helper.home.insert(x + "Home");
    for (const std::string& cls : {x, x + "Home"}) {
      helper.remoteOf[cls] = x;
      helper.homeOf[cls] = x + "Home";
      helper.beanOf[cls] = x + "Bean";
    }
  }
  for (const auto& [bean, key] : entities) {
    helper.entity.insert(bean);
    helper.keyOf[bean] = key;
  }
}

class GeneratorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_ = wb::ParseModelDocument(kBankModel, "bank.json");
    DescribeBeans(helper_, {"Account", "Teller"}, {{"AccountBean", "AccountPK"}});
    helper_.remote.insert("Top");  // no home, no bean
    helper_.remoteOf["Top"] = "Top";
  }

  TesselOperation* Op(const std::string& qualifiedName, size_t overload = 0) {
    auto found = model_->Find(qualifiedName);
    EXPECT_GT(found.size(), overload) << qualifiedName;
    return dynamic_cast<TesselOperation*>(found.at(overload));
  }
  TesselClass* Class(const std::string& qualifiedName) { return model_->FindClass(qualifiedName); }

  static std::string Text(const ParamMap& map, const std::string& key) { return ToText(map.Item(key)); }

  std::unique_ptr<wb::Model> model_;
  ScriptedModelHelper helper_;
  ScriptedComponents components_{helper_};
  FakeStore store_;
  RecordingApplication log_;
  ComponentsInstalled installed_{components_, &log_};
  // The run the generators work for, through this processor.
  TemplateProcessor processor_;
};

}  // namespace zt::test
