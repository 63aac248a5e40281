#include "generators/GenericJavaGenerator.h"

#include <functional>
#include <utility>
#include <vector>

#include "generators/TemplatePaths.h"
#include "host/TesselModel.h"
#include "lang/JavaLang.h"
#include "lang/JavaTypes.h"
#include "lang/TesselFunctions.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/modErrorHandling.h"

namespace zt {

namespace {

// The supertype names that make a Java class an EJB class.
bool IsEjbSupertype(TesselClass* supplier) {
  const std::string name = Ref(supplier).Name();
  if (name != GetResString(IDS_EJB_HOME) && name != GetResString(IDS_EJB_SESSION_BEAN) &&
      name != GetResString(IDS_EJB_ENTITY_BEAN) && name != GetResString(IDS_EJB_OBJECT)) {
    return false;
  }
  TesselCategory* ejb = supplier->ParentCategory();
  if (ejb == nullptr || ejb->Name() != GetResString(IDS_PACKAGE_EJB)) return false;
  TesselCategory* javax = ejb->ParentCategory();
  return javax != nullptr && javax->Name() == GetResString(IDS_PACKAGE_JAVAX);
}

// The texts of the tags the bundled templates use beyond the generator's
// own: how the test makes its object, calls the operation, reads inputs of
// every type and checks the result, and what it imports.
struct JavaOwnTexts {
  std::string imports, objectUnderTest, callTarget, declarations, initialization, check;
};

// One line per parameter of `op` (named as GenParamData names them, with
// `suffix`), each made by `line` from its name and type; CR LF between them.
std::string ParameterLines(TesselOperation& op, const std::string& suffix,
                           const std::function<std::string(const std::string&, const std::string&)>& line,
                           std::vector<std::string>* types) {
  TesselParameterCollection& parameters = Ref(op.Parameters());
  std::string text;
  for (int16_t i = 1; i <= parameters.Count(); ++i) {
    TesselParameter& p = Ref(parameters.GetAt(i));
    int16_t position = i;
    if (i > 1) text += GetResString(IDS_CRLF);
    text += line(GetParamName(op.ParentClass(), &p, position) + suffix, p.Type());
    if (types != nullptr) types->push_back(p.Type());
  }
  return text;
}

JavaOwnTexts OwnTexts(TesselOperation& op, TesselClass& cls, const std::string& returnType) {
  JavaOwnTexts texts;
  const std::string crlf = GetResString(IDS_CRLF);
  std::vector<std::string> types{returnType};
  if (op.IsStatic()) {
    texts.objectUnderTest = FormatResString1(IDS_JAVA_STATIC_TEST_OBJECT, op.Name());
    texts.callTarget = cls.Name();
  } else {
    // The constructor's arguments come from fields of their own, after the
    // operation's: the name of each of its parameters with a fixed suffix.
    std::string arguments;
    if (TesselOperation* constructor = GetTestConstructor(&cls)) {
      const std::string suffix = GetResString(IDS_SUFFIX_NEW);
      texts.objectUnderTest = ParameterLines(
          *constructor, suffix,
          [&](const std::string& name, const std::string& type) {
            arguments += (arguments.empty() ? std::string() : GetResString(IDS_LIST_SEPARATOR)) + name;
            return JavaTestVariableType(type) + GetResString(IDS_BLANK) + ReadJavaTestVariable(name, type);
          },
          &types);
      if (!texts.objectUnderTest.empty()) texts.objectUnderTest += crlf;
    }
    texts.objectUnderTest += FormatResString2(IDS_JAVA_NEW_TEST_OBJECT, cls.Name(), arguments);
    texts.callTarget = GetResString(IDS_VAR_TEST_OBJECT);
  }
  texts.declarations = ParameterLines(op, {}, DeclareJavaTestVariable, &types);
  texts.initialization = ParameterLines(
      op, {}, [](const std::string& name, const std::string& type) { return ReadJavaTestVariable(name, type); },
      nullptr);
  const std::string operationName = op.Name();
  if (returnType == GetResString(IDS_VOID)) {
    texts.check = JavaLang().GetCheckExpectedResult(returnType, operationName);
  } else {
    const std::string expected = GetResString(IDS_VAR_EXPECTED_RETURN);
    const std::string separator = texts.declarations.empty() ? std::string() : crlf;
    texts.declarations += separator + DeclareJavaTestVariable(expected, returnType);
    texts.initialization += separator + ReadJavaTestVariable(expected, returnType);
    texts.check = GetResString(IDS_JAVA_CHECK_IF_DEEP) + crlf + FormatResString1(IDS_JAVA_CHECK_PASS, operationName) +
                  crlf + GetResString(IDS_JAVA_CHECK_ELSE) + crlf +
                  FormatResString1(IDS_JAVA_CHECK_FAIL_TEXT, operationName);
  }
  texts.imports = JavaTestImports(&cls, types);
  return texts;
}

std::string FirstEjbSupplier(TesselRelationCollection* relations) {
  TesselRelationCollection& all = Ref(relations);
  for (int16_t i = 1; i <= all.Count(); ++i) {
    TesselClass* supplier = Ref(all.GetAt(i)).GetSupplierClass();
    if (IsEjbSupertype(supplier)) return supplier->Name();
  }
  return {};
}

}  // namespace

std::string GetEJBType(TesselClass* cls) {
  try {
    TesselClass& c = Ref(cls);
    std::string type = FirstEjbSupplier(c.InheritRelations());
    if (type.empty()) type = FirstEjbSupplier(c.RealizeRelations());
    return type;
  } catch (...) {
    return {};
  }
}

void AddToolPropertyTags(TesselItem* element, const std::string& toolName, ParamMap* map) {
  if (map == nullptr) return;
  const TesselPropertyCollection properties = Ref(element).GetToolProperties(toolName);
  for (int16_t i = 1; i <= properties.Count(); ++i) {
    TesselProperty* property = properties.GetAt(i);
    if (property == nullptr) continue;
    map->Add(property->Value(), FormatResString1(IDS_TOOL_PROPERTY_TAG, property->Name()));
  }
}

void AddJavaTestTags(ParamMap& map, JavaTestTexts t) {
  // Each text is the map's now: moved, not copied (two go in twice).
  map.Add(GenerationDate(), ResString(IDS_TAG_GENERATION_DATE));
  map.Add(std::move(t.testName), ResString(IDS_TAG_TEST_NAME));
  map.Add(std::move(t.datapoolName), ResString(IDS_TAG_DATAPOOL_NAME));
  map.Add(std::move(t.index), ResString(IDS_TAG_INDEX));
  map.Add(ResString(IDS_ROOT_PACKAGE), ResString(IDS_TAG_ROOT_PACKAGE));
  map.Add(std::move(t.packageName), ResString(IDS_TAG_PACKAGE_NAME));
  map.Add(std::move(t.className), ResString(IDS_TAG_CLASS_NAME));
  map.Add(t.operationName, ResString(IDS_TAG_OPERATION_NAME));
  map.Add(std::move(t.operationName), ResString(IDS_TAG_METHOD_NAME));
  map.Add(std::move(t.check), ResString(IDS_TAG_CHECK_EXPECTED_RESULT));
  map.Add(std::move(t.declaration), ResString(IDS_TAG_METHOD_DECLARATION));
  map.Add(std::move(t.call), ResString(IDS_TAG_METHOD_CALL));
  map.Add(std::move(t.returnType), ResString(IDS_TAG_RETURN_TYPE));
  map.Add(std::move(t.returnDeclaration), ResString(IDS_TAG_RETURN_DECLARATION));
  map.Add(std::move(t.returnAssignment), ResString(IDS_TAG_RETURN_ASSIGNMENT));
  map.Add(std::move(t.parameterDeclarations), ResString(IDS_TAG_PARAMETER_DECLARATIONS));
  map.Add(t.parameterInitialization, ResString(IDS_TAG_PARAMETER_INITIALIZATION));
  map.Add(std::move(t.parameterInitialization), ResString(IDS_TAG_DATAPOOL_INIT));
  map.Add(t.parameterList, ResString(IDS_TAG_PARAMETER_LIST));
  map.Add(std::move(t.parameterList), ResString(IDS_TAG_OPERATION_ARGLIST));
}

std::string JavaReturnType(TesselOperation* op) {
  const std::string type = Ref(op).ReturnType();
  return type.empty() ? GetResString(IDS_VOID) : type;
}

void RequireParameterTypes(TesselOperation* op) {
  TesselOperation& operation = Ref(op);
  // A COM class keeps an untyped parameter's empty type, which the method
  // declaration refuses with this very error; any other class would get
  // "void", which no Java compiler takes.
  if (Ref(operation.ParentClass()).Language() == GetResString(IDS_LANG_COM)) return;
  TesselParameterCollection& parameters = Ref(operation.Parameters());
  for (int16_t i = 1; i <= parameters.Count(); ++i) {
    if (Ref(parameters.GetAt(i)).Type().empty()) {
      RaiseError(1, GetResString(IDS_SOURCE_JAVA_LANG), GetResString(IDS_ERR_NO_PARAM_TYPE));
    }
  }
}

std::string JavaTestCodePath(TesselOperation* op, DataStore* ds) {
  TesselOperation& operation = Ref(op);
  TesselClass& cls = Ref(operation.ParentClass());
  const std::string testName = JavaTestName(&operation);
  const std::string folder = GetPackagePath(&cls);
  const std::string suffix = Ref(ds).MakeScriptName(testName, folder, dsJavaScript);
  const std::string sep = GetResString(IDS_BACKSLASH);
  return GetResString(IDS_ROOT_PACKAGE) + sep + folder + sep + testName + suffix + GetResString(IDS_EXT_JAVA);
}

std::string GenericJavaGenerator::TemplatePropertyName(OperationType) { return GetResString(IDS_PROP_JAVA_TEST); }
std::string GenericJavaGenerator::TemplatePropertyDefault(OperationType) { return {}; }
std::string GenericJavaGenerator::TemplateSelectionFilter() { return GetResString(IDS_FILTER_JAVA); }
std::string GenericJavaGenerator::TemplateSelectionCaption() { return GetResString(IDS_TEMPLATE_CAPTION); }
dsScriptType GenericJavaGenerator::GetDataStoreScriptType() { return dsJavaScript; }

void GenericJavaGenerator::Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) {
  try {
    if (!InitOnce(TesselApp, TProcessor)) return;
    DefineTemplateProperty(GetResString(IDS_PROP_JAVA_TEST), GetResString(IDS_KIND_OPERATION), {}, TesselApp);
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_INIT_JAVA));
  }
}

