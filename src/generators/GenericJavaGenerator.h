// The generator for plain Java classes: one Java test class per operation
// of a class whose language is "Java" and that is neither an interface, nor
// abstract, nor an EJB bean class. Nothing registers it for a generation
// run; clients drive it through the CodeGenerator members.
//
// After its 23 tags it adds seven of its own, for the bundled templates:
// "<java_package_name>", the dotted package name a package statement can
// hold (GetJavaPackageName; "<package_name>" is the package folder), then the
// imports, the object under test, the call target, declarations and reads
// for every type, and the deep check (lang/JavaTypes.h).
//
// It does not take what a test cannot call: a constructor (an operation
// named like its class: it makes the object under test), a private
// operation, or an operation that is not static of an enumeration or of a
// class whose constructors are all private. An operation without a return
// type is tested as one that returns nothing ("<return_type>" stays empty);
// one with an untyped parameter is refused with an error.
//
// This file also holds what the EJB generators share with it: the EJB type
// of a Java class, the tool-property tags, the return type and parameter
// check, and the test file's path.
#pragma once

#include "generators/CodeGenerator.h"

namespace zt {

class TesselClass;
class TesselItem;

/// Why the Java generator does not take an operation, in the order its rules
/// are tried; kTaken when it takes it. The host tells the user the reason.
enum class JavaNotTaken {
  kTaken,
  kNoOperation,          ///< no operation, or one without a class
  kLanguage,             ///< its class's language is not Java
  kConstructor,          ///< it makes the object under test
  kPrivate,              ///< out of a test's reach
  kNoPublicConstructor,  ///< not static, and every constructor the model gives is private
  kInterface,            ///< of an interface
  kEnumeration,          ///< not static, of an enumeration
  kBean,                 ///< of an EJB session or entity bean class
  kAbstractClass,        ///< of an abstract class
};

/// The first rule of the Java generator that `op` fails (IsValidOperationForGeneration).
JavaNotTaken WhyJavaTestNotTaken(TesselOperation* op);

class GenericJavaGenerator : public GeneratorBase {
 public:
  std::string TemplatePropertyName(OperationType optType) override;
  std::string TemplatePropertyDefault(OperationType optType) override;
  std::string TemplateSelectionFilter() override;
  std::string TemplateSelectionCaption() override;
  /// Also defines the "JavaTestTemplate" property with an empty default.
  void Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) override;
  std::string GetTemplatePath(TesselOperation* op) override;
  std::string GetTestCodePath(TesselOperation* op, DataStore* ds) override;
  dsScriptType GetDataStoreScriptType() override;
  std::optional<bool> IsValidOperationForGeneration(TesselOperation* op) override;
  std::unique_ptr<ParamMap> CalculateTemplateParams(TesselOperation* aOperation, DataStore* ds) override;
};

/// "EJBHome", "SessionBean", "EntityBean" or "EJBObject" when the class
/// extends (first) or realizes such a class of the package javax::ejb; else "".
std::string GetEJBType(TesselClass* cls);

/// Adds the properties of `toolName` on `element` to `map` as tags "<$Name$>".
void AddToolPropertyTags(TesselItem* element, const std::string& toolName, ParamMap* map);

/// The texts of the twenty tags that the Java-side generators share.
struct JavaTestTexts {
  std::string testName, datapoolName, index, packageName, className, operationName, check, declaration, call,
      returnType, returnDeclaration, returnAssignment, parameterDeclarations, parameterInitialization, parameterList;
};

/// Adds "<generation_date>" to "<operation_arglist>", in that order.
void AddJavaTestTags(ParamMap& map, JavaTestTexts texts);

/// The return type the Java fragments of `op` are made for: the model's, or
/// "void" when the model gives none (an operation without a result), so that
/// no variable is declared without a type.
std::string JavaReturnType(TesselOperation* op);

/// Raises the Java back-end's error 1 "No parameter datatype specified." when
/// a parameter of `op`, of a class other than a COM class, has no type: its
/// declaration in a test would be "void". (A COM class's untyped parameter
/// meets the same error in the method declaration.)
void RequireParameterTypes(TesselOperation* op);

/// "unittests\<package folder>\<class><operation><suffix>.java", the suffix
/// from the store's MakeScriptName. Raises what the model or store raise.
std::string JavaTestCodePath(TesselOperation* op, DataStore* ds);

}  // namespace zt
