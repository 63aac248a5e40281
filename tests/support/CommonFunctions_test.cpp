#include "support/CommonFunctions.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "fakes/FakeHost.h"
#include "fakes/MemoryFileSystem.h"

namespace zt {
namespace {

TEST(PackageNames, RootAndOwnNameAreDropped) {
  const test::NamedItem calc("Logical View::com::acme::Calc");
  EXPECT_EQ(GetPackagePath(&calc), "com\\acme");
  EXPECT_EQ(GetPackageName(&calc), "com.acme");

  const test::NamedItem top("Logical View::Calc");
  EXPECT_EQ(GetPackagePath(&top), "");
  EXPECT_EQ(GetPackageName(&top), "");

  const test::NamedItem bare("Calc");
  EXPECT_EQ(GetPackagePath(&bare), "");
  EXPECT_EQ(GetPackagePath(nullptr), "");
}

TEST(PackageNames, DottedPackageNameStaysOnePart) {
  const test::NamedItem calc("Logical View::com.acme::Calc");
  EXPECT_EQ(GetPackagePath(&calc), "com.acme");
  // Dots are the separator here, so the dotted name splits into two parts.
  EXPECT_EQ(GetPackageName(&calc), "com.acme");
}

TEST(PackageNames, JavaPackageNamesAreIdentifiers) {
  const std::pair<const char*, const char*> cases[] = {
      {"Logical View::bank::core::Account", "bank.core"},
      {"Logical View::Calc", ""},
      {"EA_Model::Starter Class Diagram::Car", "Starter_Class_Diagram"},
      {"M::com.acme::Calc", "com.acme"},
      {"M::2d::int::new-ui::$x_1::C", "_2d.int_.new_ui.$x_1"},
      {"M::gr\xC3\xBC\xC3\x9F"
       "e::a..b::C",
       "gr\xC3\xBC\xC3\x9F"
       "e.a.__.b"},  // "_" is a keyword
  };
  for (const auto& [qualified, expected] : cases) {
    const test::NamedItem item(qualified);
    EXPECT_EQ(GetJavaPackageName(&item), expected) << qualified;
  }
}

class FileHelpers : public ::testing::Test {
 protected:
  void SetUp() override { test::UseMemoryFileSystem(files_); }
  void TearDown() override { test::UseNoComponents(); }
  test::MemoryFiles files_;
};

TEST_F(FileHelpers, QuotesAreStrippedInTheCallersVariable) {
  files_.Put("C:\\tools\\rc.exe", "");
  std::string path = "\"C:\\tools\\rc.exe\"";
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(path, "C:\\tools\\rc.exe");

  std::string missing = "\"C:\\none.exe\"";
  EXPECT_FALSE(FileExists(missing));
  EXPECT_EQ(missing, "C:\\none.exe");
}

TEST_F(FileHelpers, DeleteIfExists) {
  files_.Put("out\\a.res", "x");
  std::string path = "\"out\\a.res\"";
  DeleteFileIfExists(path);
  EXPECT_EQ(path, "out\\a.res");
  EXPECT_FALSE(files_.Has("out\\a.res"));

  std::string missing = "out\\b.res";
  EXPECT_NO_THROW(DeleteFileIfExists(missing));
}

TEST_F(FileHelpers, ReadOnlyFilesAreNotForced) {
  files_.Put("out\\a.res", "x");
  files_.SetReadOnly("out\\a.res");
  std::string path = "out\\a.res";
  EXPECT_THROW(DeleteFileIfExists(path), ZtError);
  EXPECT_TRUE(files_.Has("out\\a.res"));
}

TEST(PathSplitting, BothSeparatorsAndExtensions) {
  EXPECT_EQ(GetBaseName("C:\\a\\b.tar.gz"), "b.tar");
  EXPECT_EQ(GetExtensionName("C:\\a\\b.tar.gz"), "gz");
  EXPECT_EQ(GetBaseName("/x/y/calc.dll"), "calc");
  EXPECT_EQ(GetExtensionName("noext"), "");
  EXPECT_EQ(FileSystemObject::GetFileName("unittests\\Maths\\Calc\\ICalcAdd.vbp"), "ICalcAdd.vbp");
  EXPECT_EQ(FileSystemObject::GetParentFolderName("unittests\\Maths\\Calc\\ICalcAdd.vbp"), "unittests\\Maths\\Calc");
  EXPECT_EQ(FileSystemObject::GetParentFolderName("unittests\\\\Accountdeposit.java"), "unittests");
  EXPECT_EQ(FileSystemObject::GetParentFolderName("a.vbp"), "");
  EXPECT_EQ(FileSystemObject::GetFileName("dir/sub/"), "sub");
}

}  // namespace
}  // namespace zt