std::string GenericJavaGenerator::GetTemplatePath(TesselOperation* op) {
  try {
    return GetTemplateProperty(TemplatePropertyName(optBusiness), GetResString(IDS_KIND_OPERATION), op, {});
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_TEMPLATE_PATH_JAVA));
    return {};
  }
}

std::string GenericJavaGenerator::GetTestCodePath(TesselOperation* op, DataStore* ds) {
  return JavaTestCodePath(op, ds);
}

JavaNotTaken WhyJavaTestNotTaken(TesselOperation* op) {
  try {
    TesselClass* cls = Ref(op).ParentClass();
    if (Ref(cls).Language() != GetResString(IDS_LANG_JAVA)) return JavaNotTaken::kLanguage;
    // A constructor is how the test makes its object, not a test of its
    // own; a private operation is out of a test's reach.
    if (IsConstructor(op)) return JavaNotTaken::kConstructor;
    if (op->Visibility() == OperationVisibility::kPrivate) return JavaNotTaken::kPrivate;
    // Nor can it make an object whose constructors are all private.
    if (!op->IsStatic() && HasConstructor(cls) && GetTestConstructor(cls) == nullptr) {
      return JavaNotTaken::kNoPublicConstructor;
    }
    if (cls->Stereotype() == GetResString(IDS_STEREO_INTERFACE)) return JavaNotTaken::kInterface;
    // The objects of an enumeration are its constants: none is made with new.
    if (cls->Stereotype() == GetResString(IDS_STEREO_ENUMERATION) && !op->IsStatic()) return JavaNotTaken::kEnumeration;
    const std::string ejbType = GetEJBType(cls);
    if (ejbType == GetResString(IDS_EJB_SESSION_BEAN) || ejbType == GetResString(IDS_EJB_ENTITY_BEAN)) {
      return JavaNotTaken::kBean;
    }
    return cls->IsAbstract() ? JavaNotTaken::kAbstractClass : JavaNotTaken::kTaken;
  } catch (...) {
    return JavaNotTaken::kNoOperation;
  }
}

