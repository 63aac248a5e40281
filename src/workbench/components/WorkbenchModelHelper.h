// The workbench's model helper: answers the add-in's questions about EJB
// classes, COM interfaces and coclasses, and datapool fields from the model
// alone, through the host interfaces of host/TesselModel.h.
//
// The rules are the ones docs/model-rules.md gives users. In short, for a
// class C in package P: explicit tool properties of C come first (tool
// "EJB": remote, home, bean, primarykey, beantype; tool "COM": typelib,
// defaultcoclass, progid, and retval on a parameter), then stereotypes and
// supertypes (javax::ejb::EJBObject and its kin; "coclass" classes that
// realize an interface), then naming conventions within P (X, XHome, XBean,
// XPK). Every answer comes at once; nothing is read from disk. No member
// throws except GetProgID, which raises error 429 when a coclass has no
// ProgID; a model query that fails on the way gives the empty answer
// (nullptr, false, "", an empty collection, "[]").
//
// Caching: the coclasses of every interface below one root package are
// collected in one pass over that root's AllClasses, on the first question
// about an interface there, and kept for the life of the helper. The
// workbench never changes a model while the add-in runs on it; a host that
// edits or replaces the open model while the add-in stays loaded must call
// ForgetModel (or drop the helper) before the next run. All else is asked
// of the model afresh on every call: lookups by name are linear in one
// package only.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "host/ModelHelper.h"
#include "host/TesselModel.h"

namespace zt::wb {

/// The members of one field object in GetDatapoolFields' JSON list, which
/// the datapool tool reads back.
namespace datapool_field {
inline constexpr const char* kName = "name";
inline constexpr const char* kType = "type";
inline constexpr const char* kValue = "value";
}  // namespace datapool_field

class WorkbenchModelHelper final : public ModelHelper {
 public:
  /// Reads the model words (stereotypes, tool and property names) from the
  /// add-in's string table once.
  WorkbenchModelHelper();

  /// True when the COM tool property "retval" of `parameter` is "True", in
  /// any letter case.
  bool IsRetvalParameter(TesselParameter* parameter) override;
  /// The COM property "typelib", else the name of the interface's package.
  std::string GetTypeLibraryName(TesselClass* interfaceClass) override;
  /// The COM property "defaultcoclass", else the first coclass's name, else
  /// the interface's name without a leading "I".
  std::string GetDefaultCoclassName(TesselClass* interfaceClass) override;
  /// The classes of the whole model stereotyped "coclass" that realize
  /// `interfaceClass`, in model order.
  TesselClassCollection GetCoclasses(TesselClass* interfaceClass) override;
  /// The COM property "progid"; raises error 429 when it is not set.
  std::string GetProgID(TesselClass* coclass) override;

  /// Stereotyped "EJBRemoteInterface", or a subtype of javax::ejb::EJBObject,
  /// or an inline bean class; and not also a home interface.
  bool IsRemoteInterface(TesselClass* cls) override;
  /// Stereotyped "EJBHomeInterface" or a subtype of javax::ejb::EJBHome;
  /// and not also a remote interface.
  bool IsHomeInterface(TesselClass* cls) override;
  /// The EJB property "beantype", else the stereotype "EJBEntity" or
  /// "EJBSession", else a subtype of javax::ejb::EntityBean.
  bool IsEntityBean(TesselClass* bean) override;
  /// The EJB property "remote", else the class itself when it is a remote
  /// interface, else X in the class's package (an inline bean class when
  /// there is no X).
  TesselClass* GetRemoteInterface(TesselClass* cls) override;
  /// The EJB property "home", else the class itself when it is a home
  /// interface, else XHome in the class's package.
  TesselClass* GetHomeInterface(TesselClass* cls) override;
  /// The EJB property "bean", else the class itself when it is a bean class,
  /// else XBean in the class's package.
  TesselClass* GetBeanClass(TesselClass* cls) override;
  /// The first bean class of the package, in model order, whose name
  /// starts with X.
  TesselClass* GetBeanClassFallback(TesselClass* cls) override;
  /// The EJB property "primarykey", else XPK in the bean's package.
  TesselClass* GetPrimaryKeyClass(TesselClass* bean) override;

