// Store locations and the store of each kind (see StoreLocation.h).
#include "workbench/store/StoreLocation.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "support/Error.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/postgres/PgLibrary.h"
#include "workbench/store/postgres/PgStore.h"
#include "workbench/store/project/ProjectStore.h"
#include "workbench/store/sqlite/SqliteStore.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kScriptsKey = "scripts";
constexpr const char* kProjectScheme = "project:";

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool IsUri(const std::string& location) {
  return StartsWith(location, "postgresql://") || StartsWith(location, "postgres://");
}

// The length of a URI scheme and its ":" at the start of `text`; 0 for none.
size_t SchemeLength(const std::string& text) {
  if (text.empty() || std::isalpha(static_cast<unsigned char>(text[0])) == 0) return 0;
  size_t i = 1;
  while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) != 0 || text[i] == '+' ||
                             text[i] == '-' || text[i] == '.')) {
    ++i;
  }
  return i < text.size() && text[i] == ':' ? i + 1 : 0;
}

// Whether `text` starts as libpq's keyword form does: a word of letters,
// digits and "_", then "=" (blanks around it allowed).
bool LooksLikeKeywords(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) != 0 || text[i] == '_')) ++i;
  if (i == 0) return false;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i < text.size() && text[i] == '=';
}

enum class Form { kFolder, kUri, kKeywords };

// The form `location` is written in, and for one that looks like a
// database's and is none (which is never taken for a folder) the reason, as
// the text of WB_PG_BAD_LOCATION's second part.
struct FormFound {
  Form form = Form::kFolder;
  std::string refusal;
};

FormFound FormOf(const std::string& location) {
  if (IsUri(location)) return {Form::kUri, {}};
  size_t start = 0;
  while (start < location.size() && IsBlank(location[start])) ++start;
  const std::string text = location.substr(start);
  if (LooksLikeKeywords(text)) return {Form::kKeywords, {}};
  if (start > 0) return {Form::kFolder, Text(WB_PG_LEADING_BLANK)};
  const size_t scheme = SchemeLength(text);
  std::string lower = text.substr(0, scheme);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme > 0 && (StartsWith(lower, "postgres") || text.compare(scheme, 2, "//") == 0)) {
    return {Form::kFolder, Text(WB_PG_BAD_SCHEME, {text.substr(0, scheme)})};
  }
  return {Form::kFolder, {}};
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSecret(std::string keyword) {
  for (char& c : keyword) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return keyword.find("password") != std::string::npos;
}

// `location` as messages show it: what follows a password's keyword, and the
// password of a URI's user, replaced by "***".
std::string Shown(const std::string& location) {
  std::string shown = location;
  // Any URL's user, mistyped schemes included.
  const size_t blanks = std::min(shown.find_first_not_of(" \t\n\r\f\v"), shown.size());
  const size_t scheme = SchemeLength(shown.substr(blanks));
  if (scheme > 0 && shown.compare(blanks + scheme, 2, "//") == 0) {
    const size_t authority = blanks + scheme + 2;
    const size_t end = std::min(shown.find_first_of("/?#", authority), shown.size());
    const size_t at = shown.rfind('@', end);
    const size_t colon = shown.find(':', authority);
    if (at != std::string::npos && at >= authority && colon < at) shown.replace(colon + 1, at - colon - 1, "***");
  }
  // Keyword settings and URI parameters alike, whether or not they parse.
  std::string lower = shown;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (size_t at = lower.find("password"); at != std::string::npos; at = lower.find("password", at + 1)) {
    size_t i = at + 8;
    while (i < shown.size() && IsBlank(shown[i])) ++i;
    if (i >= shown.size() || shown[i] != '=') continue;
    ++i;
    while (i < shown.size() && IsBlank(shown[i])) ++i;
    size_t end = i;
    if (end < shown.size() && shown[end] == '\'') {
      for (++end; end < shown.size() && shown[end] != '\''; ++end) {
        if (shown[end] == '\\') ++end;
      }
      end = std::min(end + 1, shown.size());
    } else {
      while (end < shown.size() && !IsBlank(shown[end]) && shown[end] != '&' && shown[end] != '#') ++end;
    }
    shown.replace(i, end - i, "***");
    lower.replace(i, end - i, "***");
  }
  return shown;
}

