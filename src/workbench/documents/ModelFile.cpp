// Reading model files of either format.
#include "workbench/documents/ModelFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "workbench/documents/ModelDocument.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

/// Line and column (1-based, columns in characters) of `offset` in `text`.
std::pair<int, int> PositionOf(std::string_view text, size_t offset) {
  int line = 1;
  int column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return {line, column};
}

/// The first character at `offset`, as an error shows it.
std::string Shown(std::string_view text, size_t offset) {
  static const char kHex[] = "0123456789ABCDEF";
  const auto c = static_cast<unsigned char>(text[offset]);
  if (c < 0x20 || c == 0x7F) return Text(WB_JSON_CHAR_CODE, {std::string{'0', '0', kHex[c >> 4], kHex[c & 0xF]}});
  if (c < 0x80) return Text(WB_JSON_CHAR_QUOTED, {std::string(1, static_cast<char>(c))});
  size_t length = 1;
  while (offset + length < text.size() && length < 4 &&
         (static_cast<unsigned char>(text[offset + length]) & 0xC0) == 0x80) {
    ++length;
  }
  const std::string character(text.substr(offset, length));
  if (json::IsValidUtf8(character)) return Text(WB_JSON_CHAR_QUOTED, {character});
  return Text(WB_JSON_CHAR_BYTE, {std::string{kHex[c >> 4], kHex[c & 0xF]}});
}

/// The first 64 KiB of the file at `path`, or nullopt when that is all of
/// it or it cannot be read.
std::optional<std::string> ReadHead(const std::string& path) {
  constexpr size_t kHead = 65536;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  std::string head(kHead + 1, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  if (head.size() <= kHead) return std::nullopt;
  head.resize(kHead);
  return head;
}

/// Gives the classes without a language the one of the options.
void SetMissingLanguage(Model& model, const ModelFileOptions& options) {
  if (options.language.empty()) return;
  model.Walk([&](Element& element, int) {
    auto* c = dynamic_cast<Class*>(&element);
    if (c != nullptr && c->Language().empty()) c->SetLanguage(options.language);
  });
}

std::string ReadFile(const std::string& path) {
  const auto cannotRead = [&](int error) {
    return DocumentError(path, 0, 0, Text(WB_DOC_CANNOT_READ, {std::strerror(error)}));
  };
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw cannotRead(EISDIR);
  errno = 0;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw cannotRead(errno);
  std::string bytes;
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
  if (std::ferror(file.get())) throw cannotRead(errno != 0 ? errno : EIO);
  return bytes;
}

}  // namespace

ModelFileFormat SniffModelFile(std::string_view bytes, const std::string& fileName) {
  size_t at = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  if (bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 2) == "\xFF\xFE" ||
      (bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0'))) {
    throw DocumentError(fileName, 0, 0, Text(WB_FILE_WIDE_ENCODING));
  }
  while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n')) ++at;
  if (at == bytes.size()) throw DocumentError(fileName, 0, 0, Text(WB_FILE_EMPTY));
  if (bytes[at] == '{') return ModelFileFormat::kJson;
  if (bytes[at] == '<') return ModelFileFormat::kXmi;
  const auto [line, column] = PositionOf(bytes, at);
  throw DocumentError(fileName, line, column, Text(WB_FILE_UNKNOWN_FORMAT, {Shown(bytes, at)}));
}

std::unique_ptr<Model> ParseModelFile(std::string_view bytes, const std::string& fileName,
                                      const ModelFileOptions& options) {
  if (SniffModelFile(bytes, fileName) == ModelFileFormat::kXmi) {
    XmiResult result = ParseXmi(bytes, fileName, XmiOptions{options.language});
    if (options.warn) {
      for (const LoadWarning& warning : result.warnings) options.warn(warning);
    }
    return std::move(result.model);
  }
  std::unique_ptr<Model> model = ParseModelDocument(bytes, fileName);
  SetMissingLanguage(*model, options);
  return model;
}

std::unique_ptr<Model> LoadModelFile(const std::string& path, const ModelFileOptions& options) {
  // A JSON document larger than its head is read piece by piece, so that
  // its text is never held whole; any other file is read as a whole.
  if (const std::optional<std::string> head = ReadHead(path)) {
    bool json = false;
    try {
      json = SniffModelFile(*head, path) == ModelFileFormat::kJson;
    } catch (const DocumentError&) {
      // Told by the whole file's sniffing below.
    }
    if (json) {
      std::unique_ptr<Model> model = StreamModelDocument(path, path);
      SetMissingLanguage(*model, options);
      return model;
    }
  }
  return ParseModelFile(ReadFile(path), path, options);
}

}  // namespace zt::wb
