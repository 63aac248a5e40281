// The workbench's model helper. Each public member guards its work with one
// catch-all, so that a host call that fails on the way (a collection that is
// not there, an index out of range) gives the member's empty answer instead
// of an error; only GetProgID raises, and only error 429.
#include "workbench/components/WorkbenchModelHelper.h"

#include <cctype>

#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"
#include "workbench/store/Datapools.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// The javax::ejb supertypes, one bit each.
constexpr unsigned kEjbObject = 1u << 0;
constexpr unsigned kEjbHome = 1u << 1;
constexpr unsigned kEntityBean = 1u << 2;
constexpr unsigned kSessionBean = 1u << 3;

/// Runs `answer`; whatever it throws gives `none`.
template <class T, class F>
T Guarded(T none, F&& answer) {
  try {
    return answer();
  } catch (...) {
    return none;
  }
}

/// `name` without `suffix` when it ends with it and is longer than it.
std::string WithoutSuffix(const std::string& name, const std::string& suffix) {
  if (suffix.empty() || name.size() <= suffix.size()) return name;
  if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return name;
  return name.substr(0, name.size() - suffix.size());
}

}  // namespace

WorkbenchModelHelper::WorkbenchModelHelper() {
  Words& w = words_;
  w.ejbTool = GetResString(IDS_TOOL_EJB);
  w.comTool = GetResString(IDS_COM_TOOL);
  w.stereoRemote = GetResString(IDS_STEREO_EJB_REMOTE_INTERFACE);
  w.stereoHome = GetResString(IDS_STEREO_EJB_HOME_INTERFACE);
  w.stereoSession = GetResString(IDS_STEREO_EJB_SESSION);
  w.stereoEntity = GetResString(IDS_STEREO_EJB_ENTITY);
  w.stereoCoclass = GetResString(IDS_STEREO_COCLASS);
  w.langInlineEjb = GetResString(IDS_LANG_INLINE_EJB);
  w.langCom = GetResString(IDS_LANG_COM);
  w.langJava = GetResString(IDS_LANG_JAVA);
  w.suffixNew = GetResString(IDS_SUFFIX_NEW);
  w.packageJavax = GetResString(IDS_PACKAGE_JAVAX);
  w.packageEjb = GetResString(IDS_PACKAGE_EJB);
  w.ejbObject = GetResString(IDS_EJB_OBJECT);
  w.ejbHome = GetResString(IDS_EJB_HOME);
  w.entityBean = GetResString(IDS_EJB_ENTITY_BEAN);
  w.sessionBean = GetResString(IDS_EJB_SESSION_BEAN);
  w.suffixHome = GetResString(IDS_SUFFIX_HOME);
  w.suffixBean = GetResString(IDS_SUFFIX_BEAN);
  w.suffixPk = GetResString(IDS_SUFFIX_PK);
  w.propRemote = GetResString(IDS_EJB_PROP_REMOTE);
  w.propHome = GetResString(IDS_EJB_PROP_HOME);
  w.propBean = GetResString(IDS_EJB_PROP_BEAN);
  w.propPrimaryKey = GetResString(IDS_EJB_PROP_PRIMARY_KEY);
  w.propBeanType = GetResString(IDS_EJB_PROP_BEAN_TYPE);
  w.beanTypeSession = GetResString(IDS_EJB_BEAN_TYPE_SESSION);
  w.beanTypeEntity = GetResString(IDS_EJB_BEAN_TYPE_ENTITY);
  w.propTypelib = GetResString(IDS_COM_PROP_TYPELIB);
  w.propDefaultCoclass = GetResString(IDS_COM_PROP_DEFAULT_COCLASS);
  w.propProgId = GetResString(IDS_COM_PROP_PROGID);
  w.propRetval = GetResString(IDS_COM_PROP_RETVAL);
  w.retvalTrue = GetResString(IDS_COM_RETVAL_TRUE);
  w.interfacePrefix = GetResString(IDS_COM_INTERFACE_PREFIX);
  w.hresult = GetResString(IDS_IDL_HRESULT);
  w.voidType = GetResString(IDS_VOID);
  w.argPrefix = GetResString(IDS_ARG);
  w.expectedReturn = GetResString(IDS_VAR_EXPECTED_RETURN);
  w.expectedException = GetResString(IDS_FIELD_EXPECTED_EXCEPTION);
  w.exceptionType = GetResString(IDS_TYPE_EXPECTED_EXCEPTION);
  w.tolerance = GetResString(IDS_FIELD_TOLERANCE);
  w.doubleType = GetResString(IDS_JAVA_DOUBLE);
  w.floatingTypes = GetResString(IDS_JAVA_FLOATING_TYPES);
}