[[noreturn]] void RaiseBadLocation(const std::string& location, const std::string& reason) {
  RaiseError(errc::kInvalidCall, {}, Text(WB_PG_BAD_LOCATION, {Shown(location), reason}));
}

// `text` of the location `location` percent-decoded as libpq decodes a URI's
// parts; refuses a "%" without two hex digits and "%00", which would end the
// text unseen.
std::string PercentDecoded(const std::string& text, const std::string& location) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const bool hex = i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0;
    if (!hex || HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]) == 0) {
      RaiseBadLocation(location, Text(WB_PG_BAD_PERCENT, {text.substr(i, 3)}));
    }
    out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
    i += 2;
  }
  return out;
}

// Takes "scripts=..." out of the query of the URI `uri` into `scripts`.
std::string WithoutScriptsInUri(const std::string& uri, std::optional<std::string>& scripts) {
  const size_t question = uri.find('?');
  if (question == std::string::npos) return uri;
  std::string kept;
  size_t start = question + 1;
  while (start <= uri.size()) {
    size_t end = uri.find('&', start);
    if (end == std::string::npos) end = uri.size();
    const std::string parameter = uri.substr(start, end - start);
    if (StartsWith(parameter, std::string(kScriptsKey) + "=")) {
      scripts = PercentDecoded(parameter.substr(std::string(kScriptsKey).size() + 1), uri);
    } else if (!parameter.empty()) {
      kept += (kept.empty() ? "" : "&") + parameter;
    }
    start = end + 1;
  }
  return uri.substr(0, question) + (kept.empty() ? "" : "?" + kept);
}

// One keyword and its value of libpq's keyword form, and where it stands.
struct Setting {
  std::string keyword;
  std::string value;
  size_t start = 0;
  size_t end = 0;
};

// `conninfo` cut into its settings as libpq's own reader cuts it: a keyword
// up to "=" or a blank, blanks, "=", blanks, then a value bare up to the
// next blank or in single quotes, "\" escaping the next character in both.
// Refuses a keyword without "=" and an unclosed quote, as libpq does.
std::vector<Setting> CutSettings(const std::string& conninfo) {
  std::vector<Setting> settings;
  size_t i = 0;
  const size_t n = conninfo.size();
  while (i < n) {
    while (i < n && IsBlank(conninfo[i])) ++i;
    if (i >= n) break;
    Setting setting;
    setting.start = i;
    while (i < n && conninfo[i] != '=' && !IsBlank(conninfo[i])) setting.keyword += conninfo[i++];
    while (i < n && IsBlank(conninfo[i])) ++i;
    if (i >= n || conninfo[i] != '=') RaiseBadLocation(conninfo, Text(WB_PG_NO_EQUALS, {setting.keyword}));
    ++i;
    while (i < n && IsBlank(conninfo[i])) ++i;
    if (i < n && conninfo[i] == '\'') {
      bool closed = false;
      for (++i; i < n && !closed; ++i) {
        if (conninfo[i] == '\\' && i + 1 < n) {
          setting.value += conninfo[++i];
        } else if (conninfo[i] == '\'') {
          closed = true;
        } else {
          setting.value += conninfo[i];
        }
      }
      if (!closed) RaiseBadLocation(conninfo, Text(WB_PG_UNCLOSED_QUOTE, {setting.keyword}));
    } else {
      while (i < n && !IsBlank(conninfo[i])) {
        if (conninfo[i] == '\\' && i + 1 < n) ++i;
        setting.value += conninfo[i++];
      }
    }
    setting.end = i;
    settings.push_back(std::move(setting));
  }
  return settings;
}

}  // namespace

