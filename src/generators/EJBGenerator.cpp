#include "generators/EJBGenerator.h"

#include "generators/GenericJavaGenerator.h"
#include "generators/TemplatePaths.h"
#include "host/ModelHelper.h"
#include "host/TesselModel.h"
#include "lang/JavaLang.h"
#include "lang/TesselFunctions.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Text.h"
#include "support/modErrorHandling.h"

namespace zt {

namespace {

struct EjbTemplate {
  OperationType type;
  int16_t name;
  int16_t defaultPath;
};

constexpr EjbTemplate kTemplates[] = {
    {optCreate, IDS_PROP_EJB_CREATE, IDS_DEFAULT_EJB_CREATE},
    {optFinder, IDS_PROP_EJB_FINDER, IDS_DEFAULT_EJB_FINDER},
    {optGetter, IDS_PROP_EJB_GETTER, IDS_DEFAULT_EJB_GETTER},
    {optSetter, IDS_PROP_EJB_SETTER, IDS_DEFAULT_EJB_SETTER},
    {optBusiness, IDS_PROP_EJB_BUSINESS, IDS_DEFAULT_EJB_BUSINESS},
};

const EjbTemplate* TemplateOf(OperationType type) {
  for (const EjbTemplate& t : kTemplates) {
    if (t.type == type) return &t;
  }
  return nullptr;
}

// The first operation named `name` in `cls` that has no parameters.
TesselOperation* FirstWithoutParameters(TesselClass& cls, const std::string& name) {
  TesselOperationCollection& operations = Ref(cls.Operations());
  TesselOperation* result = nullptr;
  int16_t index = operations.FindFirst(name);
  while (result == nullptr && index != 0) {
    TesselOperation* candidate = operations.GetAt(index);
    if (Ref(Ref(candidate).Parameters()).Count() == 0) result = candidate;
    index = operations.FindNext(name, index);
  }
  return result;
}

TesselClass* ClassInAllClasses(TesselClass& near, const std::string& name) {
  return Ref(Ref(near.ParentCategory()).AllClasses()).GetFirst(name);
}

}  // namespace

TesselClass* FindClassInPackage(TesselOperation* op, const std::string& name) {
  TesselClass& cls = Ref(Ref(op).ParentClass());
  TesselCategory* package = cls.ParentCategory();
  if (package == nullptr || package->Classes() == nullptr) return nullptr;
  const int16_t index = package->Classes()->FindFirst(name);
  return index > 0 ? package->Classes()->GetAt(index) : nullptr;
}

std::string EJBGenerator::TemplatePropertyName(OperationType optType) {
  const EjbTemplate* t = TemplateOf(optType);
  return t != nullptr ? GetResString(t->name) : std::string();
}

std::string EJBGenerator::TemplatePropertyDefault(OperationType optType) {
  const EjbTemplate* t = TemplateOf(optType);
  return t != nullptr ? GetResString(t->defaultPath) : std::string();
}

std::string EJBGenerator::TemplateSelectionFilter() { return GetResString(IDS_FILTER_JAVA); }
std::string EJBGenerator::TemplateSelectionCaption() { return GetResString(IDS_TEMPLATE_CAPTION); }
dsScriptType EJBGenerator::GetDataStoreScriptType() { return dsJavaScript; }

void EJBGenerator::Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) {
  try {
    InitOnce(TesselApp, TProcessor);
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_INIT_EJB));
  }
}

std::string EJBGenerator::GetTemplatePath(TesselOperation* op) {
  try {
    const OperationType type = GetOperationType(op);
    return GetTemplateProperty(TemplatePropertyName(type), GetResString(IDS_KIND_OPERATION), op,
                               TemplatePropertyDefault(type));
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_TEMPLATE_PATH_EJB));
    return {};
  }
}

std::string EJBGenerator::GetTestCodePath(TesselOperation* op, DataStore* ds) { return JavaTestCodePath(op, ds); }

