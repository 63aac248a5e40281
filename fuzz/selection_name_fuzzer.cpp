// Fuzzes the lookup of the command line's selection names
// (zt::wb::Model::Find and the class and package lookups on it) on the
// models of the bundled examples.
//
// Input: the name. Every element found must carry that qualified name, with
// or without the root package's name in front.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "workbench/documents/ModelDocument.h"

namespace {

std::vector<std::unique_ptr<zt::wb::Model>>& Models() {
  static std::vector<std::unique_ptr<zt::wb::Model>> models;
  return models;
}

bool Names(const zt::wb::Model& model, const zt::wb::Element& element, const std::string& name) {
  const std::string qualified = element.GetQualifiedName();
  return qualified == name || qualified == model.Root().Name() + "::" + name;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  for (const char* example : {"bank-ejb", "calc-com", "shapes-java"}) {
    Models().push_back(zt::wb::LoadModelDocument(std::string(ZT_EXAMPLES_DIR) + "/" + example + ".json"));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  for (const auto& model : Models()) {
    for (const zt::wb::Element* element : model->Find(name)) {
      if (!Names(*model, *element, name)) __builtin_trap();
    }
    if (const auto* c = model->FindClass(name); c != nullptr && !Names(*model, *c, name)) __builtin_trap();
    if (const auto* p = model->FindPackage(name); p != nullptr && !Names(*model, *p, name)) __builtin_trap();
    if (const auto* c = model->FindComponent(name); c != nullptr && c->Name() != name) __builtin_trap();
  }
  return 0;
}
