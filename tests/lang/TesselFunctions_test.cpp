#include "lang/TesselFunctions.h"

#include <gtest/gtest.h>

#include "fakes/FakeHost.h"
#include "fakes/FakeModel.h"
#include "lang/JavaLang.h"
#include "support/CommonFunctions.h"

namespace zt {
namespace {

class Signatures : public ::testing::Test {
 protected:
  test::FakeHelperComponents components_;
  test::ComponentsInstalled installed_{components_, nullptr};
};

TEST_F(Signatures, ComParametersAndLogicalReturnType) {
  test::FakeClass calc("ICalc", "COM");
  auto& op = calc.Op("Add", "HRESULT").Param("a", "long", "5").Param("b", "SAFEARRAY(BSTR) *").Param("c", "long").Param(
      "result", "double*", "", true);
  SignatureArray types, names, arrays, inits;
  BuildParamArrays(&op, types, names, arrays, inits);
  EXPECT_EQ(names, SignatureArray({"a", "b", "c"}));
  EXPECT_EQ(types, SignatureArray({"Long", "String", "Long"}));
  EXPECT_EQ(arrays, SignatureArray({"", "()", ""})) << "a scalar after an array gets no suffix";
  EXPECT_EQ(inits, SignatureArray({"5", "", ""}));
  std::string suffix;
  EXPECT_EQ(GetReturnDataType(&calc, &op, suffix), "Double");
  EXPECT_EQ(suffix, "");
  EXPECT_EQ(CountSignatureParams(&op), 3);

  auto& noRetval = calc.Op("Reset", "HRESULT");
  EXPECT_EQ(GetReturnDataType(&calc, &noRetval, suffix), "");
  auto& plain = calc.Op("Count", "long");
  EXPECT_EQ(GetReturnDataType(&calc, &plain, suffix), "Long");
  auto& arrayRetval = calc.Op("All", "HRESULT").Param("r", "SAFEARRAY(long)*", "", true);
  EXPECT_EQ(GetReturnDataType(&calc, &arrayRetval, suffix), "Long");
  EXPECT_EQ(suffix, "()");
}

TEST_F(Signatures, OnlyARetvalLeavesTheArraysAbsent) {
  test::FakeClass calc("ICalc", "COM");
  auto& op = calc.Op("Get", "HRESULT").Param("r", "long*", "", true);
  SignatureArray types, names, arrays, inits = SignatureArray({"untouched"});
  BuildParamArrays(&op, types, names, arrays, inits);
  EXPECT_FALSE(types.has_value());
  EXPECT_FALSE(names.has_value());
  EXPECT_EQ(inits, SignatureArray({"untouched"}));
  BuildParamArrays(nullptr, types, names, arrays, inits);
  EXPECT_FALSE(types.has_value());
}

TEST_F(Signatures, DefaultNamesCountEveryParameter) {
  test::FakeClass calc("ICalc", "COM");
  auto& op = calc.Op("Put", "HRESULT").Param("r", "long*", "", true).Param("", "long");
  SignatureArray types, names, arrays, inits;
  BuildParamArrays(&op, types, names, arrays, inits);
  EXPECT_EQ(names, SignatureArray({"arg2"}));
}

TEST_F(Signatures, ComTestIsExact) {
  test::FakeClass lower("ICalc", "com");
  auto& op = lower.Op("Add", "long").Param("a", "long").Param("s", "SAFEARRAY(long)");
  SignatureArray types, names, arrays, inits;
  BuildParamArrays(&op, types, names, arrays, inits);
  EXPECT_EQ(types, SignatureArray({"long", "SAFEARRAY(long)"}));
  EXPECT_EQ(arrays, SignatureArray({"", ""}));
  std::string suffix;
  EXPECT_EQ(GetReturnDataType(&lower, &op, suffix), "long");

  test::FakeClass java("Account", "Java");
  auto& deposit = java.Op("deposit", "").Param("amounts", "int[]");
  EXPECT_EQ(GetReturnDataType(&java, &deposit, suffix), "void");
}

TEST_F(Signatures, GenParamDataWithSuffixAndExpectedReturn) {
  test::FakeClass key("AccountPK", "Java");
  auto& ctor = key.Op("AccountPK", "void").Param("id", "long");
  JavaLang java;
  std::string decl = "x", init = "y", list = "z";
  java.GenParamData(&ctor, decl, init, list, false, "_Key");
  EXPECT_EQ(decl, "xlong id_Key = 0;");
  EXPECT_EQ(init, "yid_Key = dp.value(\"id_Key\").longValue();");
  EXPECT_EQ(list, "id_Key");

  auto& find = key.Op("find", "Account").Param("", "String").Param("n", "int");
  decl.clear();
  init.clear();
  java.GenParamData(&find, decl, init, list, true);
  EXPECT_EQ(decl, "String arg1 = null;\r\nint n = 0;\r\nAccount expectedReturn = null;");
  EXPECT_EQ(init,
            "arg1 = dp.value(\"arg1\").toString();\r\nn = dp.value(\"n\").intValue();\r\n"
            "expectedReturn = Provide initialization code here.");
  EXPECT_EQ(list, "arg1, n");

  auto& none = key.Op("count", "int");
  decl.clear();
  init.clear();
  java.GenParamData(&none, decl, init, list, true);
  EXPECT_EQ(decl, "int expectedReturn = 0;");
  EXPECT_EQ(list, "");
}

}  // namespace
}  // namespace zt