bool WorkbenchModelHelper::NamesFloatingType(const std::string& type) const {
  // The names in the type, as "List<Double>" or "double[]" writes them.
  std::string name;
  for (size_t at = 0; at <= type.size(); ++at) {
    const char c = at < type.size() ? type[at] : ' ';
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.') {
      name += c;
      continue;
    }
    if (!name.empty() && words_.floatingTypes.find(' ' + name + ' ') != std::string::npos) return true;
    name.clear();
  }
  return false;
}

// ---------------------------------------------------------------------------
// EJB

unsigned WorkbenchModelHelper::EjbSupertypes(TesselClass& cls) const {
  unsigned found = 0;
  for (TesselRelationCollection* relations : {cls.InheritRelations(), cls.RealizeRelations()}) {
    if (relations == nullptr) continue;
    for (TesselRelation* relation : *relations) {
      TesselClass* supplier = relation != nullptr ? relation->GetSupplierClass() : nullptr;
      if (supplier == nullptr) continue;
      TesselCategory* ejb = supplier->ParentCategory();
      if (ejb == nullptr || ejb->Name() != words_.packageEjb) continue;
      TesselCategory* javax = ejb->ParentCategory();
      if (javax == nullptr || javax->Name() != words_.packageJavax) continue;
      const std::string name = supplier->Name();
      if (name == words_.ejbObject) found |= kEjbObject;
      if (name == words_.ejbHome) found |= kEjbHome;
      if (name == words_.entityBean) found |= kEntityBean;
      if (name == words_.sessionBean) found |= kSessionBean;
    }
  }
  return found;
}

bool WorkbenchModelHelper::HasBeanType(TesselClass& cls) const {
  const std::string beanType = cls.GetPropertyValue(words_.ejbTool, words_.propBeanType);
  return EqualsIgnoringCase(beanType, words_.beanTypeEntity) || EqualsIgnoringCase(beanType, words_.beanTypeSession);
}

WorkbenchModelHelper::Marks WorkbenchModelHelper::Classify(TesselClass& cls) const {
  const std::string stereotype = cls.Stereotype();
  const unsigned supertypes = EjbSupertypes(cls);
  const bool beanStereotype = stereotype == words_.stereoSession || stereotype == words_.stereoEntity;
  Marks marks;
  marks.inlineBean = beanStereotype && cls.Language() == words_.langInlineEjb;
  const bool claimsRemote = stereotype == words_.stereoRemote || (supertypes & kEjbObject) != 0 || marks.inlineBean;
  const bool claimsHome = stereotype == words_.stereoHome || (supertypes & kEjbHome) != 0;
  // A class that claims both interfaces is neither.
  marks.remote = claimsRemote && !claimsHome;
  marks.home = claimsHome && !claimsRemote;
  marks.bean = beanStereotype || (supertypes & (kEntityBean | kSessionBean)) != 0 || HasBeanType(cls);
  return marks;
}

std::string WorkbenchModelHelper::BaseName(TesselClass& cls, const Marks& marks) const {
  const std::string name = cls.Name();
  if (marks.home) return WithoutSuffix(name, words_.suffixHome);
  if (marks.remote && !marks.inlineBean) return name;
  if (marks.bean) return WithoutSuffix(name, words_.suffixBean);
  // Not marked: the name tells.
  const std::string withoutHome = WithoutSuffix(name, words_.suffixHome);
  return withoutHome != name ? withoutHome : WithoutSuffix(name, words_.suffixBean);
}

TesselClass* WorkbenchModelHelper::FindInPackage(TesselClass& cls, const std::string& name) {
  if (name.empty()) return nullptr;
  TesselCategory* package = cls.ParentCategory();
  TesselClassCollection* classes = package != nullptr ? package->Classes() : nullptr;
  return classes != nullptr ? classes->GetFirst(name) : nullptr;
}