StoreLocation ParseStoreLocation(const std::string& location) {
  StoreLocation parsed;
  if (StartsWith(location, kProjectScheme)) {
    const std::string root = location.substr(std::string(kProjectScheme).size());
    if (root.empty()) RaiseBadLocation(location, Text(WB_PROJECT_NO_FOLDER));
    std::error_code ec;
    fs::path absolute = fs::absolute(root, ec).lexically_normal();
    if (ec) RaiseBadLocation(location, ec.message());
    if (absolute.filename().empty() && absolute.has_relative_path()) absolute = absolute.parent_path();
    parsed.kind = StoreLocation::Kind::kProject;
    parsed.folder = absolute.string();
    parsed.text = kProjectScheme + parsed.folder;
    return parsed;
  }
  const auto [form, refusal] = FormOf(location);
  if (!refusal.empty()) RaiseBadLocation(location, refusal);
  if (form == Form::kFolder) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(location, ec);
    parsed.folder = ec ? location : absolute.string();
    parsed.text = parsed.folder;
    return parsed;
  }
  parsed.kind = StoreLocation::Kind::kPostgres;
  parsed.text = location;
  parsed.folder.clear();
  std::optional<std::string> scripts;
  if (form == Form::kUri) {
    parsed.conninfo = WithoutScriptsInUri(location, scripts);
  } else {
    for (const Setting& setting : CutSettings(location)) {
      if (setting.keyword == kScriptsKey) {
        scripts = setting.value;
      } else {
        parsed.conninfo +=
            (parsed.conninfo.empty() ? "" : " ") + location.substr(setting.start, setting.end - setting.start);
      }
    }
  }
  // The rest is libpq's, and libpq's own reader judges it.
  char* error = nullptr;
  PQconninfoOption* options = Pq().conninfoParse(parsed.conninfo.c_str(), &error);
  if (options == nullptr) {
    const std::string libpqReason = error != nullptr ? error : "out of memory";
    Pq().freemem(error);
    RaiseBadLocation(location, Shown(libpqReason.substr(0, libpqReason.find_last_not_of('\n') + 1)));
  }
  bool password = false;
  for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (IsSecret(option->keyword) && option->val != nullptr && *option->val != '\0') password = true;
  }
  Pq().conninfoFree(options);
  if (password) RaiseBadLocation(location, Text(WB_PG_PASSWORD));
  if (!scripts || scripts->empty()) RaiseBadLocation(location, Text(WB_PG_NO_SCRIPTS));
  std::error_code ec;
  parsed.scripts = fs::absolute(*scripts, ec).lexically_normal().string();
  while (parsed.scripts.size() > 1 && parsed.scripts.back() == '/') parsed.scripts.pop_back();
  if (parsed.scripts == "/") RaiseBadLocation(location, Text(WB_PG_SCRIPTS_ROOT));
  return parsed;
}

void ConfigureStoreLibraries() { ConfigureDatabaseLibrary(); }

std::unique_ptr<StoreBase> MakeStore(const StoreOptions& options, const StoreEnv& env) {
  switch (options.location.kind) {
    case StoreLocation::Kind::kFolder: return std::make_unique<SqliteStore>(options, env);
    case StoreLocation::Kind::kProject: return std::make_unique<ProjectStore>(options, env);
    case StoreLocation::Kind::kPostgres: break;
  }
  return std::make_unique<PgStore>(options, env);
}

std::unique_ptr<Database> OpenStoreReadOnly(const StoreLocation& location) {
  if (location.kind == StoreLocation::Kind::kFolder) return OpenSqliteStoreReadOnly(location.folder);
  if (location.kind == StoreLocation::Kind::kProject) return OpenProjectStoreReadOnly(location.folder);
  std::unique_ptr<PgConnection> connection = PgConnect(location.conninfo, StoreOptions{}.busyPatience, true);
  const int version = PgSchemaVersion(*connection);
  if (version == 0) return nullptr;
  if (version > kPgSchemaVersion) {
    RaiseError(errc::kPathFileAccessError, {},
               Text(WB_STORE_CANNOT_OPEN,
                    {connection->Where(),
                     Text(WB_STORE_TOO_NEW, {std::to_string(version), std::to_string(kPgSchemaVersion)})}));
  }
  return connection;
}

std::optional<std::string> StoreProblem(const StoreLocation& location) {
  if (location.kind == StoreLocation::Kind::kProject) return ProjectStoreProblem(location.folder);
  if (location.kind != StoreLocation::Kind::kFolder) return std::nullopt;
  return StoreFolderProblem(location.folder);
}

}  // namespace zt::wb
