// One value changed in a model document, the rest kept (see DocumentEdit.h).
#include "workbench/documents/DocumentEdit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <vector>

#include "support/Error.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// Byte offsets of a document's text from the reader's line and column.
class Offsets {
 public:
  explicit Offsets(std::string_view text) : text_(text) {
    // The reader skips a byte-order mark: line 1 starts after it.
    lineStarts_.push_back(text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') lineStarts_.push_back(i + 1);
    }
  }

  size_t Of(json::Position position) const {
    size_t offset = lineStarts_.at(static_cast<size_t>(position.line - 1));
    // Columns count characters: a UTF-8 lead byte and its continuation bytes.
    for (int column = 1; column < position.column; ++column) {
      ++offset;
      while (offset < text_.size() && (static_cast<unsigned char>(text_[offset]) & 0xC0) == 0x80) ++offset;
    }
    return offset;
  }

  // The whitespace that starts the line holding `offset`.
  std::string Indent(size_t offset) const {
    size_t start = text_.rfind('\n', offset == 0 ? 0 : offset - 1);
    start = start == std::string_view::npos ? 0 : start + 1;
    size_t end = start;
    while (end < offset && (text_[end] == ' ' || text_[end] == '\t')) ++end;
    return std::string(text_.substr(start, end - start));
  }

  bool SameLine(size_t a, size_t b) const {
    return text_.substr(std::min(a, b), (a > b ? a - b : b - a)).find('\n') == std::string_view::npos;
  }

 private:
  std::string_view text_;
  std::vector<size_t> lineStarts_;
};

// The offset just past the value that starts at `start`. The text is JSON
// the reader accepted, so only strings and nesting need care.
size_t ValueEnd(std::string_view text, size_t start) {
  int depth = 0;
  for (size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
      if (depth == 0) return i + 1;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      if (--depth == 0) return i + 1;
    } else if (depth == 0 && (c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      return i;
    }
  }
  return text.size();
}

[[noreturn]] void NotFound(const std::string& fileName, const Element& element) {
  RaiseError(errc::kInvalidCall, {}, Text(WB_EDIT_NOT_FOUND, {fileName, element.GetQualifiedName()}));
}

// Where `element` sits in its owner: the document's list and its index.
struct Place {
  const char* list;
  size_t index = 0;
};

template <class Range, class T>
std::optional<size_t> IndexIn(const Range& range, const T* wanted) {
  size_t index = 0;
  for (const T* item : range) {
    if (item == wanted) return index;
    ++index;
  }
  return std::nullopt;
}

std::optional<Place> PlaceOf(const Element& element) {
  std::optional<size_t> index;
  const char* list = nullptr;
  if (const auto* package = dynamic_cast<const Package*>(&element); package != nullptr && package->Parent()) {
    list = "packages";
    index = IndexIn(package->Parent()->PackageList(), package);
  } else if (const auto* cls = dynamic_cast<const Class*>(&element)) {
    list = "classes";
    index = IndexIn(cls->Parent().ClassList(), cls);
  } else if (const auto* operation = dynamic_cast<const Operation*>(&element)) {
    list = "operations";
    index = IndexIn(operation->Parent().OperationList(), operation);
  } else if (const auto* attribute = dynamic_cast<const Attribute*>(&element)) {
    list = "attributes";
    index = IndexIn(dynamic_cast<const Class&>(*attribute->Owner()).AttributeList(), attribute);
  } else if (const auto* parameter = dynamic_cast<const Parameter*>(&element)) {
    list = "parameters";
    index = IndexIn(dynamic_cast<const Operation&>(*parameter->Owner()).ParameterList(), parameter);
  }
  if (list == nullptr || !index) return std::nullopt;
  return Place{list, *index};
}

// The object of `element` in the document whose top object is `top`.
const json::Value* Locate(const json::Value& top, const Element& element) {
  if (dynamic_cast<const Model*>(&element) != nullptr) return &top;
  // The root package is the document itself: its packages and classes are
  // the top-level ones.
  const auto* package = dynamic_cast<const Package*>(&element);
  if (package != nullptr && package->Parent() == nullptr) return &top;
  const std::optional<Place> place = PlaceOf(element);
  if (!place || element.Owner() == nullptr) return nullptr;
  const json::Value* owner = Locate(top, *element.Owner());
  if (owner == nullptr || owner->type != json::Type::kObject) return nullptr;
  const json::Value* list = owner->Find(place->list);
  if (list == nullptr || list->type != json::Type::kArray || place->index >= list->items.size()) return nullptr;
  const json::Value& found = list->items[place->index];
  if (found.type != json::Type::kObject) return nullptr;
  const json::Value* name = found.Find("name");
  const std::string shownName = name != nullptr ? name->text : std::string();
  if (shownName != element.Name()) return nullptr;
  return &found;
}