std::optional<bool> EJBGenerator::IsValidOperationForGeneration(TesselOperation* op) {
  try {
    const std::string type = GetEJBClassType(Ref(op).ParentClass());
    return type == GetResString(IDS_EJB_OBJECT) || type == GetResString(IDS_EJB_HOME) ||
           type == GetResString(IDS_STEREO_EJB_HOME_INTERFACE) || type == GetResString(IDS_STEREO_EJB_REMOTE_INTERFACE);
  } catch (...) {
    return false;
  }
}

std::string EJBGenerator::GetEJBClassType(TesselClass* cls) {
  try {
    TesselClass& c = Ref(cls);
    const std::string stereotype = c.Stereotype();
    if (stereotype == GetResString(IDS_STEREO_EJB_HOME_INTERFACE) ||
        stereotype == GetResString(IDS_STEREO_EJB_REMOTE_INTERFACE)) {
      return stereotype;
    }
    const std::string language = c.Language();
    if (language == GetResString(IDS_LANG_INLINE_EJB)) {
      if (stereotype == GetResString(IDS_STEREO_EJB_SESSION) || stereotype == GetResString(IDS_STEREO_EJB_ENTITY)) {
        return stereotype;
      }
      return {};
    }
    if (language == GetResString(IDS_LANG_JAVA)) return GetEJBType(cls);
    return {};
  } catch (...) {
    return {};
  }
}

OperationType EJBGenerator::GetOperationType(TesselOperation* op) {
  OperationType result = optNone;
  try {
    TesselOperation& operation = Ref(op);
    TesselClass* cls = operation.ParentClass();
    ModelHelper& helper = SharedModelHelper();
    const std::string name = operation.Name();
    if (helper.IsRemoteInterface(cls)) {
      const std::string beanName = GetRemoteInterfaceName(cls) + GetResString(IDS_SUFFIX_BEAN);
      TesselClass* bean = FindClassInPackage(op, beanName);
      if (bean != nullptr && helper.IsEntityBean(bean)) {
        if (Left(name, 3) == GetResString(IDS_OP_GET)) {
          result = optGetter;
        } else if (Left(name, 3) == GetResString(IDS_OP_SET)) {
          result = optSetter;
        } else {
          result = optBusiness;
        }
      } else {
        result = optBusiness;
      }
    } else if (helper.IsHomeInterface(cls)) {
      Run().EjbOperationFlag = true;
      const std::string stereotype = operation.Stereotype();
      if (stereotype == GetResString(IDS_STEREO_EJB_CREATE_METHOD)) {
        result = optCreate;
      } else if (stereotype == GetResString(IDS_STEREO_EJB_FINDER_METHOD)) {
        result = optFinder;
      } else if (name == GetResString(IDS_OP_CREATE)) {
        result = optCreate;
      } else if (Left(name, 4) == GetResString(IDS_OP_FIND)) {
        result = optFinder;
      } else {
        result = optCreate;
      }
    }
  } catch (...) {
    const ZtError error = CurrentError();
    std::string qualifiedName;
    if (op != nullptr) qualifiedName = op->GetQualifiedName();
    ReportError(&error, FormatResString1(IDS_ERR_GENERATION_OF, qualifiedName));
  }
  return result;
}

std::string EJBGenerator::GetRemoteInterfaceName(TesselClass* cls) {
  if (cls == nullptr) return {};
  return Ref(SharedModelHelper().GetRemoteInterface(cls)).Name();
}

std::string EJBGenerator::GetHomeInterfaceName(TesselClass* cls) {
  if (cls == nullptr) return {};
  TesselClass* home = SharedModelHelper().GetHomeInterface(cls);
  return home != nullptr ? home->Name() : std::string();
}

std::string EJBGenerator::GetBeanClassName(TesselClass* cls) {
  if (cls == nullptr) return {};
  ModelHelper& helper = SharedModelHelper();
  TesselClass* bean = helper.GetBeanClass(cls);
  if (bean == nullptr) bean = helper.GetBeanClassFallback(cls);
  return bean != nullptr ? bean->Name() : std::string();
}