  /// A JSON array of {"name", "type", "value"} objects: one per parameter
  /// that is not the return-value parameter, then "expectedReturn" when the
  /// operation returns something; for a Java class that no EJB rule marks,
  /// then "expectedException" and, for a floating-point result, "tolerance";
  /// then a Java test constructor's arguments ("_New").
  std::string GetDatapoolFields(TesselOperation* operation) override;

  /// What the user should know of `operation`, which a generator takes,
  /// beyond what the add-in logs, one message each: a parameter without a
  /// type (its test cannot declare it), an inline bean without a home
  /// interface (its test cannot create the bean). Empty when the model
  /// cannot be asked.
  std::vector<std::string> Hints(TesselOperation& operation);

  /// Drops the collected coclasses, so that the next question collects
  /// them afresh from the model.
  void ForgetModel() { coclasses_.clear(); }

 private:
  /// What a class is marked as, for the EJB rules.
  struct Marks {
    bool remote = false;      ///< a remote interface (IsRemoteInterface)
    bool home = false;        ///< a home interface (IsHomeInterface)
    bool bean = false;        ///< a bean class
    bool inlineBean = false;  ///< language InlineEJB, stereotype EJBSession or EJBEntity
  };

  /// The model words of the rules, from the string table.
  struct Words {
    std::string ejbTool, comTool;
    std::string stereoRemote, stereoHome, stereoSession, stereoEntity, stereoCoclass;
    std::string langInlineEjb, langCom, langJava, suffixNew;
    std::string packageJavax, packageEjb;
    std::string ejbObject, ejbHome, entityBean, sessionBean;
    std::string suffixHome, suffixBean, suffixPk;
    std::string propRemote, propHome, propBean, propPrimaryKey, propBeanType;
    std::string beanTypeSession, beanTypeEntity;
    std::string propTypelib, propDefaultCoclass, propProgId, propRetval, retvalTrue;
    std::string interfacePrefix, hresult, voidType, argPrefix, expectedReturn;
    std::string expectedException, exceptionType, tolerance, doubleType, floatingTypes;
  };

  /// Coclasses by the interface they realize, for one root package.
  using CoclassIndex = std::unordered_map<TesselClass*, std::vector<TesselClass*>>;

  /// The marks of `cls`: stereotype, language, javax::ejb supertypes and
  /// the EJB property "beantype".
  Marks Classify(TesselClass& cls) const;
  /// Which javax::ejb supertypes `cls` names among its direct
  /// generalizations and realizations (a bit per supertype).
  unsigned EjbSupertypes(TesselClass& cls) const;
  /// The name that the conventions add suffixes to: the class's name without
  /// "Home" (home interface) or "Bean" (bean class).
  std::string BaseName(TesselClass& cls, const Marks& marks) const;
  /// Whether the type text `type` names a floating-point type ("double",
  /// "List<Double>", "float[]").
  bool NamesFloatingType(const std::string& type) const;
  /// The EJB property "beantype" of `cls` is "Session" or "Entity".
  bool HasBeanType(TesselClass& cls) const;

  /// The class named `name` in the package of `cls`, or nullptr.
  static TesselClass* FindInPackage(TesselClass& cls, const std::string& name);
  /// When the EJB tool property `property` of `cls` is set: true, with
  /// `answer` the class it names in the package of `cls` (nullptr when there
  /// is none). False when the property is not set.
  bool ByProperty(TesselClass& cls, const std::string& property, TesselClass*& answer) const;

  // The answers of the public members of the same names, unguarded: these
  // may throw what the model throws.
  TesselClass* RemoteInterfaceOf(TesselClass& cls);
  TesselClass* HomeInterfaceOf(TesselClass& cls);
  TesselClass* BeanClassOf(TesselClass& cls);
  TesselClass* BeanClassFallbackOf(TesselClass& cls);
  TesselClass* PrimaryKeyClassOf(TesselClass& bean);
  std::string DatapoolFieldsOf(TesselOperation& operation);

  /// The coclasses of `interfaceClass`, from the index of its root package.
  const std::vector<TesselClass*>& CoclassesOf(TesselClass& interfaceClass);
  /// One pass over the AllClasses of `root`.
  CoclassIndex BuildCoclassIndex(TesselCategory& root) const;

  Words words_;
  /// The coclass index of each root package asked about so far.
  std::unordered_map<TesselCategory*, CoclassIndex> coclasses_;
};

}  // namespace zt::wb