std::optional<bool> GenericJavaGenerator::IsValidOperationForGeneration(TesselOperation* op) {
  return WhyJavaTestNotTaken(op) == JavaNotTaken::kTaken;
}

std::unique_ptr<ParamMap> GenericJavaGenerator::CalculateTemplateParams(TesselOperation* aOperation, DataStore* ds) {
  try {
    TesselOperation& op = Ref(aOperation);
    TesselClass& cls = Ref(op.ParentClass());
    const std::string operationName = op.Name();
    const std::string className = cls.Name();
    // The test calls the operation on an object it made with `new`.
    if (operationName == className) {
      RaiseError(errc::kInvalidCall, {}, FormatResString1(IDS_ERR_CONSTRUCTOR, op.GetQualifiedName()));
    }
    RequireParameterTypes(&op);
    const std::string testName = JavaTestName(&op);
    const std::string folder = GetPackagePath(&cls);
    const std::string returnType = JavaReturnType(&op);

    JavaLang java;
    const std::string check = java.GetCheckExpectedResult(returnType, operationName);
    DataStore& store = Ref(ds);
    const std::string datapoolName = store.MakeDatapoolName(className, operationName, 0);
    const std::string index = store.MakeScriptName(testName, folder, dsJavaScript);
    SignatureArray types, names, arrayStrs, initialValues;
    BuildParamArrays(&op, types, names, arrayStrs, initialValues);
    const std::string declaration = java.DeclareOperation(returnType, operationName, types, names, {});
    const std::string call = java.InvokeOperation(operationName, names, {});
    const std::string returnDeclaration = java.DeclareVariable(GetResString(IDS_VAR_ACTUAL_RETURN), returnType, {});
    const std::string returnAssignment = returnDeclaration.empty() ? std::string() : GetResString(IDS_JAVA_RETURN_ASSIGNMENT);
    std::string parameterDeclarations, parameterInitialization, parameterList;
    // (GenParamData reads the model's return type: for none, no expected result.)
    java.GenParamData(&op, parameterDeclarations, parameterInitialization, parameterList, !op.ReturnType().empty(), {});

    auto map = std::make_unique<ParamMap>();
    AddToolPropertyTags(&op, GetResString(IDS_TOOL_TESTABILITY), map.get());
    AddToolPropertyTags(&op, GetResString(IDS_LANG_JAVA), map.get());
    AddJavaTestTags(*map, {testName, datapoolName, index, folder, className, operationName, check, declaration, call,
                           op.ReturnType(), returnDeclaration, returnAssignment, parameterDeclarations,
                           parameterInitialization, parameterList});
    map->Add(GetResString(IDS_TEXT_CREATEPARAM_DECLARATION_ERROR), ResString(IDS_TAG_CREATEPARAM_DECLARATION));
    map->Add(GetResString(IDS_TEXT_CREATEPARAM_INIT_ERROR), ResString(IDS_TAG_CREATEPARAM_INIT));
    map->Add(GetResString(IDS_TEXT_CREATE_PARAMS_ERROR), ResString(IDS_TAG_CREATE_PARAMS));
    map->Add(GetJavaPackageName(&cls), ResString(IDS_TAG_JAVA_PACKAGE_NAME));
    const JavaOwnTexts own = OwnTexts(op, cls, returnType);
    map->Add(own.imports, ResString(IDS_TAG_JAVA_IMPORTS));
    map->Add(own.objectUnderTest, ResString(IDS_TAG_JAVA_OBJECT_UNDER_TEST));
    map->Add(own.callTarget, ResString(IDS_TAG_JAVA_CALL_TARGET));
    map->Add(own.declarations, ResString(IDS_TAG_JAVA_PARAMETER_DECLARATIONS));
    map->Add(own.initialization, ResString(IDS_TAG_JAVA_PARAMETER_INITIALIZATION));
    map->Add(own.check, ResString(IDS_TAG_JAVA_CHECK_EXPECTED_RESULT));
    return map;
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_PARAMS_JAVA));
    return nullptr;
  }
}

}  // namespace zt