std::string EJBGenerator::GetPrimaryKeyClassName(TesselClass* bean) {
  if (bean == nullptr) return {};
  TesselClass* key = SharedModelHelper().GetPrimaryKeyClass(bean);
  if (key == nullptr) return {};
  const std::string name = key->Name();
  return name.empty() ? GetResString(IDS_TEXT_PRIMARY_KEY_NOT_FOUND) : name;
}

std::string EJBGenerator::MakePrimaryKeyClassName(TesselClass* cls) {
  if (cls == nullptr) return {};
  const std::string name = cls->Name();
  const std::string home = GetResString(IDS_SUFFIX_HOME);
  const std::string pk = GetResString(IDS_SUFFIX_PK);
  if (name.size() >= home.size() && name.compare(name.size() - home.size(), home.size(), home) == 0) {
    return name.substr(0, name.size() - home.size()) + pk;
  }
  return name + pk;
}

TesselOperation* EJBGenerator::FindHomeCreateOperation(TesselClass* cls) {
  if (cls == nullptr) return nullptr;
  const std::string homeName = GetHomeInterfaceName(cls);
  TesselClass* home = ClassInAllClasses(*cls, homeName);
  if (home == nullptr) {
    LogMessage(FormatResString1(IDS_LOG_NO_HOME_CLASS, homeName));
    return nullptr;
  }
  TesselOperation* create = FirstWithoutParameters(*home, GetResString(IDS_OP_CREATE));
  if (create == nullptr) LogMessage(FormatResString1(IDS_LOG_NO_CREATE_METHOD, homeName));
  return create;
}

TesselOperation* EJBGenerator::FindPrimaryKeyConstructor(TesselClass* bean) {
  if (bean == nullptr) return nullptr;
  std::string keyName = GetPrimaryKeyClassName(bean);
  TesselClass* key = ClassInAllClasses(*bean, keyName);
  if (key == nullptr) {
    keyName = MakePrimaryKeyClassName(bean);
    key = ClassInAllClasses(*bean, keyName);
  }
  if (key == nullptr) {
    LogMessage(GetResString(IDS_LOG_NO_PRIMARY_KEY_CLASS));
    return nullptr;
  }
  TesselOperation* constructor = FirstWithoutParameters(*key, keyName);
  if (constructor == nullptr) LogMessage(FormatResString1(IDS_LOG_NO_PRIMARY_KEY_CONSTRUCTOR, keyName));
  return constructor;
}

