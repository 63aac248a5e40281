// Path splitting of the file-system object. Both "\" and "/" separate; a
// trailing separator is ignored, as the platform's object ignores it.
#include "host/FileSystem.h"

namespace zt {

namespace {

std::string TrimTrailingSeparators(const std::string& path) {
  size_t end = path.size();
  while (end > 1 && (path[end - 1] == '\\' || path[end - 1] == '/')) --end;
  return path.substr(0, end);
}

}  // namespace

std::string FileSystemObject::GetFileName(const std::string& path) {
  const std::string p = TrimTrailingSeparators(path);
  const size_t sep = p.find_last_of("\\/");
  return sep == std::string::npos ? p : p.substr(sep + 1);
}

std::string FileSystemObject::GetParentFolderName(const std::string& path) {
  const std::string p = TrimTrailingSeparators(path);
  const size_t sep = p.find_last_of("\\/");
  if (sep == std::string::npos) return {};
  if (sep == 0) return p.substr(0, 1);  // the root folder
  return TrimTrailingSeparators(p.substr(0, sep));
}

std::string FileSystemObject::GetBaseName(const std::string& path) {
  const std::string name = GetFileName(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FileSystemObject::GetExtensionName(const std::string& path) {
  const std::string name = GetFileName(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace zt
