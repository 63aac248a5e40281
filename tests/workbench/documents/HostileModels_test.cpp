// Hostile model files through the real readers (ParseModelFile, as every
// command loads a model): truncated, binary, deeply nested, huge, with NUL
// or path characters in names, and with more classes of one name than a
// model holds (the rest of the catalogue of malformed documents is the model
// document's own test). A refused file gives exactly one error, on one line,
// at a position in the file, saying what is wrong; an accepted one gives the
// model it describes. Nothing crashes or hangs.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/documents/ModelFile.h"
#include "workbench/model/Model.h"

namespace zt::wb {
namespace {

constexpr const char* kXmiHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xmi:XMI xmi:version=\"20131001\" xmlns:xmi=\"http://www.omg.org/XMI/20131001\" "
    "xmlns:uml=\"http://www.eclipse.org/uml2/5.0.0/UML\">\n"
    "<uml:Model xmi:id=\"_m\" name=\"M\">\n";
constexpr const char* kXmiTail = "</uml:Model>\n</xmi:XMI>\n";

std::string Xmi(const std::string& body) { return kXmiHead + body + kXmiTail; }

std::string Repeat(const std::string& text, int times) {
  std::string out;
  out.reserve(text.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// `count` bytes of a fixed pseudo-random series.
std::string Noise(size_t count) {
  std::mt19937 random(20240611);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// `count` classes of one name in the root package of an XMI file.
std::string XmiClasses(int count) {
  std::string body;
  for (int i = 1; i <= count; ++i) {
    body += "<packagedElement xmi:type=\"uml:Class\" xmi:id=\"c" + std::to_string(i) + "\" name=\"C\"/>\n";
  }
  return Xmi(body);
}

// A file that must be refused, and what its one error says.
struct Refused {
  const char* name;
  std::function<std::string()> text;
  const char* file;
  const char* says;
  // False for a fault of the whole file, which has no line and column.
  bool positioned = true;
};

std::ostream& operator<<(std::ostream& out, const Refused& c) { return out << c.name; }

class HostileModelRefused : public ::testing::TestWithParam<Refused> {};

TEST_P(HostileModelRefused, GivesOneErrorOnOneLineAtItsPosition) {
  const Refused& c = GetParam();
  int errors = 0;
  int warnings = 0;
  ModelFileOptions options;
  options.warn = [&](const LoadWarning&) { ++warnings; };
  try {
    ParseModelFile(c.text(), c.file, options);
  } catch (const DocumentError& e) {
    ++errors;
    const std::string what = e.what();
    EXPECT_EQ(what.find('\n'), std::string::npos) << what;
    EXPECT_EQ(e.File(), c.file);
    EXPECT_EQ(e.Line() > 0 && e.Column() > 0, c.positioned) << what;
    EXPECT_NE(e.Message().find(c.says), std::string::npos) << what;
  }
  EXPECT_EQ(errors, 1) << "the file was taken";
  EXPECT_EQ(warnings, 0) << "a refused file warns of nothing";
}

const std::string kBank = R"({"model": "Bank", "packages": [{"name": "bank", "classes": [
  {"name": "Account", "stereotype": "EJBRemoteInterface", "language": "Java",
   "operations": [{"name": "deposit", "returnType": "void", "parameters": [{"name": "amount", "type": "double"}]}]}]}]}
)";