std::unique_ptr<ParamMap> EJBGenerator::CalculateTemplateParams(TesselOperation* aOperation, DataStore* ds) {
  try {
    TesselOperation& op = Ref(aOperation);
    RequireParameterTypes(aOperation);
    TesselClass* cls = op.ParentClass();
    const std::string operationName = op.Name();
    DataStore& store = Ref(ds);
    const std::string author = store.UserName();

    const std::string className = Ref(cls).Name();
    const std::string remoteName = GetRemoteInterfaceName(cls);
    const std::string homeName = GetHomeInterfaceName(cls);
    const std::string beanName = GetBeanClassName(cls);
    TesselClass* bean = FindClassInPackage(aOperation, beanName);
    const std::string keyName = GetPrimaryKeyClassName(bean);

    const std::string testName = JavaTestName(aOperation);
    const std::string folder = GetPackagePath(cls);
    const std::string packageName = GetPackageName(cls);
    const std::string returnType = JavaReturnType(aOperation);
    const std::string datapoolName = store.MakeDatapoolName(className, operationName, 0);
    const std::string index = store.MakeScriptName(testName, folder, dsJavaScript);

    JavaLang java;
    const std::string check = java.GetCheckExpectedResult(returnType, operationName);
    const std::string equality = java.GetExpectedResultForAssert(returnType);
    const std::string returnDeclaration = java.DeclareVariable(GetResString(IDS_VAR_ACTUAL_RETURN), returnType, {});
    const std::string returnAssignment = returnDeclaration.empty() ? std::string() : GetResString(IDS_JAVA_RETURN_ASSIGNMENT);
    SignatureArray types, names, arrayStrs, initialValues;
    BuildParamArrays(aOperation, types, names, arrayStrs, initialValues);
    const std::string declaration = java.DeclareOperation(returnType, operationName, types, names, {});
    const std::string call = java.InvokeOperation(operationName, names, {});

    std::string declarations, initialization, list;
    // (GenParamData reads the model's return type: for none, no expected result.)
    java.GenParamData(aOperation, declarations, initialization, list,
                      !Run().EjbOperationFlag && !op.ReturnType().empty(), {});

    std::string createDeclarations, createInitialization, createList;
    if (TesselOperation* create = FindHomeCreateOperation(cls)) {
      java.GenParamData(create, createDeclarations, createInitialization, createList, false,
                        GetResString(IDS_SUFFIX_CREATE));
    } else {
      createDeclarations = GetResString(IDS_TEXT_CREATEPARAM_DECLARATION_NO_HOME);
      createInitialization = GetResString(IDS_TEXT_CREATEPARAM_INIT_NO_HOME);
      createList = GetResString(IDS_TEXT_CREATE_PARAMS_NO_HOME);
    }

    std::string keyDeclarations, keyInitialization, keyList;
    if (TesselOperation* constructor = FindPrimaryKeyConstructor(bean)) {
      java.GenParamData(constructor, keyDeclarations, keyInitialization, keyList, false, GetResString(IDS_SUFFIX_KEY));
    } else {
      keyDeclarations = GetResString(IDS_TEXT_KEYVALUE_DECLARATION_NO_KEY);
      keyInitialization = GetResString(IDS_TEXT_KEYVALUE_INIT_NO_KEY);
      keyList = GetResString(IDS_TEXT_KEY_PARAMS_NO_KEY);
    }

    auto map = std::make_unique<ParamMap>();
    AddToolPropertyTags(&op, GetResString(IDS_TOOL_TESTABILITY), map.get());
    AddToolPropertyTags(&op, GetResString(IDS_LANG_JAVA), map.get());
    AddToolPropertyTags(&op, GetResString(IDS_LANG_INLINE_EJB), map.get());
    AddJavaTestTags(*map,
                    {testName, datapoolName, index, packageName, className, operationName, check, declaration, call,
                     op.ReturnType(), returnDeclaration, returnAssignment, declarations, initialization, list});
    map->Add(remoteName, ResString(IDS_TAG_REMOTE_INTERFACE_NAME));
    map->Add(homeName, ResString(IDS_TAG_HOME_INTERFACE_NAME));
    map->Add(keyName, ResString(IDS_TAG_PRIMARY_KEY_CLASS_NAME));
    map->Add(createDeclarations, ResString(IDS_TAG_CREATEPARAM_DECLARATION));
    map->Add(createInitialization, ResString(IDS_TAG_CREATEPARAM_INIT));
    map->Add(createList, ResString(IDS_TAG_CREATE_PARAMS));
    map->Add(keyDeclarations, ResString(IDS_TAG_KEYVALUE_DECLARATION));
    map->Add(keyInitialization, ResString(IDS_TAG_KEYVALUE_INIT));
    map->Add(keyList, ResString(IDS_TAG_KEY_PARAMS));
    map->Add(author, ResString(IDS_TAG_AUTHOR_NAME));
    map->Add(equality, ResString(IDS_TAG_EXPECTED_EQUALS_ACTUAL));
    return map;
  } catch (...) {
    const ZtError error = CurrentError();
    std::string qualifiedName;
    if (aOperation != nullptr) qualifiedName = aOperation->GetQualifiedName();
    ReportError(&error, FormatResString1(IDS_ERR_GENERATION_OF, qualifiedName));
    return nullptr;
  }
}

}  // namespace zt
