// Hand-built model elements for tests of the add-in's own logic, and a
// model helper that answers from fields the test sets.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Components.h"
#include "host/ModelHelper.h"
#include "host/TesselModel.h"

namespace zt::test {

class FakeElement : public virtual TesselItem {
 public:
  FakeElement(std::string name, std::string kind) : name_(std::move(name)), kind_(std::move(kind)) {}
  std::string Name() const override { return name_; }
  std::string GetQualifiedName() const override { return qualifiedName.empty() ? name_ : qualifiedName; }
  std::string KindName() const override { return kind_; }
  TesselPropertyCollection GetToolProperties(const std::string&) const override { return {}; }
  std::string GetPropertyValue(const std::string&, const std::string&) const override { return {}; }
  std::string qualifiedName;

 private:
  std::string name_, kind_;
};

class FakeParameter : public FakeElement, public TesselParameter {
 public:
  FakeParameter(std::string name, std::string type, std::string initValue = {}, bool isRetval = false)
      : FakeElement(std::move(name), "Parameter"), type_(std::move(type)), init_(std::move(initValue)), retval(isRetval) {}
  std::string Type() const override { return type_; }
  std::string InitValue() const override { return init_; }

 private:
  std::string type_, init_;

 public:
  bool retval;
};

class FakeClass;

class FakeOperation : public FakeElement, public TesselOperation {
 public:
  FakeOperation(std::string name, std::string returnType) : FakeElement(std::move(name), "Operation"), returnType_(std::move(returnType)) {}
  TesselClass* ParentClass() override { return parent; }
  TesselParameterCollection* Parameters() override { return &parameters_; }
  std::string ReturnType() const override { return returnType_; }
  std::string Stereotype() const override { return stereotype; }
  bool IsStatic() const override { return false; }
  OperationVisibility Visibility() const override { return OperationVisibility::kPublic; }

  FakeOperation& Param(std::string name, std::string type, std::string initValue = {}, bool isRetval = false) {
    owned_.push_back(std::make_unique<FakeParameter>(std::move(name), std::move(type), std::move(initValue), isRetval));
    parameters_.Add(owned_.back().get());
    return *this;
  }

  TesselClass* parent = nullptr;
  std::string stereotype;

 private:
  std::string returnType_;
  TesselParameterCollection parameters_;
  std::vector<std::unique_ptr<FakeParameter>> owned_;
};

class FakeClass : public FakeElement, public TesselClass {
 public:
  FakeClass(std::string name, std::string language) : FakeElement(std::move(name), "Class"), language_(std::move(language)) {}
  TesselOperationCollection* Operations() override { return &operations_; }
  TesselCategory* ParentCategory() override { return nullptr; }
  std::string Stereotype() const override { return stereotype; }
  std::string Language() const override { return language_; }
  bool IsAbstract() const override { return false; }
  TesselRelationCollection* InheritRelations() override { return &none_; }
  TesselRelationCollection* RealizeRelations() override { return &none_; }
  TesselComponentCollection GetAssignedComponents() override { return {}; }

  FakeOperation& Op(std::string name, std::string returnType) {
    owned_.push_back(std::make_unique<FakeOperation>(std::move(name), std::move(returnType)));
    owned_.back()->parent = this;
    operations_.Add(owned_.back().get());
    return *owned_.back();
  }

  std::string stereotype;

 private:
  std::string language_;
  TesselOperationCollection operations_;
  TesselRelationCollection none_;
  std::vector<std::unique_ptr<FakeOperation>> owned_;
};

/// Knows the return-value parameter by FakeParameter::retval; nothing else.
class FakeModelHelper : public ModelHelper {
 public:
  bool IsRetvalParameter(TesselParameter* parameter) override {
    auto* fake = dynamic_cast<FakeParameter*>(parameter);
    return fake != nullptr && fake->retval;
  }
  std::string GetTypeLibraryName(TesselClass*) override { return {}; }
  std::string GetDefaultCoclassName(TesselClass*) override { return {}; }
  TesselClassCollection GetCoclasses(TesselClass*) override { return {}; }
  std::string GetProgID(TesselClass*) override { return {}; }
  bool IsRemoteInterface(TesselClass*) override { return false; }
  bool IsHomeInterface(TesselClass*) override { return false; }
  bool IsEntityBean(TesselClass*) override { return false; }
  TesselClass* GetRemoteInterface(TesselClass*) override { return nullptr; }
  TesselClass* GetHomeInterface(TesselClass*) override { return nullptr; }
  TesselClass* GetBeanClass(TesselClass*) override { return nullptr; }
  TesselClass* GetBeanClassFallback(TesselClass*) override { return nullptr; }
  TesselClass* GetPrimaryKeyClass(TesselClass*) override { return nullptr; }
  std::string GetDatapoolFields(TesselOperation*) override { return {}; }
};

/// Components whose model helper is a FakeModelHelper.
class FakeHelperComponents : public HostComponents {
 public:
  std::unique_ptr<ModelHelper> CreateModelHelper() override { return std::make_unique<FakeModelHelper>(); }
};

}  // namespace zt::test