INSTANTIATE_TEST_SUITE_P(
    Catalogue, HostileModelRefused,
    ::testing::Values(
        // JSON model documents
        Refused{"JsonTruncatedInAString", [] { return kBank.substr(0, kBank.find("Account") + 3); }, "m.json",
                "this string is not closed"},
        Refused{"JsonTruncatedBetweenMembers", [] { return kBank.substr(0, kBank.rfind(']')); }, "m.json",
                "expected ',' or ']', found the end of the document"},
        Refused{"JsonBinaryFromTheStart", [] { return "\xF8" + Noise(4096); }, "m.json",
                "neither a JSON model document"},
        Refused{"JsonBinaryAfterTheBrace", [] { return "{\"model\": \"" + Noise(4096); }, "m.json", "UTF-8"},
        Refused{"JsonNestedDeeply", [] { return "{\"classes\": " + std::string(100000, '[') + "\n"; }, "m.json",
                "nested more than 200 levels deep"},
        Refused{"JsonOperationsIsAnObject",
                [] { return std::string(R"({"classes": [{"name": "A", "operations": {"name": "x"}}]})"); }, "m.json",
                "expected an array for \"operations\", found an object"},
        Refused{"JsonNulEscapeInAClassName", [] { return std::string(R"({"classes": [{"name": "Acc\u0000ount"}]})"); },
                "m.json", "the NUL character"},
        Refused{"JsonNulByteInAPackageName", [] { return std::string("{\"packages\": [{\"name\": \"ba\0nk\"}]}", 33); },
                "m.json", "U+0000 is not allowed"},
        Refused{"JsonInUtf16", [] { return std::string("\xFF\xFE{\0}\0", 6); }, "m.json", "UTF-16", false},
        // XMI files
        Refused{"XmiTruncated",
                [] {
                  const std::string x = Xmi("<packagedElement xmi:type=\"uml:Class\" xmi:id=\"a\" name=\"A\"/>");
                  return x.substr(0, x.size() - 30);
                },
                "m.uml", "malformed XML"},
        Refused{"XmiBinaryAfterTheDeclaration", [] { return "<?xml version=\"1.0\"?>\n<" + Noise(4096); }, "m.uml",
                "invalid UTF-8"},
        Refused{"XmiNestedDeeply",
                [] {
                  return Xmi(Repeat("<packagedElement xmi:type=\"uml:Package\" name=\"p\">", 100000) +
                             Repeat("</packagedElement>", 100000));
                },
                "m.uml", "nested more than 90 levels deep"},
        Refused{"XmiNulReferenceInAClassName",
                [] { return Xmi("<packagedElement xmi:type=\"uml:Class\" xmi:id=\"a\" name=\"Acc&#0;ount\"/>"); },
                "m.uml", "NUL"},
        Refused{"XmiHexNulReferenceInAPackageName",
                [] { return Xmi("<packagedElement xmi:type=\"uml:Package\" xmi:id=\"p\" name=\"ba&#x0000;nk\"/>"); },
                "m.uml", "NUL"},
        Refused{"XmiNulByteInAName",
                [] { return Xmi(std::string("<packagedElement xmi:type=\"uml:Class\" name=\"a\0b\"/>", 49)); }, "m.uml",
                "malformed XML"},
        // Renaming the k-th duplicate once tried k names in a list of k:
        // this file took hours.
        Refused{"Xmi32768ClassesOfOneName", [] { return XmiClasses(32768); }, "m.uml",
                "cannot hold more than 32767 classes"}),
    test::CaseName());

TEST(HostileModelAccepted, HugeStringsAreKeptWhole) {
  const std::string name(16 * 1024 * 1024, 'x');
  const std::unique_ptr<Model> model =
      ParseModelFile("{\"classes\": [{\"name\": \"" + name + "\", \"operations\": [{\"name\": \"run\"}]}]}", "m.json", {});
  ASSERT_EQ(model->ClassCount(), 1);
  EXPECT_EQ(model->Root().ClassList().front()->Name(), name);
}

TEST(HostileModelAccepted, PathCharactersInNamesAreNamesHere) {
  // The store refuses what such names would make of a test's path; the
  // model keeps them as they are written.
  const std::vector<std::string> names = {"..", "../../outside", "..\\..\\outside", "/etc", "a/b", "a\\b", "C:"};
  std::string json = "{\"packages\": [";
  for (size_t i = 0; i < names.size(); ++i) {
    std::string escaped;
    for (const char c : names[i]) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    json += (i > 0 ? "," : "") + ("{\"name\": \"" + escaped + "\", \"classes\": [{\"name\": \"" + escaped + "\"}]}");
  }
  json += "]}";
  const std::unique_ptr<Model> model = ParseModelFile(json, "m.json", {});
  std::vector<std::string> read;
  for (const Package* p : model->Root().PackageList()) {
    ASSERT_EQ(p->ClassList().size(), 1u);
    EXPECT_EQ(p->ClassList().front()->Name(), p->Name());
    read.push_back(p->Name());
  }
  EXPECT_EQ(read, names);
}

TEST(HostileModelAccepted, TheMostClassesOfOneNameAreRenamedEachWithAWarning) {
  int warnings = 0;
  ModelFileOptions options;
  options.warn = [&](const LoadWarning&) { ++warnings; };
  const std::unique_ptr<Model> model = ParseModelFile(XmiClasses(32767), "m.uml", options);
  ASSERT_EQ(model->ClassCount(), 32767);
  EXPECT_EQ(warnings, 32766);
  EXPECT_EQ(model->Root().ClassList()[0]->Name(), "C");
  EXPECT_EQ(model->Root().ClassList()[1]->Name(), "C_2");
  EXPECT_EQ(model->Root().ClassList().back()->Name(), "C_32767");
}

}  // namespace
}  // namespace zt::wb
