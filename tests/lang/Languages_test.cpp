#include <gtest/gtest.h>

#include "TestUtil.h"
#include "lang/ILang.h"
#include "lang/JavaLang.h"
#include "lang/VBLang.h"
#include "support/Error.h"

namespace zt {
namespace {

SignatureArray Arr(std::vector<std::string> items) { return items; }
using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(VisualBasic, TypesFromIdl) {
  VBLang vb;
  // int maps only in its plain form.
  const Pairs types{{"BSTR *", "String"},      {"SAFEARRAY(long)", "Long"}, {"SAFEARRAY(BSTR) *", "String"},
                    {"unsigned char", "Byte"}, {"CY", "Currency"},          {"IDispatch*", "Object"},
                    {"_Customer", "Customer"}, {"int", "Integer"},          {"SAFEARRAY(int)", "SAFEARRAY(int)"}};
  for (const auto& [idl, type] : types) EXPECT_EQ(vb.ToScriptDataType(idl), type) << idl;
  EXPECT_TRUE(vb.IsArrayDataType("SAFEARRAY(BSTR) *"));
  EXPECT_FALSE(vb.IsArrayDataType("safearray(BSTR)"));
  for (const auto& [name, valid] : Pairs{{"__x", "_x"}, {"3D", "D"}, {"", ""}})
    EXPECT_EQ(vb.MakeValidObjectName(name), valid) << name;
}

TEST(VisualBasic, DeclarationsAndCalls) {
  VBLang vb;
  EXPECT_EQ(vb.DeclareVariable("r", "Long", "()"), "Dim r() As Long");
  EXPECT_EQ(vb.DeclareVariable("r", "void"), "");
  EXPECT_EQ(vb.DeclareVariable("r", ""), "");

  SignatureArray names = Arr({"a", ""});
  EXPECT_EQ(vb.DeclareOperation("Long", "Add", Arr({"Long", "Long"}), names, {}), "Function Add(Long a, Long arg2) As Long");
  EXPECT_EQ(ElementAt(names, 2), "arg2") << "the default name is written into the caller's array";
  SignatureArray none;
  EXPECT_EQ(vb.DeclareOperation("", "Reset", {}, none, {}), "Sub Reset()");
  SignatureArray shortNames = Arr({"a"});
  EXPECT_THROW(vb.DeclareOperation("", "f", Arr({"Long", "Long"}), shortNames, {}), ZtError);

  EXPECT_EQ(vb.InvokeOperation("Add", Arr({"a", "b"}), "obj"), "obj.Add(a, b)");
  EXPECT_EQ(vb.InvokeOperation("Reset", {}), "Reset()");
  EXPECT_EQ(vb.ParamList({}), "");

  EXPECT_EQ(vb.DeclareOperationParameters(Arr({"Long", "void", "String"}), Arr({"a", "v", "s"}), Arr({"", "", "()"}), "  "),
            "Dim a As Long\r\n  Dim s() As String");
  EXPECT_EQ(vb.DeclareOperationParameters(Arr({"Long"}), Arr({"a", "b"}), Arr({"", ""})), "") << "bounds differ";
}

TEST(VisualBasic, DatapoolReads) {
  VBLang vb;
  EXPECT_EQ(vb.InitVariableWithDatapoolValue("count", "Long"), "count = CLng(dp.value(\"count\"))");
  EXPECT_EQ(vb.InitVariableWithDatapoolValue("d", "Decimal", "col"), "d = CDec(dp.value(\"col\"))");
  EXPECT_EQ(vb.InitVariableWithDatapoolValue("o", "Object"), "o = Provide initialization code here.");
  EXPECT_EQ(vb.DatapoolAssignParameters(Arr({"Long", "Object", "String"}), Arr({"a", "o", "s"}), Arr({"", "", ""}), "    "),
            "a = CLng(dp.value(\"a\"))\r\n    o = Provide initialization code here.\r\n    s = CStr(dp.value(\"s\"))");
  // An array parameter gets the placeholder: Long() is not readable.
  EXPECT_EQ(vb.DatapoolAssignParameters(Arr({"Long"}), Arr({"a"}), Arr({"()"})), "a = Provide initialization code here.");
  EXPECT_FALSE(*vb.IsValidDataTypeForDatapoolValueAssignment("Decimal"));
  EXPECT_TRUE(*vb.IsValidDataTypeForDatapoolValueAssignment("Currency"));
}

TEST(VisualBasic, ResultChecks) {
  VBLang vb;
  EXPECT_EQ(vb.GetCheckExpectedResult("", "Reset"),
            "Log.Message \"Expected result\", KTS_LOG_RESULT_PASS, \"Call to Reset was successful.\"");
  const std::string decimal = vb.GetCheckExpectedResult("Decimal", "Add");
  EXPECT_EQ(decimal,
            "if (expRet = actRet) Then\r\n"
            "    Log.Message \"Expected result\", KTS_LOG_RESULT_PASS, \"Call to Add returned expected value\"\r\n"
            "Else \r\n"
            "    Log.Message \"Unexpected result\", KTS_LOG_RESULT_FAIL, \"Call to Add returned unexpected value, \" & actRet & \".\" & \"  The expected return value was \" & expRet & \".\"\r\n"
            "End if");
  EXPECT_EQ(vb.GetCheckExpectedResult("Object", "Add").substr(0, 53), "if (Provide equality test here: expRet = actRet) Then");
}

TEST(VisualBasic, ProjectFileLines) {
  VBLang vb;
  std::string temp = "keep", out = "keep";
  EXPECT_TRUE(vb.IsProjectClassReference("  Class=TestCalc; Calc.cls ", temp, out));
  EXPECT_EQ(temp, "Calc.cls");
  EXPECT_EQ(out, "TestCalc.cls");
  EXPECT_TRUE(vb.IsProjectClassReference("Class=T; ..\\x\\A.cls", temp, out));
  EXPECT_EQ(out, "T..\\x\\A.cls");
  EXPECT_TRUE(vb.IsProjectModuleReference("Module=M; Main", temp, out));
  EXPECT_EQ(out, "MMain") << "no extension: the whole template name";
  EXPECT_TRUE(vb.IsProjectModuleReference("Module=M;", temp, out));
  EXPECT_EQ(out, "");

  temp = out = "keep";
  EXPECT_FALSE(vb.IsProjectModuleReference("Class=A; B.cls", temp, out));
  EXPECT_EQ(temp + out, "keepkeep");
  EXPECT_THROW(vb.IsProjectClassReference("Class=NoSeparator", temp, out), ZtError);

  std::string line = "ResFile32=MyTest; Template.res";
  EXPECT_TRUE(vb.IsResourceReference(line, temp, out));
  EXPECT_EQ(line, "ResFile32=MyTest.res");
  EXPECT_EQ(out, "MyTest.rc");
  EXPECT_EQ(temp, "Template.res");
  line = "ResFile32=MyTest;";
  EXPECT_TRUE(vb.IsResourceReference(line, temp, out));
  EXPECT_EQ(line + out, "");
}

TEST(Java, DeclarationsAndTypes) {
  JavaLang java;
  EXPECT_EQ(java.ToScriptDataType(""), "void");
  EXPECT_EQ(java.ToScriptDataType("String[]"), "String[]");
  EXPECT_EQ(java.DeclareVariable("x", "void"), "");
  EXPECT_EQ(java.DeclareVariable("x", "Foo"), "Foo x = null;");
  EXPECT_EQ(java.DeclareVariable("x", "float"), "float x = 0.0F;");
  EXPECT_EQ(java.InitVariableWithDatapoolValue("x", "java.lang.String", "col"), "x = dp.value(\"col\").toString();");
  EXPECT_EQ(java.DatapoolAssignParameters(Arr({"int"}), Arr({"y"}), Arr({"[]"})), "y = Provide initialization code here.");
  EXPECT_EQ(java.DeclareOperationParameters(Arr({"int", "void"}), Arr({"a", "v"}), Arr({"", ""}), "\t"), "int a = 0;\r\n\t")
      << "a void last parameter leaves the break and indent";
  EXPECT_EQ(java.GetExpectedResultForAssert("java.lang.String"), "expectedReturn.equals(actualReturn)");
  EXPECT_EQ(java.GetExpectedResultForAssert("double"), "(expectedReturn == actualReturn)");
  EXPECT_EQ(java.GetExpectedResultForAssert("void"), "true");
  EXPECT_EQ(java.getJavaClass("char"), "new Character");
  EXPECT_EQ(java.getJavaClass("String"), "");
}

TEST(Java, OperationHeaders) {
  JavaLang java;
  SignatureArray names = Arr({"a", ""});
  EXPECT_EQ(java.DeclareOperation("int", "add", Arr({"int", "int"}), names, {}), "int add(int a, int arg2)");
  EXPECT_EQ(ElementAt(names, 2), "arg2");
  SignatureArray none;
  EXPECT_EQ(java.DeclareOperation("", "run", {}, none, {}), "void run()");

  auto raised = [&](auto call) {
    const ZtError e = test::Raised(call);
    return e.Source() + ": " + e.Description();
  };
  EXPECT_EQ(raised([&] { java.DeclareOperation("int", "", {}, none, {}); }), "JAVA_LANG: MethodName cannot be empty.");
  SignatureArray two = Arr({"a", "b"});
  EXPECT_EQ(raised([&] { java.DeclareOperation("int", "f", Arr({"int"}), two, {}); }),
            "JAVA_LANG: Parameter name and datatype arrays must be the same size.");
  SignatureArray one = Arr({"a"});
  EXPECT_EQ(raised([&] { java.DeclareOperation("int", "f", Arr({""}), one, {}); }),
            "JAVA_LANG: No parameter datatype specified.");
}

TEST(Java, ResultChecks) {
  JavaLang java;
  EXPECT_EQ(java.GetCheckExpectedResult("void", "m"),
            "TestLog.message(\"Expected result\", KTS_LOG_RESULT_PASS, \"Call to m was successful.\");\r\n");
  const std::string boolean = java.GetCheckExpectedResult("boolean", "m");
  EXPECT_EQ(boolean,
            "if (expectedReturn == actualReturn)\r\n"
            "    TestLog.message(\"Expected result\", KTS_LOG_RESULT_PASS, \"Call to m returned expected value\");\r\n"
            "else\r\n"
            "    TestLog.message(\"Unexpected result\", KTS_LOG_RESULT_FAIL, \"Call to m returned unexpected value, \" + (new Boolean(actualReturn)).toString() + \".\");");
  const std::string object = java.GetCheckExpectedResult("Account", "m");
  EXPECT_NE(object.find("+ ((actualReturn)).toString() + \".\");"), std::string::npos);
  EXPECT_EQ(java.GetCheckExpectedResult("", "m").substr(0, 40), "if (expectedReturn.equals(actualReturn))");
}

}  // namespace
}  // namespace zt
