// The model helper: answers the add-in's questions about model elements
// (which classes form an EJB, which coclasses implement an interface, what a
// datapool holds). One instance serves the whole add-in.
#pragma once

#include <string>

#include "host/TesselModel.h"

namespace zt {

class ModelHelper {
 public:
  virtual ~ModelHelper() = default;

  /// True exactly for the parameter that carries a COM operation's logical
  /// return value.
  virtual bool IsRetvalParameter(TesselParameter* parameter) = 0;
  /// The type library (project) of a COM interface.
  virtual std::string GetTypeLibraryName(TesselClass* interfaceClass) = 0;
  /// The default coclass of a COM interface.
  virtual std::string GetDefaultCoclassName(TesselClass* interfaceClass) = 0;
  /// The coclasses that implement a COM interface, in model order.
  virtual TesselClassCollection GetCoclasses(TesselClass* interfaceClass) = 0;
  /// The programmatic ID of a coclass; raises error 429 when it has none.
  virtual std::string GetProgID(TesselClass* coclass) = 0;

  virtual bool IsRemoteInterface(TesselClass* cls) = 0;
  virtual bool IsHomeInterface(TesselClass* cls) = 0;
  virtual bool IsEntityBean(TesselClass* bean) = 0;
  /// The remote interface of an EJB's class, or nullptr.
  virtual TesselClass* GetRemoteInterface(TesselClass* cls) = 0;
  virtual TesselClass* GetHomeInterface(TesselClass* cls) = 0;
  virtual TesselClass* GetBeanClass(TesselClass* cls) = 0;
  /// Asked only when GetBeanClass finds none.
  virtual TesselClass* GetBeanClassFallback(TesselClass* cls) = 0;
  virtual TesselClass* GetPrimaryKeyClass(TesselClass* bean) = 0;

  /// The field list of an operation's datapool, handed unchanged to the
  /// datapool component.
  virtual std::string GetDatapoolFields(TesselOperation* operation) = 0;
};

}  // namespace zt