bool WorkbenchModelHelper::ByProperty(TesselClass& cls, const std::string& property, TesselClass*& answer) const {
  const std::string named = cls.GetPropertyValue(words_.ejbTool, property);
  if (named.empty()) return false;
  answer = FindInPackage(cls, named);
  return true;
}

TesselClass* WorkbenchModelHelper::RemoteInterfaceOf(TesselClass& cls) {
  TesselClass* answer = nullptr;
  if (ByProperty(cls, words_.propRemote, answer)) return answer;
  const Marks marks = Classify(cls);
  if (marks.remote && !marks.inlineBean) return &cls;
  if (TesselClass* found = FindInPackage(cls, BaseName(cls, marks))) {
    // A convention never picks a class marked for another part of an EJB.
    const Marks other = found == &cls ? marks : Classify(*found);
    if (!other.home && (other.remote || !other.bean)) return found;
  }
  return marks.inlineBean ? &cls : nullptr;
}

TesselClass* WorkbenchModelHelper::HomeInterfaceOf(TesselClass& cls) {
  TesselClass* answer = nullptr;
  if (ByProperty(cls, words_.propHome, answer)) return answer;
  const Marks marks = Classify(cls);
  if (marks.home) return &cls;
  TesselClass* found = FindInPackage(cls, BaseName(cls, marks) + words_.suffixHome);
  if (found == nullptr) return nullptr;
  const Marks other = Classify(*found);
  return other.remote || other.bean ? nullptr : found;
}

TesselClass* WorkbenchModelHelper::BeanClassOf(TesselClass& cls) {
  TesselClass* answer = nullptr;
  if (ByProperty(cls, words_.propBean, answer)) return answer;
  const Marks marks = Classify(cls);
  if (marks.bean) return &cls;
  TesselClass* found = FindInPackage(cls, BaseName(cls, marks) + words_.suffixBean);
  if (found == nullptr) return nullptr;
  const Marks other = Classify(*found);
  return other.home || (other.remote && !other.bean) ? nullptr : found;
}

TesselClass* WorkbenchModelHelper::BeanClassFallbackOf(TesselClass& cls) {
  const std::string base = BaseName(cls, Classify(cls));
  TesselCategory* package = cls.ParentCategory();
  TesselClassCollection* classes = package != nullptr ? package->Classes() : nullptr;
  if (base.empty() || classes == nullptr) return nullptr;
  for (TesselClass* candidate : *classes) {
    if (candidate == nullptr || !StartsWith(candidate->Name(), base)) continue;
    const Marks marks = Classify(*candidate);
    if (marks.bean && !marks.home) return candidate;
  }
  return nullptr;
}

TesselClass* WorkbenchModelHelper::PrimaryKeyClassOf(TesselClass& bean) {
  TesselClass* answer = nullptr;
  if (ByProperty(bean, words_.propPrimaryKey, answer)) return answer;
  TesselClass* found = FindInPackage(bean, BaseName(bean, Classify(bean)) + words_.suffixPk);
  if (found == nullptr) return nullptr;
  const Marks other = Classify(*found);
  return other.remote || other.home || other.bean ? nullptr : found;
}

bool WorkbenchModelHelper::IsRemoteInterface(TesselClass* cls) {
  return Guarded(false, [&] { return cls != nullptr && Classify(*cls).remote; });
}

bool WorkbenchModelHelper::IsHomeInterface(TesselClass* cls) {
  return Guarded(false, [&] { return cls != nullptr && Classify(*cls).home; });
}

bool WorkbenchModelHelper::IsEntityBean(TesselClass* bean) {
  return Guarded(false, [&] {
    if (bean == nullptr) return false;
    const std::string beanType = bean->GetPropertyValue(words_.ejbTool, words_.propBeanType);
    if (EqualsIgnoringCase(beanType, words_.beanTypeEntity)) return true;
    if (EqualsIgnoringCase(beanType, words_.beanTypeSession)) return false;
    const std::string stereotype = bean->Stereotype();
    if (stereotype == words_.stereoEntity) return true;
    if (stereotype == words_.stereoSession) return false;
    // A class that realizes both is neither.
    return (EjbSupertypes(*bean) & (kEntityBean | kSessionBean)) == kEntityBean;
  });
}

TesselClass* WorkbenchModelHelper::GetRemoteInterface(TesselClass* cls) {
  return Guarded<TesselClass*>(nullptr, [&] { return cls != nullptr ? RemoteInterfaceOf(*cls) : nullptr; });
}

