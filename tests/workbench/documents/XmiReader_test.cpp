// Tests of the XMI reader and of model files of either format: small XMI
// texts for each thing the reader reads, skips or refuses, and the models
// that real tools wrote (tests/data/xmi-samples, with their sources and
// licences).
#include "workbench/documents/XmiReader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestUtil.h"
#include "workbench/documents/ModelFile.h"
#include "workbench/documents/ModelListing.h"

namespace zt::wb {
namespace {

constexpr const char* kXmiNs = "http://www.omg.org/XMI/20131001";
constexpr const char* kUmlNs = "http://www.eclipse.org/uml2/5.0.0/UML";

/// An xmi:XMI file whose model "M" holds `body`; `beside` follows the model.
std::string Xmi(const std::string& body, const std::string& beside = {}, const std::string& xmiNs = kXmiNs,
                const std::string& umlNs = kUmlNs) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xmi:XMI xmi:version=\"2.1\" xmlns:xmi=\"" + xmiNs +
         "\" xmlns:uml=\"" + umlNs + "\" xmlns:COM=\"http:///schemas/COM/_p1/0\">\n" +
         "<uml:Model xmi:id=\"m\" name=\"M\">\n" + body + "</uml:Model>\n" + beside + "</xmi:XMI>\n";
}

XmiResult Read(const std::string& text, const std::string& language = {}) {
  return ParseXmi(text, "t.xmi", XmiOptions{language});
}

DocumentError ErrorOf(const std::string& text) {
  return test::Raised<DocumentError>([&] { Read(text); });
}

/// The messages of the warnings, one per line.
std::string Messages(const XmiResult& result) {
  std::string all;
  for (const LoadWarning& w : result.warnings) all += w.message + "\n";
  return all;
}

Class& ClassOf(const XmiResult& result, const std::string& name) {
  Class* c = result.model->FindClass(name);
  if (c == nullptr) throw std::runtime_error("no class " + name + " in\n" + ListModel(*result.model));
  return *c;
}

TEST(XmiNamespaces, RecognisedByUriWhateverTheVersionOrPrefix) {
  const std::pair<const char*, const char*> versions[] = {
      {"http://www.omg.org/XMI/20131001", "http://www.eclipse.org/uml2/5.0.0/UML"},
      {"http://www.omg.org/XMI/20110701", "http://www.eclipse.org/uml2/4.0.0/UML"},
      {"http://www.omg.org/XMI", "http://www.eclipse.org/uml2/3.0.0/UML"},
      {"http://schema.omg.org/XMI/2.1", "http://schema.omg.org/UML/2.1"},
      {"http://schema.omg.org/XMI/2.0", "http://schema.omg.org/UML/2.0"},
      {"http://www.omg.org/XMI/20090901", "http://www.omg.org/UML/20090901"},
      {"http://www.omg.org/XMI/20131001", "http://www.omg.org/UML/20131001"}};
  const std::string body = "<packagedElement xmi:type=\"uml:Package\" xmi:id=\"p\" name=\"p\">"
                           "<packagedElement xmi:type=\"uml:Class\" xmi:id=\"c\" name=\"C\"/></packagedElement>\n";
  for (const auto& [xmi, uml] : versions) {
    SCOPED_TRACE(uml);
    EXPECT_NE(Read(Xmi(body, {}, xmi, uml)).model->FindClass("M::p::C"), nullptr);
  }
  // Other prefixes for the same namespaces; "uml" bound to something else.
  const std::string renamed = std::string("<x:XMI xmlns:x=\"") + kXmiNs + "\" xmlns:u=\"" + kUmlNs +
                              "\" xmlns:uml=\"http://example.com/other\"><u:Package x:id=\"r\" name=\"R\">"
                              "<packagedElement x:type=\"u:Class\" x:id=\"a\" name=\"A\"/>"
                              "<packagedElement x:type=\"uml:Class\" x:id=\"b\" name=\"B\"/></u:Package></x:XMI>";
  const XmiResult result = Read(renamed);
  EXPECT_NE(result.model->FindClass("R::A"), nullptr);
  EXPECT_EQ(result.model->FindClass("R::B"), nullptr);
  EXPECT_EQ(result.model->Name(), "R");
  // A bare uml:Model root, as Eclipse UML2 writes it.
  const XmiResult bare = Read(std::string("<uml:Model xmlns:xmi=\"") + kXmiNs + "\" xmlns:uml=\"" + kUmlNs +
                              "\" name=\"Bare\"><packagedElement xmi:type=\"uml:Interface\" name=\"I\"/></uml:Model>");
  EXPECT_EQ(ClassOf(bare, "Bare::I").Stereotype(), "Interface");
}

TEST(XmiEncodings, Windows1252AndCrLfAndBadUtf8) {
  std::string text = Xmi("<packagedElement xmi:type=\"uml:Class\" name=\"Gr\xFC\xDF\x65\x80\"/>\n"
                         "<packagedElement xmi:type=\"uml:Class\" name=\"Gr\xFC\xDF\x65\x80\"/>\n");
  text.replace(text.find("UTF-8"), 5, "windows-1252");
  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const XmiResult result = Read(crlf);
  EXPECT_NE(result.model->FindClass("M::Grüße€"), nullptr);
  EXPECT_NE(result.model->FindClass("M::Grüße€_2"), nullptr);
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_EQ(result.warnings[0].line, 5);  // CR LF counts as one line end
  EXPECT_EQ(result.warnings[0].column, 1);

  const DocumentError utf8 = ErrorOf(Xmi("<packagedElement xmi:type=\"uml:Class\" name=\"a\xFC\"/>\n"));
  EXPECT_EQ(utf8.Line(), 4);
  EXPECT_EQ(utf8.Column(), 46);
  EXPECT_NE(utf8.Message().find("windows-1252"), std::string::npos);

  std::string japanese = Xmi("");
  japanese.replace(japanese.find("UTF-8"), 5, "Shift_JIS");
  EXPECT_NE(ErrorOf(japanese).Message().find("\"shift_jis\" is not supported"), std::string::npos);
}

TEST(XmiErrors, RefusedFilesNameThePlace) {
  const DocumentError version1 = ErrorOf(
      "<?xml version=\"1.0\"?>\n<XMI xmi.version=\"1.2\" xmlns:UML=\"org.omg.xmi.namespace.UML\"><XMI.content/></XMI>");
  EXPECT_EQ(version1.Line(), 2);
  EXPECT_NE(version1.Message().find("XMI 1.x file (xmi.version=\"1.2\")"), std::string::npos);

  const DocumentError malformed = ErrorOf(Xmi("<packagedElement xmi:type=\"uml:Class\" name=\"A\">\n</ownedOperation>\n"));
  EXPECT_EQ(std::string(malformed.what()).substr(0, 10), "t.xmi:5:3:");
  EXPECT_NE(malformed.Message().find("malformed XML"), std::string::npos);

  const DocumentError root = ErrorOf("<project name=\"x\"/>");
  EXPECT_EQ(root.Line(), 1);
  EXPECT_NE(root.Message().find("<project>"), std::string::npos);

  EXPECT_NE(ErrorOf(std::string("<xmi:XMI xmlns:xmi=\"") + kXmiNs + "\"/>").Message().find("no uml:Model"),
            std::string::npos);
}

TEST(XmiTypes, ByIdIdrefHrefAndUnresolved) {
  const std::string text = Xmi(R"(
<packagedElement xmi:type="uml:Class" xmi:id="c" name="C">
  <ownedAttribute xmi:id="a1" name="byId" type="later"/>
  <ownedAttribute xmi:id="a2" name="byIdref"><type xmi:idref="str"/></ownedAttribute>
  <ownedAttribute xmi:id="a3" name="byPathmap"><type href="pathmap://UML_LIBRARIES/UMLPrimitiveTypes.library.uml#String"/></ownedAttribute>
  <ownedAttribute xmi:id="a4" name="byOmgHref"><type href="http://www.omg.org/UML/20090901/UML.xmi#Boolean"/></ownedAttribute>
  <ownedAttribute xmi:id="a5" name="byLocalHref"><type href="#later"/></ownedAttribute>
  <ownedAttribute xmi:id="a6" name="lost" type="nowhere"/>
  <ownedAttribute xmi:id="a7" name="foreign"><type href="other.uml#_x7Ab"/></ownedAttribute>
  <ownedAttribute xmi:id="a8" name="eaBuiltIn" type="EAJava_int"/>
  <ownedAttribute xmi:id="a9" name="untyped"/>
  <ownedAttribute xmi:id="a10" type="str"/>
  <ownedAttribute xmi:id="a11" name="count"><type href="pathmap://UML_LIBRARIES/UMLPrimitiveTypes.library.uml#UnlimitedNatural"/></ownedAttribute>
  <ownedAttribute xmi:id="a12" name="ratio"><type href="pathmap://UML_LIBRARIES/UMLPrimitiveTypes.library.uml#Real"/></ownedAttribute>
  <ownedAttribute xmi:id="a13" name="boxed" type="integerClass"/>
  <ownedAttribute xmi:id="a14" name="whole" type="EAnone_Integer"/>
  <ownedAttribute xmi:id="a15" name="lostByTool" type=""/>
</packagedElement>
<packagedElement xmi:type="uml:PrimitiveType" xmi:id="str" name="string"/>
<packagedElement xmi:type="uml:Class" xmi:id="later" name="Later"/>
<packagedElement xmi:type="uml:Class" xmi:id="integerClass" name="Integer"/>
)");
  const auto typesOf = [](const XmiResult& result) {
    std::vector<std::string> types;
    for (const Attribute* a : ClassOf(result, "C").AttributeList()) types.push_back(a->Name() + ":" + a->Type());
    return types;
  };
  const XmiResult result = Read(text);
  EXPECT_EQ(typesOf(result),
            (std::vector<std::string>{"byId:Later", "byIdref:string", "byPathmap:String", "byOmgHref:Boolean",
                                      "byLocalHref:Later", "lost:nowhere", "foreign:_x7Ab", "eaBuiltIn:int", "untyped:",
                                      "count:UnlimitedNatural", "ratio:Real", "boxed:Integer", "whole:Integer",
                                      "lostByTool:"}));
  // In a class of Java, UML's primitive types (of the file, of a library, a
  // tool's built-in ones) take their Java names; a class named Integer keeps its.
  EXPECT_EQ(typesOf(Read(text, "Java")),
            (std::vector<std::string>{"byId:Later", "byIdref:String", "byPathmap:String", "byOmgHref:boolean",
                                      "byLocalHref:Later", "lost:nowhere", "foreign:_x7Ab", "eaBuiltIn:int",
                                      "untyped:", "count:int", "ratio:double", "boxed:Integer", "whole:int",
                                      "lostByTool:"}));
  EXPECT_EQ(Messages(result),
            "the type of \"M::C::lost\" refers to \"nowhere\", which names no type in the file; the type is read as "
            "\"nowhere\"\n"
            "the type of \"M::C::foreign\" refers to \"_x7Ab\", which names no type in the file; the type is read as "
            "\"_x7Ab\"\n"
            "the type of \"M::C::lostByTool\" is empty: the file gives it no type, and it is read without one\n");
}

TEST(XmiOperations, DirectionsReturnTypesAndDefaults) {
  const std::string text = Xmi(R"(
<packagedElement xmi:type="uml:Interface" xmi:id="i" name="I">
  <ownedOperation xmi:id="o1" name="f">
    <ownedParameter xmi:id="p1" name="a" type="int"><defaultValue xmi:type="uml:LiteralInteger" value="2"/></ownedParameter>
    <ownedParameter xmi:id="p2" name="b" type="int" direction="inout"><defaultValue xmi:type="uml:OpaqueExpression"><body>1 + 1</body></defaultValue></ownedParameter>
    <ownedParameter xmi:id="p3" name="r" type="int" kind="out"/>
    <ownedParameter xmi:id="p4" type="E"><defaultValue xmi:type="uml:InstanceValue" instance="red"/></ownedParameter>
    <ownedParameter xmi:id="p5" name="old" default="x"/>
    <ownedParameter xmi:id="ret" direction="return" type="int"/>
  </ownedOperation>
  <ownedOperation xmi:id="o2" name="g"><ownedParameter kind="return"><type href="x.library.uml#void"/></ownedParameter></ownedOperation>
  <ownedOperation xmi:id="o3" name="h"/>
  <ownedOperation xmi:id="o4"/>
  <ownedOperation xmi:id="o5" name="total">
    <ownedParameter xmi:id="p6" type="" direction="return"/>
    <ownedParameter xmi:type="uml:Parameter" xmi:id="p7" name="currency" visibility="private" type="" value=""/>
  </ownedOperation>
</packagedElement>
<packagedElement xmi:type="uml:PrimitiveType" xmi:id="int" name="long"/>
<packagedElement xmi:type="uml:Enumeration" xmi:id="E" name="Colour"><ownedLiteral xmi:id="red" name="Red"/></packagedElement>
)");
  const XmiResult result = Read(text);
  const Class& i = ClassOf(result, "I");
  ASSERT_EQ(i.OperationList().size(), 4u);
  const Operation& f = *i.OperationList()[0];
  EXPECT_EQ(f.ReturnType(), "long");
  EXPECT_EQ(i.OperationList()[1]->ReturnType(), "");
  EXPECT_EQ(i.OperationList()[2]->ReturnType(), "");
  std::string parameters;
  for (const Parameter* p : f.ParameterList()) {
    parameters += p->Name() + ":" + p->Type() + "=" + p->InitValue() + "/" + p->GetPropertyValue("UML", "direction") + " ";
  }
  EXPECT_EQ(parameters, "a:long=2/ b:long=1 + 1/inout r:long=/out :Colour=Red/ old:=x/ ");
  // An empty type (as Umbrello writes a parameter whose type it lost) is no
  // type: a result without one returns nothing, a parameter has none.
  const Operation& total = *i.OperationList()[3];
  EXPECT_EQ(total.ReturnType(), "");
  ASSERT_EQ(total.ParameterList().size(), 1u);
  EXPECT_EQ(total.ParameterList()[0]->Type(), "");
  EXPECT_EQ(Messages(result),
            "an operation without a name is skipped\n"
            "the type of \"M::I::total::currency\" is empty: the file gives it no type, and it is read without one\n");
  // In Java an explicit void stays the return type; no return parameter stays no return type.
  const XmiResult java = Read(text, "Java");
  EXPECT_EQ(ClassOf(java, "I").OperationList()[1]->ReturnType(), "void");
  EXPECT_EQ(ClassOf(java, "I").OperationList()[2]->ReturnType(), "");
  EXPECT_EQ(ClassOf(java, "I").OperationList()[3]->ReturnType(), "");
}

TEST(XmiRelations, GeneralizationsAndRealizationsInAnyOrder) {
  const XmiResult result = Read(Xmi(R"(
<packagedElement xmi:type="uml:Realization" xmi:id="r1" client="A B" supplier="I J"/>
<packagedElement xmi:type="uml:InterfaceRealization" xmi:id="r2"><client xmi:idref="C"/><supplier xmi:idref="J"/></packagedElement>
<packagedElement xmi:type="uml:Realization" xmi:id="r3" client="A m" supplier="missing"/>
<packagedElement xmi:type="uml:Abstraction" xmi:id="r4" client="C" supplier="I"/>
<packagedElement xmi:type="uml:Class" xmi:id="A" name="A">
  <generalization xmi:id="g1" general="C"/>
  <interfaceRealization xmi:id="ir" client="A" supplier="K" contract="I"/>
</packagedElement>
<packagedElement xmi:type="uml:Class" xmi:id="B" name="B"><generalization><general xmi:idref="A"/></generalization></packagedElement>
<packagedElement xmi:type="uml:Class" xmi:id="C" name="C"><generalization general="B"/><generalization general="dt"/></packagedElement>
<packagedElement xmi:type="uml:Interface" xmi:id="I" name="I"/>
<packagedElement xmi:type="uml:Interface" xmi:id="J" name="J"/>
<packagedElement xmi:type="uml:Interface" xmi:id="K" name="K"/>
<packagedElement xmi:type="uml:DataType" xmi:id="dt" name="Date"/>
)"));
  const auto names = [](const Class::SupplierRange& classes) {
    std::string text;
    for (const Class* c : classes) text += c->Name() + " ";
    return text;
  };
  EXPECT_EQ(names(ClassOf(result, "A").Realizes()), "I J ");
  EXPECT_EQ(names(ClassOf(result, "B").Realizes()), "I J ");
  EXPECT_EQ(names(ClassOf(result, "C").Realizes()), "J ");
  EXPECT_EQ(names(ClassOf(result, "A").Inherits()), "C ");
  EXPECT_EQ(names(ClassOf(result, "B").Inherits()), "A ");
  EXPECT_EQ(names(ClassOf(result, "C").Inherits()), "");  // B would close a cycle
  EXPECT_EQ(Messages(result),
            "an end of a realization is skipped: \"M\" is not a class or interface of the model\n"
            "an end of a realization is skipped: no element of the file has the id \"missing\"\n"
            "a generalization of \"M::C\" is skipped: \"M::C\" cannot inherit from \"M::B\": the generalizations "
            "would form a cycle\n"
            "a generalization of \"M::C\" is skipped: \"Date\" is not a class or interface of the model\n");
}

TEST(XmiStructure, NestingDuplicatesAndUnnamedElements) {
  const XmiResult result = Read(Xmi(R"(
<packagedElement xmi:type="uml:Package" xmi:id="p" name="p">
  <packagedElement xmi:type="uml:Class" xmi:id="car1" name="Car">
    <nestedClassifier xmi:type="uml:Class" xmi:id="engine" name="Engine"/>
    <ownedAttribute xmi:id="end" association="as" type="car2"/>
  </packagedElement>
  <ownedMember xmi:type="uml:Class" xmi:id="car2" name="Car" isAbstract="true"/>
  <packagedElement xmi:type="uml:Class" xmi:id="anon"/>
  <packagedElement xmi:type="uml:Association" xmi:id="as" name="Car"/>
  <packagedElement xmi:type="uml:Model" xmi:id="q" name="q"><packagedElement xmi:type="uml:Package" xmi:id="r" name="r"/></packagedElement>
  <packagedElement xmi:type="uml:Package" xmi:id="q2" name="q"/>
</packagedElement>
<packagedElement xmi:type="uml:Class" xmi:id="user" name="User"><ownedAttribute name="car" type="car2"/></packagedElement>
)"));
  std::string classes;
  for (const Class* c : result.model->FindPackage("p")->ClassList()) classes += c->Name() + " ";
  EXPECT_EQ(classes, "Car Car.Engine Car_2 ") << "a nested class is named after the class that holds it";
  EXPECT_TRUE(ClassOf(result, "p::Car_2").IsAbstract());
  EXPECT_TRUE(ClassOf(result, "p::Car").AttributeList().empty());
  EXPECT_EQ(ClassOf(result, "User").AttributeList()[0]->Type(), "Car_2");
  EXPECT_NE(result.model->FindPackage("p::q::r"), nullptr);
  EXPECT_NE(result.model->FindPackage("p::q_2"), nullptr);
  EXPECT_EQ(Messages(result),
            "\"M::p\" already has a class named \"Car\"; the class with id \"car2\" is read as \"Car_2\"\n"
            "a class without a name is skipped\n"
            "\"M::p\" already has a package named \"q\"; the package with id \"q2\" is read as \"q_2\"\n");
  EXPECT_EQ(result.warnings[0].line, 10);
}

// Classes inside classes, as UML nests them (nestedClassifier) and as
// Umbrello's Java import writes a Java nested class (a packagedElement inside
// its class): each joins its package, named "Outer.Inner" as Java names it,
// and a type that refers to it says so; its constructor is named like its
// own last part.
TEST(XmiStructure, NestedClassesAreNamedThroughTheirOuterClasses) {
  const XmiResult result = Read(Xmi(R"(
<packagedElement xmi:type="uml:Package" xmi:id="p" name="p">
  <packagedElement xmi:type="uml:Class" xmi:id="outer" name="Outer">
    <ownedOperation xmi:id="o1" name="builder" isStatic="true">
      <ownedParameter xmi:id="o1r" type="builder" direction="return"/>
    </ownedOperation>
    <packagedElement xmi:type="uml:Class" xmi:id="builder" name="Builder">
      <ownedOperation xmi:id="b1" name="Builder"/>
      <ownedOperation xmi:id="b2" name="mode">
        <ownedParameter xmi:id="b2p" name="m" type="mode"/>
        <ownedParameter xmi:id="b2r" type="builder" direction="return"/>
      </ownedOperation>
      <packagedElement xmi:type="uml:Class" xmi:id="deep" name="Part"/>
    </packagedElement>
    <packagedElement xmi:type="uml:Enumeration" xmi:id="mode" name="Mode"><ownedLiteral xmi:id="l" name="FAST"/></packagedElement>
    <nestedClassifier xmi:type="uml:Interface" xmi:id="cb" name="Callback"/>
    <packagedElement xmi:type="uml:Association" xmi:id="as" name="link"/>
  </packagedElement>
  <packagedElement xmi:type="uml:Class" xmi:id="builder2" name="Builder"/>
</packagedElement>
<packagedElement xmi:type="uml:Class" xmi:id="user" name="User"><ownedAttribute name="b" type="builder"/></packagedElement>
)"));
  EXPECT_EQ(ListModel(*result.model),
            "Model M\n"
            "  Category M\n"
            "    Class M::User\n"
            "      Attribute M::User::b: Outer.Builder\n"
            "    Category M::p\n"
            "      Class M::p::Outer\n"
            "        Operation M::p::Outer::builder(): Outer.Builder static\n"
            "      Class M::p::Outer.Builder\n"
            "        Operation M::p::Outer.Builder::Builder()\n"
            "        Operation M::p::Outer.Builder::mode(m: Outer.Mode): Outer.Builder\n"
            "          Parameter M::p::Outer.Builder::mode::m: Outer.Mode\n"
            "      Class M::p::Outer.Builder.Part\n"
            "      Class M::p::Outer.Mode «enumeration»\n"
            "        literal FAST\n"
            "      Class M::p::Outer.Callback «Interface»\n"
            "      Class M::p::Builder\n");
  EXPECT_EQ(Messages(result), "") << "Builder and Outer.Builder are two names";
}

TEST(XmiStereotypes, ApplicationsSetStereotypesPropertiesAndLanguage) {
  const XmiResult result = Read(
      Xmi(R"(
<packagedElement xmi:type="uml:Class" xmi:id="calc" name="Calc"/>
<packagedElement xmi:type="uml:Interface" xmi:id="icalc" name="ICalc">
  <ownedOperation xmi:id="add" name="Add"><ownedParameter xmi:id="res" name="result"/></ownedOperation>
</packagedElement>
<packagedElement xmi:type="uml:Class" xmi:id="bean" name="AccountBean"/>
<packagedElement xmi:type="uml:Class" xmi:id="twice" name="Twice"/>
)",
          R"(<COM:coclass xmi:id="s1" base_Class="calc" progid="Calc.Calc"><note>one</note><note>two</note><ref xmi:idref="icalc"/></COM:coclass>
<COM:COM xmi:id="s2" base_Interface="icalc"/>
<COM:Retval xmi:id="s3" base_Parameter="res" retval="True"/>
<standard:Create xmlns:standard="http://www.eclipse.org/uml2/5.0.0/UML/Profile/Standard" base_BehavioralFeature="add"/>
<COM:other base_Class="calc"/>
<ejb:EJBEntity xmlns:ejb="http://example.com/ejb" base_Class="bean" language="InlineEJB" home="AccountHome"/>
<ejb:Java xmlns:ejb="http://example.com/ejb" base_Class="bean twice"/>
<COM:COM base_Class="twice"/>
<COM:coclass base_Class="gone"/>
<COM:coclass base_Class="s2"/>
)"),
      "Java");
  const Class& calc = ClassOf(result, "Calc");
  EXPECT_EQ(calc.Stereotype(), "coclass");
  EXPECT_EQ(calc.Language(), "Java");  // from the option
  EXPECT_EQ(calc.GetPropertyValue("COM", "progid"), "Calc.Calc");
  EXPECT_EQ(calc.GetPropertyValue("COM", "note"), "one, two");
  EXPECT_EQ(calc.GetPropertyValue("COM", "ref"), "ICalc");
  const Class& icalc = ClassOf(result, "ICalc");
  EXPECT_EQ(icalc.Stereotype(), "Interface");
  EXPECT_EQ(icalc.Language(), "COM");
  EXPECT_EQ(icalc.OperationList()[0]->Stereotype(), "Create");
  EXPECT_EQ(icalc.OperationList()[0]->ParameterList()[0]->GetPropertyValue("COM", "retval"), "True");
  const Class& bean = ClassOf(result, "AccountBean");
  EXPECT_EQ(bean.Stereotype(), "EJBEntity");
  EXPECT_EQ(bean.Language(), "InlineEJB");
  EXPECT_EQ(bean.GetPropertyValue("ejb", "home"), "AccountHome");
  EXPECT_EQ(bean.GetPropertyValue("ejb", "language"), "");
  EXPECT_EQ(ClassOf(result, "Twice").Language(), "Java");  // language stereotypes: the first one stays
  EXPECT_EQ(Messages(result),
            "\"M::Calc\" has more than one stereotype; it keeps «coclass» and drops «other»\n"
            "\"M::Twice\" is given the languages \"Java\" and \"COM\"; it keeps \"Java\"\n"
            "the stereotype application «coclass» refers to the id \"gone\", which no element of the file has\n");
}

TEST(XmiTools, EnterpriseArchitectAndVisualParadigmExtensions) {
  const XmiResult result = Read(Xmi(R"(
<packagedElement xmi:type="uml:Class" xmi:id="EAID_1" name="Account">
  <ownedOperation xmi:id="EAID_op" name="create"><ownedParameter xmi:id="EAID_par" name="id"/></ownedOperation>
  <ownedAttribute xmi:id="EAID_at" name="balance"/>
</packagedElement>
<packagedElement xmi:type="uml:Class" xmi:id="EAID_2" name="Plain"/>
<packagedElement xmi:type="uml:Class" xmi:id="vp1" name="Customer">
  <xmi:Extension extender="Visual Paradigm"><appliedStereotype xmi:type="uml:AppliedStereotype" xmi:value="Class_entity_id"/>
    <taggedValue tag="EJB.beantype" value="Entity"/><taggedValue name="author" value="me"/></xmi:Extension>
</packagedElement>
<packagedElement xmi:type="uml:Class" xmi:id="vp2" name="Order">
  <xmi:Extension extender="Visual Paradigm"><appliedStereotype xmi:value="st"/></xmi:Extension>
</packagedElement>
<packagedElement xmi:type="uml:Stereotype" xmi:id="st" name="EJBSession"/>
)",
                                    R"(<xmi:Extension extender="Enterprise Architect" extenderID="6.5"><elements>
  <element xmi:idref="EAID_1" xmi:type="uml:Class" name="Account">
    <properties sType="Class" stereotype="EJBRemoteInterface"/><code gentype="Java"/>
    <tags><tag xmi:id="t1" name="EJB.home" value="AccountHome"/><tag xmi:id="t1" name="status" value="draft"/></tags>
    <attributes><attribute xmi:idref="EAID_at"><tags><tag name="unit" value="EUR"/></tags></attribute></attributes>
    <operations><operation xmi:idref="EAID_op"><stereotype stereotype="EJBCreateMethod"/>
      <parameters><parameter xmi:idref="EAID_par"><tags><tag name="COM.retval" value="True"/></tags></parameter></parameters>
    </operation></operations>
  </element>
  <element xmi:idref="EAID_2"><code gentype="&lt;none&gt;"/></element>
</elements></xmi:Extension>
<xmi:Extension extender="MagicDraw UML 19.0"><element xmi:idref="EAID_2"><properties stereotype="ignored"/></element></xmi:Extension>
)"),
                                "COM");
  const Class& account = ClassOf(result, "Account");
  EXPECT_EQ(account.Stereotype(), "EJBRemoteInterface");
  EXPECT_EQ(account.Language(), "Java");
  EXPECT_EQ(account.GetPropertyValue("EJB", "home"), "AccountHome");
  EXPECT_EQ(account.GetPropertyValue("EA", "status"), "draft");
  EXPECT_EQ(account.AttributeList()[0]->GetPropertyValue("EA", "unit"), "EUR");
  EXPECT_EQ(account.OperationList()[0]->Stereotype(), "EJBCreateMethod");
  EXPECT_EQ(account.OperationList()[0]->ParameterList()[0]->GetPropertyValue("COM", "retval"), "True");
  EXPECT_EQ(ClassOf(result, "Plain").Language(), "COM");
  EXPECT_EQ(ClassOf(result, "Plain").Stereotype(), "");
  const Class& customer = ClassOf(result, "Customer");
  EXPECT_EQ(customer.Stereotype(), "entity");
  EXPECT_EQ(customer.GetPropertyValue("EJB", "beantype"), "Entity");
  EXPECT_EQ(customer.GetPropertyValue("VP", "author"), "me");
  EXPECT_EQ(ClassOf(result, "Order").Stereotype(), "EJBSession");
  EXPECT_EQ(Messages(result), "");  // ids repeated inside a tool's extension are the tool's business
}

TEST(ModelFiles, FormatIsToldByContent) {
  EXPECT_EQ(SniffModelFile("\xEF\xBB\xBF \r\n {}", "f"), ModelFileFormat::kJson);
  EXPECT_EQ(SniffModelFile("\n\t<?xml?>", "f.json"), ModelFileFormat::kXmi);
  EXPECT_STREQ(test::Raised<DocumentError>([] { SniffModelFile("\n  model: x", "f.yaml"); }).what(),
               "f.yaml:2:3: this is neither a JSON model document (which starts with '{') nor an XMI "
               "file (which starts with '<'): it starts with 'm'");
  EXPECT_THROW(SniffModelFile(" \n ", "f"), DocumentError);
  EXPECT_THROW(SniffModelFile(std::string("<\0x\0", 4), "f"), DocumentError);

  std::vector<std::string> warnings;
  ModelFileOptions options{"Java", [&](const LoadWarning& w) { warnings.push_back(w.Format()); }};
  const auto json = ParseModelFile(R"({"classes": [{"name": "A"}, {"name": "B", "language": "COM"}]})", "d.json", options);
  EXPECT_EQ(json->FindClass("A")->Language(), "Java");
  EXPECT_EQ(json->FindClass("B")->Language(), "COM");
  const auto xmi = ParseModelFile(Xmi("<packagedElement xmi:type=\"uml:Class\" name=\"A\"/><packagedElement "
                                      "xmi:type=\"uml:Class\" name=\"A\"/>"),
                                  "m.uml", options);
  EXPECT_EQ(xmi->FindClass("A_2")->Language(), "Java");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "m.uml:4:49: warning: \"M\" already has a class named \"A\"; the later one is read as \"A_2\"");
}

// The models real tools wrote.

std::filesystem::path SamplesDir() { return std::filesystem::path(ZT_TEST_DATA_DIR) / "xmi-samples"; }

class XmiSamples : public ::testing::Test {
 protected:
  static XmiResult Sample(const std::string& name, const std::string& language = {}) {
    return ParseXmi(test::ReadAll(SamplesDir() / name), name, XmiOptions{language});
  }
  static int Operations(const Model& model) {
    int count = 0;
    model.Walk([&](Element& e, int) { count += dynamic_cast<Operation*>(&e) != nullptr ? 1 : 0; });
    return count;
  }
};

TEST_F(XmiSamples, EclipseUml2) {
  const XmiResult result = Sample("acceleo-uml2java.uml");
  const Model& model = *result.model;
  EXPECT_EQ(model.ClassCount(), 6);
  EXPECT_EQ(Operations(model), 4);
  const std::string pkg = "org::eclipse::acceleo::examples::umltojava::model::";
  const Class& car = ClassOf(result, pkg + "Car");
  EXPECT_EQ(car.GetQualifiedName(), "UML Model::" + pkg + "Car");
  EXPECT_EQ(car.Inherits()[0]->Name(), "Vehicle");
  EXPECT_EQ(car.Realizes()[0]->Name(), "NeedALicense");
  EXPECT_EQ(ClassOf(result, pkg + "Person").OperationList()[0]->ReturnType(), "Integer");
  const Operation& canDrive = *ClassOf(result, pkg + "NeedALicense").OperationList()[0];
  EXPECT_EQ(canDrive.ReturnType(), "Boolean");
  EXPECT_EQ(canDrive.ParameterList()[0]->GetPropertyValue("UML", "direction"), "out");
  EXPECT_TRUE(result.warnings.empty());
}

TEST_F(XmiSamples, Papyrus) {
  const XmiResult result = Sample("papyrus-car.uml");
  EXPECT_EQ(result.model->ClassCount(), 6);  // the enumeration Gender, without literals, among them
  EXPECT_EQ(Operations(*result.model), 6);
  EXPECT_TRUE(ClassOf(result, "Person").IsAbstract());
  EXPECT_EQ(ClassOf(result, "Car").Realizes()[0]->GetQualifiedName(), "eclipse-papyrus-car-model-with-sequence::Movable");
  const Operation& drive = *ClassOf(result, "Car").OperationList()[0];
  EXPECT_EQ(drive.ParameterList()[0]->Type(), "Person");
  EXPECT_EQ(drive.ParameterList()[1]->Type(), "Real");
  EXPECT_EQ(ClassOf(result, "Wheel").OperationList()[0]->ReturnType(), "Boolean");
  EXPECT_EQ(result.warnings.size(), 2u);  // realizations from and to the model itself
}

TEST_F(XmiSamples, EnterpriseArchitect) {
  const XmiResult result = Sample("ea-car-xmi21.xml", "COM");
  EXPECT_EQ(result.model->ClassCount(), 10);  // the enumeration Gender among them
  EXPECT_EQ(Operations(*result.model), 3);
  ASSERT_EQ(result.warnings.size(), 2u);
  EXPECT_EQ(result.warnings[0].Format(),
            "ea-car-xmi21.xml:18:4: warning: \"EA_Model::Starter Class Diagram\" already has a class named \"Car\"; "
            "the class with id \"EAID_0D1E8743_F4D2_4882_B2B5_A7CB520C3685\" is read as \"Car_2\"");
  const Class& car = ClassOf(result, "Starter Class Diagram::Car_2");
  EXPECT_EQ(car.Language(), "Java");
  EXPECT_EQ(ClassOf(result, "Starter Class Diagram::Car").Language(), "COM");
  EXPECT_EQ(car.Realizes()[0]->Name(), "Movable");
  EXPECT_EQ(car.OperationList()[0]->ReturnType(), "void") << "EAJava_void in a class of Java";
  EXPECT_EQ(ClassOf(result, "Starter Class Diagram::Wheel_2").OperationList()[0]->ReturnType(), "boolean");
  EXPECT_EQ(ClassOf(result, "Starter Class Diagram::Wheel_2").AttributeList()[2]->Type(), "Car_2");
}

// Umbrello's files: its fixed views inside its model, the Logical View the
// root; its code generator's language for every class that names none;
// static and visible operations, defaults and enumerations as it writes
// them. Each case writes the same model as Umbrello may (attribute order,
// prefixes, blanks and line ends vary; the documentation or the extension
// tells the tool).
struct UmbrelloCase {
  const char* name;
  std::string text;
};

std::string UmbrelloFile(const std::string& xmiPrefix, const std::string& documentation,
                         const std::string& operationAttributes, const std::string& newline) {
  const std::string x = xmiPrefix;
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + newline + "<" + x + ":XMI " + x +
         ":version=\"2.1\" xmlns:" + x +
         "=\"http://schema.omg.org/spec/XMI/2.1\" xmlns:uml=\"http://schema.omg.org/spec/UML/2.1\">" + newline +
         documentation + newline + "<uml:Model " + x + ":id=\"m1\" name=\"UML Model\">" + newline +
         "<packagedElement " + x + ":type=\"uml:Stereotype\" " + x + ":id=\"folder\" name=\"folder\"/>" + newline +
         "<packagedElement " + x + ":type=\"uml:Model\" " + x + ":id=\"Logical_View\" name=\"Logical View\">" +
         newline + "  <uml:Package " + x + ":id=\"Datatypes\" name=\"Datatypes\" stereotype=\"folder\">" + newline +
         "    <packagedElement " + x + ":type=\"uml:DataType\" " + x + ":id=\"int\" name=\"int\"/>" + newline +
         "    <packagedElement " + x + ":type=\"uml:DataType\" " + x + ":id=\"str\" name=\"String\"/>" + newline +
         "  </uml:Package>" + newline + "  <packagedElement " + x + ":type=\"uml:Package\" " + x +
         ":id=\"p\" name=\"shop\">" + newline + "    <packagedElement " + x + ":type=\"uml:Class\" " + x +
         ":id=\"c\" name=\"Texts\">" + newline + "      <ownedOperation " + operationAttributes + ">" + newline +
         "        <ownedParameter " + x + ":type=\"uml:Parameter\" " + x +
         ":id=\"r\" type=\"str\" direction=\"return\"/>" + newline + "        <ownedParameter " + x +
         ":type=\"uml:Parameter\" " + x + ":id=\"a\" name=\"n\" visibility=\"private\" type=\"int\" value=\"1\"/>" +
         newline + "      </ownedOperation>" + newline + "      <ownedOperation " + x + ":type=\"uml:Operation\" " + x +
         ":id=\"h\" name=\"hidden\" visibility=\"private\"/>" + newline + "      <ownedOperation " + x +
         ":type=\"uml:Operation\" " + x + ":id=\"s\" name=\"safe\" visibility=\"protected\" isStatic=\"true\"/>" +
         newline + "    </packagedElement>" + newline + "    <packagedElement " + x + ":type=\"uml:Enumeration\" " + x +
         ":id=\"e\" name=\"Currency\" stereotype=\"enum\">" + newline + "      <ownedLiteral " + x +
         ":type=\"uml:EnumerationLiteral\" " + x + ":id=\"l1\" name=\"EUR\"/><ownedLiteral " + x +
         ":id=\"l2\" name=\"USD\"/>" + newline + "    </packagedElement>" + newline + "  </packagedElement>" + newline +
         "</packagedElement>" + newline + "<packagedElement " + x + ":type=\"uml:Model\" " + x +
         ":id=\"Use_Case_View\" name=\"Use Case View\"/>" + newline + "</uml:Model>" + newline + "<" + x +
         ":Extension extender=\"umbrello\"><codegeneration>" + "<codegenerator language=\"Java\"/></codegeneration></" +
         x + ":Extension>" + newline + "</" + x + ":XMI>" + newline;
}

class UmbrelloFiles : public ::testing::TestWithParam<UmbrelloCase> {};

TEST_P(UmbrelloFiles, LogicalViewIsTheRootAndTheFilesLanguageTheClassesOwn) {
  const XmiResult result = Read(GetParam().text, "COM");
  EXPECT_EQ(result.model->Name(), "UML Model");
  EXPECT_EQ(ListModel(*result.model),
            "Model UML Model\n"
            "  Category Logical View\n"
            "    Category Logical View::shop\n"
            "      Class Logical View::shop::Texts language Java\n"
            "        Operation Logical View::shop::Texts::join(n: int): String static\n"
            "          Parameter Logical View::shop::Texts::join::n: int = 1\n"
            "        Operation Logical View::shop::Texts::hidden() private\n"
            "        Operation Logical View::shop::Texts::safe() static protected\n"
            "      Class Logical View::shop::Currency «enumeration» language Java\n"
            "        literal EUR\n"
            "        literal USD\n")
      << "--language gives way to the file's; the Datatypes folder and the other views hold no classes";
  EXPECT_EQ(Messages(result), "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, UmbrelloFiles,
    ::testing::Values(
        UmbrelloCase{
            "AsUmbrelloWritesIt",
            UmbrelloFile("xmi",
                         "<xmi:Documentation exporter=\"umbrello uml modeller 2.37.3\" "
                         "exporterVersion=\"2.0.4\"/>",
                         "xmi:type=\"uml:Operation\" xmi:id=\"o\" name=\"join\" ownerScope=\"classifier\"", "\n")},
        UmbrelloCase{
            "OtherPrefixCrLfAndOrder",
            UmbrelloFile("x", "<x:Documentation exporterVersion=\"2.0.4\" exporter=\"Umbrello UML Modeller\"/>",
                         "ownerScope=\"classifier\" name=\"join\" x:id=\"o\" x:type=\"uml:Operation\"", "\r\n")},
        UmbrelloCase{"NoDocumentationUml2Static",
                     UmbrelloFile("xmi", "", "xmi:id=\"o\" name=\"join\"   isStatic=\"true\"", "\n")}),
    test::CaseName());

TEST(XmiUmbrello, TheFileOfAnotherToolKeepsItsViewsAndItsLanguage) {
  // The same shape without Umbrello's marks is any tool's model of models.
  std::string text = UmbrelloFile("xmi", "", "xmi:id=\"o\" name=\"join\"", "\n");
  text.replace(text.find("<xmi:Extension extender=\"umbrello\">"),
               std::string("<xmi:Extension extender=\"umbrello\">").size(), "<xmi:Extension extender=\"other\">");
  const XmiResult result = Read(text);
  EXPECT_NE(result.model->FindClass("UML Model::Logical View::shop::Texts"), nullptr);
  EXPECT_EQ(ClassOf(result, "UML Model::Logical View::shop::Texts").Language(), "");
}

TEST(XmiUmbrello, TheSampleOfItsJavaImport) {
  const XmiResult result =
      ParseXmi(test::ReadAll(std::filesystem::path(ZT_TEST_DATA_DIR) / "umbrello" / "shop-java-import.xmi"),
               "shop-java-import.xmi", {});
  const Class& texts = ClassOf(result, "shop::util::Texts");
  EXPECT_EQ(texts.Language(), "Java");
  std::string statics;
  for (const Operation* o : texts.OperationList()) statics += o->Name() + (o->IsStatic() ? "+ " : "- ");
  EXPECT_EQ(statics,
            "Texts- join+ count+ count+ parse+ sum+ histogram+ nextDay+ square+ currencyOf+ flags+ initial+ pad+ ");
  EXPECT_EQ(texts.OperationList()[0]->Visibility(), OperationVisibility::kPrivate);
  EXPECT_EQ(ClassOf(result, "shop::money::Currency").Literals(), (std::vector<std::string>{"EUR", "USD", "GBP"}));
  EXPECT_EQ(ClassOf(result, "shop::Order").OperationList()[9]->Name(), "isEmpty");
  EXPECT_EQ(ClassOf(result, "shop::Order").OperationList()[9]->Visibility(), OperationVisibility::kProtected);
  // The enumeration's file was imported first: the parameter that names it
  // has its type (see tests/data/umbrello/README.md).
  const Operation& total = *ClassOf(result, "shop::Order").OperationList()[6];
  ASSERT_EQ(total.Name(), "total");
  EXPECT_EQ(total.ParameterList()[0]->Type(), "Currency");
  EXPECT_EQ(result.model->FindClass("Datatypes::int"), nullptr) << "the Datatypes folder holds types, not classes";
  EXPECT_EQ(Messages(result), "");
}

TEST(XmiUmbrello, TheModelDrawnInItsGui) {
  // Typed into its tree view: operations as "name(parameter : Type = default) :
  // Result", "close() : void" and constructors without a result; one
  // operation made static, one private in its properties dialog.
  const XmiResult result =
      ParseXmi(test::ReadAll(std::filesystem::path(ZT_TEST_DATA_DIR) / "umbrello" / "bank-gui.xmi"), "bank-gui.xmi",
               {});
  EXPECT_EQ(ListModel(*result.model),
            "Model UML Model\n"
            "  Category Logical View\n"
            "    Category Logical View::bank\n"
            "      Class Logical View::bank::Account language Java\n"
            "        Operation Logical View::bank::Account::Account(owner: String, balance: int)\n"
            "          Parameter Logical View::bank::Account::Account::owner: String\n"
            "          Parameter Logical View::bank::Account::Account::balance: int\n"
            "        Operation Logical View::bank::Account::deposit(amount: int)\n"
            "          Parameter Logical View::bank::Account::deposit::amount: int = 1\n"
            "        Operation Logical View::bank::Account::getBalance(): int\n"
            "        Operation Logical View::bank::Account::getOwner(): String\n"
            "        Operation Logical View::bank::Account::of(owner: String): Account static\n"
            "          Parameter Logical View::bank::Account::of::owner: String\n"
            "        Operation Logical View::bank::Account::audit() private\n"
            "        Operation Logical View::bank::Account::transfer(to: Account, amount: int): boolean\n"
            "          Parameter Logical View::bank::Account::transfer::to: Account\n"
            "          Parameter Logical View::bank::Account::transfer::amount: int\n"
            "        Operation Logical View::bank::Account::close()\n"
            "        Operation Logical View::bank::Account::last(): Entry\n"
            "      Category Logical View::bank::ledger\n"
            "        Class Logical View::bank::ledger::Entry language Java\n"
            "          Operation Logical View::bank::ledger::Entry::Entry(amount: int, note: String)\n"
            "            Parameter Logical View::bank::ledger::Entry::Entry::amount: int\n"
            "            Parameter Logical View::bank::ledger::Entry::Entry::note: String\n"
            "          Operation Logical View::bank::ledger::Entry::getAmount(): int\n"
            "          Operation Logical View::bank::ledger::Entry::getNote(): String\n");
  EXPECT_EQ(Messages(result), "");
}

}  // namespace
}  // namespace zt::wb
