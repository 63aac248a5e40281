// Store locations and the store of each kind (see StoreLocation.h).
#include "workbench/store/StoreLocation.h"

#include <cctype>
#include <filesystem>
#include <set>
#include <vector>

#include "support/Error.h"
#include "workbench/store/postgres/PgLibrary.h"
#include "workbench/store/postgres/PgStore.h"
#include "workbench/store/sqlite/SqliteStore.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kScriptsKey = "scripts";

[[noreturn]] void RaiseBadLocation(const std::string& location, const std::string& reason) {
  RaiseError(errc::kInvalidCall, {}, Text(WB_PG_BAD_LOCATION, {location, reason}));
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// libpq's keywords, "scripts" among them.
const std::set<std::string>& Keywords() {
  static const std::set<std::string> keywords = [] {
    std::set<std::string> names{kScriptsKey};
    PQconninfoOption* options = Pq().conndefaults();
    for (PQconninfoOption* option = options; option != nullptr && option->keyword != nullptr; ++option) {
      names.insert(option->keyword);
    }
    Pq().conninfoFree(options);
    return names;
  }();
  return keywords;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Takes "scripts=..." out of the query of the URI `uri`.
std::string WithoutScriptsInUri(const std::string& uri, std::string& scripts) {
  const size_t question = uri.find('?');
  if (question == std::string::npos) return uri;
  std::string kept;
  size_t start = question + 1;
  while (start <= uri.size()) {
    size_t end = uri.find('&', start);
    if (end == std::string::npos) end = uri.size();
    const std::string parameter = uri.substr(start, end - start);
    if (StartsWith(parameter, std::string(kScriptsKey) + "=")) {
      scripts = PercentDecoded(parameter.substr(std::string(kScriptsKey).size() + 1));
    } else if (!parameter.empty()) {
      kept += (kept.empty() ? "" : "&") + parameter;
    }
    start = end + 1;
  }
  return uri.substr(0, question) + (kept.empty() ? "" : "?" + kept);
}

// Takes "scripts=..." out of the keyword/value string `conninfo` (values
// bare or in single quotes with backslash escapes, as libpq reads them).
std::string WithoutScriptsInKeywords(const std::string& conninfo, std::string& scripts) {
  std::string kept;
  size_t i = 0;
  while (i < conninfo.size()) {
    while (i < conninfo.size() && std::isspace(static_cast<unsigned char>(conninfo[i])) != 0) ++i;
    if (i >= conninfo.size()) break;
    const size_t start = i;
    std::string keyword;
    while (i < conninfo.size() && conninfo[i] != '=' && std::isspace(static_cast<unsigned char>(conninfo[i])) == 0) {
      keyword += conninfo[i++];
    }
    while (i < conninfo.size() && std::isspace(static_cast<unsigned char>(conninfo[i])) != 0) ++i;
    if (i < conninfo.size() && conninfo[i] == '=') ++i;
    while (i < conninfo.size() && std::isspace(static_cast<unsigned char>(conninfo[i])) != 0) ++i;
    std::string value;
    if (i < conninfo.size() && conninfo[i] == '\'') {
      for (++i; i < conninfo.size() && conninfo[i] != '\''; ++i) {
        if (conninfo[i] == '\\' && i + 1 < conninfo.size()) ++i;
        value += conninfo[i];
      }
      ++i;
    } else {
      while (i < conninfo.size() && std::isspace(static_cast<unsigned char>(conninfo[i])) == 0) {
        if (conninfo[i] == '\\' && i + 1 < conninfo.size()) ++i;
        value += conninfo[i++];
      }
    }
    if (keyword == kScriptsKey) {
      scripts = value;
    } else {
      kept += (kept.empty() ? "" : " ") + conninfo.substr(start, i - start);
    }
  }
  return kept;
}

}  // namespace

bool IsDatabaseLocation(const std::string& location) {
  if (StartsWith(location, "postgresql://") || StartsWith(location, "postgres://")) return true;
  const size_t equals = location.find('=');
  if (equals == std::string::npos) return false;
  std::string keyword = location.substr(0, equals);
  while (!keyword.empty() && keyword.back() == ' ') keyword.pop_back();
  return Keywords().count(keyword) != 0;
}

std::string AbsoluteStoreLocation(const std::string& location) {
  if (IsDatabaseLocation(location)) return location;
  std::error_code ec;
  const fs::path absolute = fs::absolute(location, ec);
  return ec ? location : absolute.string();
}

StoreLocation ParseStoreLocation(const std::string& location) {
  StoreLocation parsed;
  if (!IsDatabaseLocation(location)) {
    parsed.folder = location;
    return parsed;
  }
  parsed.kind = StoreLocation::Kind::kPostgres;
  const bool uri = StartsWith(location, "postgresql://") || StartsWith(location, "postgres://");
  parsed.conninfo =
      uri ? WithoutScriptsInUri(location, parsed.scripts) : WithoutScriptsInKeywords(location, parsed.scripts);
  char* error = nullptr;
  PQconninfoOption* options = Pq().conninfoParse(parsed.conninfo.c_str(), &error);
  if (options == nullptr) {
    const std::string reason = error != nullptr ? error : "out of memory";
    Pq().freemem(error);
    RaiseBadLocation(location, reason.substr(0, reason.find_last_not_of('\n') + 1));
  }
  bool password = false;
  for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (std::string(option->keyword) == "password" && option->val != nullptr && *option->val != '\0') password = true;
  }
  Pq().conninfoFree(options);
  if (password) RaiseBadLocation(location, Text(WB_PG_PASSWORD));
  if (parsed.scripts.empty()) RaiseBadLocation(location, Text(WB_PG_NO_SCRIPTS));
  std::error_code ec;
  parsed.scripts = fs::absolute(parsed.scripts, ec).lexically_normal().string();
  while (parsed.scripts.size() > 1 && parsed.scripts.back() == '/') parsed.scripts.pop_back();
  return parsed;
}

void ConfigureStoreLibraries() { ConfigureDatabaseLibrary(); }

std::unique_ptr<StoreBase> MakeStore(const StoreOptions& options, Console& console) {
  const StoreLocation location = ParseStoreLocation(options.location);
  if (location.kind == StoreLocation::Kind::kFolder) return std::make_unique<SqliteStore>(options, console);
  return std::make_unique<PgStore>(options, location.conninfo, location.scripts, console);
}

std::unique_ptr<Database> OpenStoreReadOnly(const std::string& locationText) {
  const StoreLocation location = ParseStoreLocation(locationText);
  if (location.kind == StoreLocation::Kind::kFolder) return OpenSqliteStoreReadOnly(location.folder);
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

std::optional<std::string> StoreProblem(const std::string& location) {
  if (IsDatabaseLocation(location)) return std::nullopt;
  return StoreFolderProblem(location);
}

}  // namespace zt::wb