TesselClass* WorkbenchModelHelper::GetHomeInterface(TesselClass* cls) {
  return Guarded<TesselClass*>(nullptr, [&] { return cls != nullptr ? HomeInterfaceOf(*cls) : nullptr; });
}

TesselClass* WorkbenchModelHelper::GetBeanClass(TesselClass* cls) {
  return Guarded<TesselClass*>(nullptr, [&] { return cls != nullptr ? BeanClassOf(*cls) : nullptr; });
}

TesselClass* WorkbenchModelHelper::GetBeanClassFallback(TesselClass* cls) {
  return Guarded<TesselClass*>(nullptr, [&] { return cls != nullptr ? BeanClassFallbackOf(*cls) : nullptr; });
}

TesselClass* WorkbenchModelHelper::GetPrimaryKeyClass(TesselClass* bean) {
  return Guarded<TesselClass*>(nullptr, [&] { return bean != nullptr ? PrimaryKeyClassOf(*bean) : nullptr; });
}

// ---------------------------------------------------------------------------
// COM

bool WorkbenchModelHelper::IsRetvalParameter(TesselParameter* parameter) {
  return Guarded(false, [&] {
    return parameter != nullptr &&
           EqualsIgnoringCase(parameter->GetPropertyValue(words_.comTool, words_.propRetval), words_.retvalTrue);
  });
}

std::string WorkbenchModelHelper::GetTypeLibraryName(TesselClass* interfaceClass) {
  return Guarded(std::string(), [&] {
    if (interfaceClass == nullptr) return std::string();
    std::string named = interfaceClass->GetPropertyValue(words_.comTool, words_.propTypelib);
    if (!named.empty()) return named;
    TesselCategory* package = interfaceClass->ParentCategory();
    return package != nullptr ? package->Name() : std::string();
  });
}

std::string WorkbenchModelHelper::GetDefaultCoclassName(TesselClass* interfaceClass) {
  return Guarded(std::string(), [&] {
    if (interfaceClass == nullptr) return std::string();
    std::string named = interfaceClass->GetPropertyValue(words_.comTool, words_.propDefaultCoclass);
    if (!named.empty()) return named;
    const std::vector<TesselClass*>& coclasses = CoclassesOf(*interfaceClass);
    if (!coclasses.empty()) return coclasses.front()->Name();
    const std::string name = interfaceClass->Name();
    if (name.size() > words_.interfacePrefix.size() && StartsWith(name, words_.interfacePrefix)) {
      return name.substr(words_.interfacePrefix.size());
    }
    return name;
  });
}

TesselClassCollection WorkbenchModelHelper::GetCoclasses(TesselClass* interfaceClass) {
  return Guarded(TesselClassCollection(), [&] {
    TesselClassCollection list;
    if (interfaceClass == nullptr) return list;
    for (TesselClass* coclass : CoclassesOf(*interfaceClass)) list.Add(coclass);
    return list;
  });
}

std::string WorkbenchModelHelper::GetProgID(TesselClass* coclass) {
  std::string progId =
      Guarded(std::string(), [&] { return coclass != nullptr ? coclass->GetPropertyValue(words_.comTool, words_.propProgId) : std::string(); });
  if (progId.empty()) RaiseError(errc::kCannotCreateObject);
  return progId;
}

const std::vector<TesselClass*>& WorkbenchModelHelper::CoclassesOf(TesselClass& interfaceClass) {
  static const std::vector<TesselClass*> kNone;
  TesselCategory* root = interfaceClass.ParentCategory();
  if (root == nullptr) return kNone;
  while (TesselCategory* parent = root->ParentCategory()) root = parent;
  auto indexed = coclasses_.find(root);
  // Built whole before it is kept, so that a failure halfway keeps nothing.
  if (indexed == coclasses_.end()) indexed = coclasses_.emplace(root, BuildCoclassIndex(*root)).first;
  const auto found = indexed->second.find(&interfaceClass);
  return found != indexed->second.end() ? found->second : kNone;
}

