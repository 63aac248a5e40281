#include "support/CommonFunctions.h"

#include <memory>

#include "host/Components.h"
#include "host/TesselModel.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "support/Text.h"

namespace zt {

namespace {

std::unique_ptr<FileSystemObject> g_fileSystem;
std::unique_ptr<ModelHelper> g_modelHelper;

std::string PackagePart(const TesselItem* element, const std::string& sep) {
  if (element == nullptr) return {};
  std::string name = element->GetQualifiedName();
  // Drop the element's own name (a nested class's "Outer.Inner" is one),
  // then the root package's name.
  const std::string scope = GetResString(IDS_SCOPE_SEPARATOR);
  const size_t own = name.rfind(scope);
  if (own == std::string::npos) return {};
  name.resize(own);
  const size_t first = name.find(scope);
  if (first == std::string::npos) return {};
  name.erase(0, first + scope.size());
  ReplaceAll(name, scope, sep);
  return name;
}

// `name` as a Java identifier. Letters, digits, "_" and "$" stay, and so do
// the bytes of non-ASCII characters, which Java takes as letters.
std::string JavaIdentifier(const std::string& name) {
  const std::string filler = GetResString(IDS_JAVA_NAME_FILLER);
  std::string id;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    const bool kept =
        u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    id += kept ? std::string(1, c) : filler;
  }
  if (id.empty() || (id[0] >= '0' && id[0] <= '9')) id = filler + id;
  // The keyword list starts and ends with a blank, so " name " finds whole words.
  if (GetResString(IDS_JAVA_KEYWORDS).find(GetResString(IDS_BLANK) + id + GetResString(IDS_BLANK)) !=
      std::string::npos) {
    id += filler;
  }
  return id;
}

void StripQuotes(std::string& path) { ReplaceAll(path, GetResString(IDS_QUOTE), {}); }

}  // namespace

std::string GetPackagePath(const TesselItem* element) {
  return PackagePart(element, GetResString(IDS_BACKSLASH));
}

std::string GetPackageName(const TesselItem* element) {
  return PackagePart(element, GetResString(IDS_DOT));
}

std::string GetJavaPackageName(const TesselItem* element) {
  // A package named "com.acme" is two parts, as GetPackageName has it.
  const std::string dot = GetResString(IDS_DOT);
  const std::string path = GetPackageName(element);
  if (path.empty()) return {};
  std::string name;
  for (size_t start = 0;;) {
    const size_t end = path.find(dot, start);
    if (start > 0) name += dot;
    name += JavaIdentifier(path.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return name;
    start = end + dot.size();
  }
}

namespace {

// Whether `name` is a nested class's name: Java identifiers joined by dots
// ("Outer.Inner"), as the XMI reader names a class inside a class.
bool IsNestedClassName(const std::string& name) {
  const std::string dot = GetResString(IDS_DOT);
  if (name.find(dot) == std::string::npos) return false;
  for (size_t start = 0;;) {
    const size_t end = name.find(dot, start);
    const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || JavaIdentifier(part) != part) return false;
    if (end == std::string::npos) return true;
    start = end + dot.size();
  }
}

}  // namespace

bool IsConstructor(TesselOperation* op) {
  TesselClass* cls = op != nullptr ? op->ParentClass() : nullptr;
  if (cls == nullptr) return false;
  const std::string name = cls->Name();
  if (!IsNestedClassName(name)) return op->Name() == name;
  return op->Name() == name.substr(name.rfind(GetResString(IDS_DOT)) + GetResString(IDS_DOT).size());
}

std::string JavaTestName(TesselOperation* op) {
  TesselOperation& operation = Ref(op);
  std::string name = Ref(operation.ParentClass()).Name();
  if (IsNestedClassName(name)) ReplaceAll(name, GetResString(IDS_DOT), {});
  return name + operation.Name();
}

TesselOperation* GetTestConstructor(TesselClass* cls) {
  if (cls == nullptr || cls->Operations() == nullptr) return nullptr;
  const std::string marker = GetResString(IDS_JAVA_PROP_TEST_CONSTRUCTOR);
  const std::string tool = GetResString(IDS_LANG_JAVA);
  const std::string yes = GetResString(IDS_JAVA_TRUE);
  TesselOperation* fewest = nullptr;
  for (TesselOperation* op : *cls->Operations()) {
    if (!IsConstructor(op) || op->Visibility() == OperationVisibility::kPrivate) continue;
    if (EqualsIgnoringCase(op->GetPropertyValue(tool, marker), yes)) return op;
    if (fewest == nullptr || Ref(op->Parameters()).Count() < Ref(fewest->Parameters()).Count()) fewest = op;
  }
  return fewest;
}

bool HasConstructor(TesselClass* cls) {
  if (cls == nullptr || cls->Operations() == nullptr) return false;
  for (TesselOperation* op : *cls->Operations()) {
    if (IsConstructor(op)) return true;
  }
  return false;
}

FileSystemObject& FileSystem() {
  if (!g_fileSystem) g_fileSystem = Components().CreateFileSystemObject();
  return *g_fileSystem;
}

void ResetFileSystem() { g_fileSystem.reset(); }

ModelHelper& SharedModelHelper() {
  if (!g_modelHelper) g_modelHelper = Components().CreateModelHelper();
  return *g_modelHelper;
}

void ResetModelHelper() { g_modelHelper.reset(); }

bool FileExists(std::string& path) {
  StripQuotes(path);
  return FileSystem().FileExists(path);
}

void DeleteFileIfExists(std::string& path) {
  StripQuotes(path);
  if (FileExists(path)) FileSystem().DeleteFile(path, false);
}

bool HasExtension(const std::string& path, const std::string& extension) {
  const size_t separator = path.find_last_of("\\/");
  const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  return path.size() - nameStart >= extension.size() &&
         path.compare(path.size() - extension.size(), extension.size(), extension) == 0;
}

std::string ReplaceExtension(const std::string& path, const std::string& from, const std::string& to) {
  if (!HasExtension(path, from)) return path;
  return path.substr(0, path.size() - from.size()) + to;
}

std::string GetBaseName(const std::string& path) { return FileSystemObject::GetBaseName(path); }

std::string GetExtensionName(const std::string& path) {
  return FileSystemObject::GetExtensionName(path);
}

}  // namespace zt