// `member` ("KEY": VALUE, as text) added as the last member of `object`.
void AddMember(std::string& out, std::string_view text, const Offsets& offsets, const json::Value& object,
               const std::string& member, const std::string& lineEnd) {
  const size_t open = offsets.Of(object.position);
  if (object.items.empty()) {
    out.insert(open + 1, member);
    return;
  }
  const size_t lastKey = offsets.Of(object.keyPositions.back());
  const size_t lastEnd = ValueEnd(text, offsets.Of(object.items.back().position));
  // Members on lines of their own get one more such line.
  const std::string separator = offsets.SameLine(open, lastKey) ? " " : lineEnd + offsets.Indent(lastKey);
  out.insert(lastEnd, "," + separator + member);
}

// Writes `text` over the open file `fd` from its start and cuts it there; false with errno set.
bool WriteAll(int fd, const std::string& text) {
  for (size_t written = 0; written < text.size();) {
    const ssize_t n = ::pwrite(fd, text.data() + written, text.size() - written, static_cast<off_t>(written));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    written += static_cast<size_t>(n);
  }
  return ::ftruncate(fd, static_cast<off_t>(text.size())) == 0 && ::fsync(fd) == 0;
}

// Replaces the text `before` of the open document `fd` (at `path`) by
// `after` in the file itself. A longer text gets its room first, so that a
// full disk refuses it before anything is written; while the document is
// rewritten a copy of `after` lies beside it where the folder takes one
// (what a crash would leave), and a write that fails puts `before` back.
void RewriteInPlace(int fd, const std::string& path, const std::string& before, const std::string& after) {
  std::error_code ec;
  const std::string real = std::filesystem::canonical(path, ec).string();
  std::string copy;
  try {
    copy = WriteTemporaryBeside(ec ? path : real, after, true);
  } catch (const ZtError&) {
    // A folder that may not be written (or is full) gets no copy; the
    // document is still written whole or put back.
  }
  int error = 0;
  if (after.size() > before.size()) {
    error = ::posix_fallocate(fd, 0, static_cast<off_t>(after.size()));
    if (error == EOPNOTSUPP || error == EINVAL) error = 0;  // a file system that cannot: the write finds out
  }
  if (error == 0 && !WriteAll(fd, after)) {
    error = errno;
    WriteAll(fd, before);
  }
  if (error != 0) ::ftruncate(fd, static_cast<off_t>(before.size()));
  if (!copy.empty()) ::unlink(copy.c_str());
  if (error != 0) RaiseFileError(error, path);
}

}  // namespace

std::string SetToolPropertyInText(std::string_view text, const std::string& fileName, const Element& element,
                                  const std::string& tool, const std::string& name, const std::string& value) {
  json::Value top;
  try {
    top = json::Parse(text);
  } catch (const json::ParseError& e) {
    RaiseError(errc::kInvalidCall, {},
               Text(WB_EDIT_NOT_JSON,
                    {fileName, std::to_string(e.Where().line), std::to_string(e.Where().column), e.Message()}));
  }
  if (top.type != json::Type::kObject) NotFound(fileName, element);
  const json::Value* object = Locate(top, element);
  if (object == nullptr) NotFound(fileName, element);

  const Offsets offsets(text);
  const std::string lineEnd = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  const std::string quoted = json::Quote(value);
  std::string out(text);
  const json::Value* properties = object->Find("properties");
  const json::Value* toolObject = properties != nullptr ? properties->Find(tool) : nullptr;
  const json::Value* current = toolObject != nullptr ? toolObject->Find(name) : nullptr;
  if ((properties != nullptr && properties->type != json::Type::kObject) ||
      (toolObject != nullptr && toolObject->type != json::Type::kObject)) {
    NotFound(fileName, element);
  }
  if (current != nullptr) {
    const size_t start = offsets.Of(current->position);
    out.replace(start, ValueEnd(text, start) - start, quoted);
  } else if (toolObject != nullptr) {
    AddMember(out, text, offsets, *toolObject, json::Quote(name) + ": " + quoted, lineEnd);
  } else if (properties != nullptr) {
    AddMember(out, text, offsets, *properties, json::Quote(tool) + ": { " + json::Quote(name) + ": " + quoted + " }",
              lineEnd);
  } else {
    AddMember(out, text, offsets, *object,
              "\"properties\": { " + json::Quote(tool) + ": { " + json::Quote(name) + ": " + quoted + " } }", lineEnd);
  }
  return out;
}

void SetToolPropertyInDocument(const std::string& path, const Element& element, const std::string& tool,
                               const std::string& name, const std::string& value) {
  // The document itself is changed, through a symbolic link to where it
  // is: its inode, its other hard links, its owner, group and mode stay.
  const UniqueFd file(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!file) {
    if (errno == EACCES || errno == EROFS) RaiseFileError(errno, path);
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_EDIT_CANNOT_READ, {path}));
  }
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0) RaiseFileError(errno, path);
  if (!S_ISREG(st.st_mode)) RaiseError(errc::kPathFileAccessError, {}, Text(WB_EDIT_CANNOT_READ, {path}));
  // Root may write any file; a document that no one may write is meant to
  // stay as it is all the same.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) RaiseFileError(EACCES, path);
  const std::optional<std::string> read = ReadOpenFile(file.Get());
  if (!read) RaiseFileError(errno, path);
  const std::string& before = *read;
  const std::string after = SetToolPropertyInText(before, path, element, tool, name, value);
  RewriteInPlace(file.Get(), path, before, after);
}

}  // namespace zt::wb