WorkbenchModelHelper::CoclassIndex WorkbenchModelHelper::BuildCoclassIndex(TesselCategory& root) const {
  CoclassIndex index;
  TesselClassCollection* all = root.AllClasses();
  if (all == nullptr) return index;
  for (TesselClass* cls : *all) {
    if (cls == nullptr || cls->Stereotype() != words_.stereoCoclass) continue;
    TesselRelationCollection* realized = cls->RealizeRelations();
    if (realized == nullptr) continue;
    for (TesselRelation* relation : *realized) {
      TesselClass* interfaceClass = relation != nullptr ? relation->GetSupplierClass() : nullptr;
      if (interfaceClass == nullptr) continue;
      std::vector<TesselClass*>& coclasses = index[interfaceClass];
      if (coclasses.empty() || coclasses.back() != cls) coclasses.push_back(cls);
    }
  }
  return index;
}

// ---------------------------------------------------------------------------
// Datapool fields

std::string WorkbenchModelHelper::DatapoolFieldsOf(TesselOperation& operation) {
  std::vector<DatapoolField> fields;
  std::vector<std::string> values;
  const auto field = [&](std::string name, std::string type, std::string value) {
    fields.push_back({std::move(name), std::move(type)});
    values.push_back(std::move(value));
  };
  // The fields of the parameters of `of`, their names followed by `suffix`.
  TesselParameter* retval = nullptr;
  const auto parameterFields = [&](TesselOperation& of, const std::string& suffix) {
    TesselParameterCollection* parameters = of.Parameters();
    if (parameters == nullptr) return;
    int position = 0;
    for (TesselParameter* parameter : *parameters) {
      ++position;  // counts every parameter, the return-value one included
      if (parameter == nullptr) continue;
      if (IsRetvalParameter(parameter)) {
        if (retval == nullptr) retval = parameter;
        continue;
      }
      std::string name = parameter->Name();
      if (name.empty()) name = words_.argPrefix + std::to_string(position);
      field(name + suffix, parameter->Type(), parameter->InitValue());
    }
  };
  parameterFields(operation, {});

  const std::string returnType = operation.ReturnType();
  TesselClass* owner = operation.ParentClass();
  if (owner != nullptr && owner->Language() == words_.langCom && returnType == words_.hresult) {
    if (retval != nullptr) field(words_.expectedReturn, retval->Type(), {});
  } else if (!returnType.empty() && returnType != words_.voidType) {
    field(words_.expectedReturn, returnType, {});
  }
  // The oracles of the bundled plain Java templates: a test of a class that
  // no EJB rule marks (the EJB templates read neither).
  if (owner != nullptr && owner->Language() == words_.langJava && !IsConstructor(&operation)) {
    const Marks marks = Classify(*owner);
    if (!marks.remote && !marks.home && !marks.bean) {
      field(words_.expectedException, words_.exceptionType, {});
      if (NamesFloatingType(returnType)) field(words_.tolerance, words_.doubleType, {});
    }
  }
  // A Java test makes the object of an operation that is not static with a
  // constructor of the model, whose arguments come from fields of their own.
  if (owner != nullptr && owner->Language() == words_.langJava && !operation.IsStatic() && !IsConstructor(&operation)) {
    if (TesselOperation* constructor = GetTestConstructor(owner)) parameterFields(*constructor, words_.suffixNew);
  }
  // The datapool component takes the list it was made with as it is.
  return DatapoolFieldList(fields, values);
}

std::string WorkbenchModelHelper::GetDatapoolFields(TesselOperation* operation) {
  static const std::string kNoFields = "[]";
  return Guarded(kNoFields, [&] { return operation != nullptr ? DatapoolFieldsOf(*operation) : kNoFields; });
}

std::vector<std::string> WorkbenchModelHelper::Hints(TesselOperation& operation) {
  return Guarded(std::vector<std::string>(), [&] {
    std::vector<std::string> hints;
    TesselParameterCollection& parameters = Ref(operation.Parameters());
    for (int16_t i = 1; i <= parameters.Count(); ++i) {
      TesselParameter& parameter = Ref(parameters.GetAt(i));
      if (parameter.Type().empty()) {
        hints.push_back(Text(WB_HINT_UNTYPED_PARAMETER, {operation.GetQualifiedName(), parameter.Name()}));
      }
    }
    TesselClass& cls = Ref(operation.ParentClass());
    if (Classify(cls).inlineBean && HomeInterfaceOf(cls) == nullptr) {
      hints.push_back(Text(WB_HINT_INLINE_EJB_NO_HOME, {cls.Name()}));
    }
    return hints;
  });
}

}  // namespace zt::wb
