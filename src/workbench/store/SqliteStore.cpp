// The SQLite store (see SqliteStore.h): login, opening and migrating the
// database, mapping and checking script paths, the overwrite question. The
// store owns its connection and borrows its console.
#include "workbench/store/SqliteStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "support/Error.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/store/StoreDatabase.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDatabaseName = "store.db";
constexpr const char* kLineEnd = "\n";

// The database schema, one step per version. Later tables (datapools, tool
// options) are added by appending a step; a released step is never edited,
// because stores made with it already carry its version.
struct Migration {
  int version;
  const char* sql;
};
constexpr Migration kMigrations[] = {
    {1, "CREATE TABLE store_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)"},
    // Datapools (see Datapools.h): a datapool, its ordered fields, its
    // ordered rows, and one value per row and field.
    {2,
     "CREATE TABLE datapools (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
     "description TEXT NOT NULL DEFAULT '', created TEXT NOT NULL, updated TEXT NOT NULL, "
     "user TEXT NOT NULL DEFAULT '');"
     "CREATE TABLE datapool_fields (id INTEGER PRIMARY KEY, "
     "datapool INTEGER NOT NULL REFERENCES datapools(id) ON DELETE CASCADE, position INTEGER NOT NULL, "
     "name TEXT NOT NULL, type TEXT NOT NULL DEFAULT '', UNIQUE (datapool, position), UNIQUE (datapool, name));"
     "CREATE TABLE datapool_rows (id INTEGER PRIMARY KEY, "
     "datapool INTEGER NOT NULL REFERENCES datapools(id) ON DELETE CASCADE, position INTEGER NOT NULL, "
     "UNIQUE (datapool, position));"
     "CREATE TABLE datapool_values (row INTEGER NOT NULL REFERENCES datapool_rows(id) ON DELETE CASCADE, "
     "field INTEGER NOT NULL REFERENCES datapool_fields(id) ON DELETE CASCADE, value TEXT NOT NULL, "
     "PRIMARY KEY (row, field))"},
    // Tool options (see ToolOptions.h): option number and its text.
    {3, "CREATE TABLE tool_options (number INTEGER PRIMARY KEY, value TEXT NOT NULL)"},
    // Datapool names by operation (see DatapoolNames.h).
    {4,
     "CREATE TABLE datapool_names (operation TEXT PRIMARY KEY, name TEXT NOT NULL UNIQUE, "
     "recorded TEXT NOT NULL)"},
};
constexpr int kSchemaVersion = kMigrations[std::size(kMigrations) - 1].version;

// The root folder of a script type below the store folder.
std::optional<fs::path> RootBelow(const fs::path& store, dsScriptType type) {
  switch (type) {
    case dsJavaScript: return store / "scripts" / "java";
    case dsVisualBasicScript: return store / "scripts" / "vb";
    default: return std::nullopt;
  }
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : Trimmed(value);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The non-empty components of a "\"- or "/"-separated path.
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : path) {
    if (IsSeparator(c)) {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

std::string Joined(std::vector<std::string>::const_iterator begin, std::vector<std::string>::const_iterator end) {
  std::string joined;
  for (auto it = begin; it != end; ++it) {
    if (!joined.empty()) joined += '\\';
    joined += *it;
  }
  return joined;
}

// The digest of a script's mark: its type, folder and base name.
uint64_t MarkDigest(dsScriptType type, const std::string& folder, const std::string& baseName) {
  std::string key = std::to_string(type);
  key += '\0';
  key += folder;
  key += '\0';
  key += baseName;
  // FNV-1a, then a final mix so that the low bits (the table's slot) depend
  // on every byte.
  uint64_t h = 14695981039346656037ull;
  for (const char c : key) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

// A leading separator, or a drive letter ("C:", "c:\x").
bool IsAbsolute(const std::string& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
  const bool letter = path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return letter && path[1] == ':';
}

bool IsWithin(const fs::path& root, const fs::path& path) {
  auto r = root.begin();
  auto p = path.begin();
  for (; r != root.end(); ++r, ++p) {
    if (r->empty()) continue;  // the empty last element of a root ending in "/"
    if (p == path.end() || *r != *p) return false;
  }
  return true;
}

// The file name without its last extension: "ICalcAdd.cls" gives "ICalcAdd".
std::string BaseName(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

// Runs `sql`; on failure returns false with the database's message in `error`.
bool Exec(sqlite3* db, const char* sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message != nullptr ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

// Runs the one-row, one-column query `sql` and reads its integer.
bool QueryInt(sqlite3* db, const char* sql, int& value, std::string& error) {
  sqlite3_stmt* statement = nullptr;
  const bool ok = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
                  sqlite3_step(statement) == SQLITE_ROW;
  if (ok) value = sqlite3_column_int(statement, 0);
  if (!ok) error = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return ok;
}

// Runs `sql` with `args` bound to its parameters in order.
bool ExecBound(sqlite3* db, const char* sql, const std::vector<std::string>& args, std::string& error) {
  sqlite3_stmt* statement = nullptr;
  bool ok = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK;
  for (size_t i = 0; ok && i < args.size(); ++i) {
    ok = sqlite3_bind_text(statement, static_cast<int>(i + 1), args[i].data(), static_cast<int>(args[i].size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
  }
  ok = ok && sqlite3_step(statement) == SQLITE_DONE;
  if (!ok) error = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return ok;
}

// Brings the schema up to date and records the login, in one transaction.
// Writing on every open is what finds a store that cannot be written.
bool Migrate(sqlite3* db, const std::string& userName, std::string& error) {
  if (!Exec(db, "BEGIN IMMEDIATE", error)) return false;
  int current = 0;
  bool ok = Exec(db,
                 "CREATE TABLE IF NOT EXISTS schema_version "
                 "(version INTEGER PRIMARY KEY, applied TEXT NOT NULL)",
                 error) &&
            QueryInt(db, "SELECT COALESCE(MAX(version), 0) FROM schema_version", current, error);
  if (ok && current > kSchemaVersion) {
    error = Text(WB_STORE_TOO_NEW, {std::to_string(current), std::to_string(kSchemaVersion)});
    ok = false;
  }
  for (const Migration& step : kMigrations) {
    if (!ok || step.version <= current) continue;
    ok = Exec(db, step.sql, error) &&
         ExecBound(db, "INSERT INTO schema_version (version, applied) VALUES (?, datetime('now'))",
                   {std::to_string(step.version)}, error);
  }
  ok = ok &&
       ExecBound(db, "INSERT OR REPLACE INTO store_info (key, value) VALUES ('last_user', ?)", {userName}, error) &&
       ExecBound(db, "INSERT OR REPLACE INTO store_info (key, value) VALUES ('last_opened', datetime('now'))", {},
                 error) &&
       Exec(db, "COMMIT", error);
  if (!ok) {
    std::string ignored;
    Exec(db, "ROLLBACK", ignored);
  }
  return ok;
}

[[noreturn]] void RaiseCannotOpen(const fs::path& path, const std::string& reason) {
  RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {path.string(), reason}));
}

// Creates `folder` with its parents; raises when it is not a usable folder.
void MakeFolder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) RaiseCannotOpen(folder, ec.message());
  if (!fs::is_directory(folder, ec)) RaiseCannotOpen(folder, Text(WB_STORE_NOT_A_FOLDER));
  if (::access(folder.c_str(), W_OK | X_OK) != 0) RaiseCannotOpen(folder, Text(WB_STORE_READ_ONLY));
}

// The answers of the overwrite question.
enum Reply { kYes, kYesToAll, kNo, kNoToAll, kCancel };

// Writes back everything of the file system that holds `path`.
bool SyncFileSystem(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

// Writes back the data of the file `path`; false with the reason when it cannot.
bool SyncFile(const std::string& path, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool ok = fd >= 0 && ::fsync(fd) == 0;
  if (!ok) reason = std::strerror(errno);
  if (fd >= 0) ::close(fd);
  return ok;
}

}  // namespace

size_t DigestSet::Slot(uint64_t digest) const {
  const size_t mask = slots_.size() - 1;
  size_t slot = static_cast<size_t>(digest) & mask;
  while (slots_[slot] != 0 && slots_[slot] != digest) slot = (slot + 1) & mask;
  return slot;
}

bool DigestSet::Contains(uint64_t digest) const {
  if (digest == 0) return hasZero_;
  return !slots_.empty() && slots_[Slot(digest)] == digest;
}

void DigestSet::Insert(uint64_t digest) {
  if (digest == 0) {
    hasZero_ = true;
    return;
  }
  // At most seven eighths full, so that a probe ends soon.
  if ((count_ + 1) * 8 > slots_.size() * 7) {
    std::vector<uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    for (const uint64_t d : old) {
      if (d != 0) slots_[Slot(d)] = d;
    }
  }
  uint64_t& slot = slots_[Slot(digest)];
  if (slot == 0) ++count_;
  slot = digest;
}

void DigestSet::Clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  count_ = 0;
  hasZero_ = false;
}

SqliteConnection::SqliteConnection(sqlite3* handle) : handle_(handle) {
  KeepPreparedStatements(handle_);
  // SQLite's temporary data (the journal of each datapool's savepoint, sorts)
  // stays in memory: nothing of a store is written outside its folder.
  sqlite3_exec(handle_, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);
}

SqliteConnection::~SqliteConnection() {
  FinalizePreparedStatements(handle_);
  sqlite3_close(handle_);
}

sqlite3* SqliteHandle(DataStoreConnection* connection) {
  auto* ours = dynamic_cast<SqliteConnection*>(&Ref(connection));
  if (ours == nullptr) RaiseError(errc::kTypeMismatch);
  return ours->Handle();
}

SqliteStore::SqliteStore(StoreOptions options, Console& console) : options_(std::move(options)), console_(console) {
  std::error_code ec;
  fs::path folder = fs::absolute(options_.folder, ec).lexically_normal();
  if (ec) folder = fs::path(options_.folder).lexically_normal();
  if (folder.filename().empty() && folder.has_relative_path()) folder = folder.parent_path();
  folder_ = folder;
}

SqliteStore::~SqliteStore() { SqliteStore::EndBatch(); }

void SqliteStore::Open() {
  if (connection_) return;
  const std::string userName = LogIn();
  OpenDatabase(userName);
  userName_ = userName;
}

bool SqliteStore::AsksForLogin() const {
  return (!options_.userName || Trimmed(*options_.userName).empty()) && Environment("ZTUNITTEST_USER").empty();
}

std::string SqliteStore::LogIn() {
  if (options_.userName) {
    const std::string given = Trimmed(*options_.userName);
    if (!given.empty()) return given;
  }
  if (std::string fromEnvironment = Environment("ZTUNITTEST_USER"); !fromEnvironment.empty()) return fromEnvironment;
  bool endOfInput = false;
  std::optional<std::string> answer = AskUserName(endOfInput);
  if (!answer) RaiseError(errc::kStoreCancelled, {}, Text(WB_STORE_LOGIN_CANCELLED));
  return *answer;
}

std::optional<std::string> SqliteStore::AskUserName(bool& endOfInput) {
  TextQuestion question;
  question.defaultText = Environment("USER");
  question.cancelWord = Text(WB_STORE_LOGIN_CANCEL_WORD);
  question.key = answer_key::kUser;
  question.prompt = question.defaultText.empty()
                        ? Text(WB_STORE_LOGIN_PROMPT_NO_DEFAULT, {folder_.string(), question.cancelWord})
                        : Text(WB_STORE_LOGIN_PROMPT, {folder_.string(), question.defaultText, question.cancelWord});
  return AskText(console_, question, &endOfInput);
}

void SqliteStore::OpenDatabase(const std::string& userName) {
  MakeFolder(folder_);
  // The script roots first: a store that cannot hold scripts is refused
  // before its database records the login.
  for (const dsScriptType type : {dsJavaScript, dsVisualBasicScript}) {
    MakeFolder(*RootBelow(folder_, type));
    RemoveStaleTemporaries(RootBelow(folder_, type)->string());
  }
  const fs::path database = folder_ / kDatabaseName;
  sqlite3* handle = nullptr;
  // The store is used from one thread: its connection takes no lock of its own.
  const int rc = sqlite3_open_v2(database.c_str(), &handle,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (handle == nullptr) RaiseCannotOpen(database, sqlite3_errstr(rc));
  auto connection = std::make_unique<SqliteConnection>(handle);
  if (rc != SQLITE_OK) RaiseCannotOpen(database, sqlite3_errmsg(handle));
  if (sqlite3_db_readonly(handle, "main") == 1) RaiseCannotOpen(database, Text(WB_STORE_READ_ONLY));
  sqlite3_busy_timeout(handle, 5000);
  std::string error;
  if (!Migrate(handle, userName, error)) RaiseCannotOpen(database, error);
  connection_ = std::move(connection);
}

void SqliteStore::ResetSession() {
  scriptsNotStored_ = 0;
  stored_.Clear();
  lastDatapoolName_.reset();
  canonicalRoots_.clear();
  lastFolder_.reset();
  forAll_ = ForAll::kAsk;
}

void SqliteStore::SetMultipleItems(bool multipleItems) { multipleItems_ = multipleItems; }

std::string SqliteStore::ScriptRoot(dsScriptType type) {
  // Asked for every script the run logs; the folder never changes.
  if (const auto known = rootTexts_.find(type); known != rootTexts_.end()) return known->second;
  const std::optional<fs::path> root = RootBelow(folder_, type);
  if (!root) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_UNKNOWN_TYPE, {std::to_string(type)}));
  return rootTexts_.emplace(type, root->string() + "/").first->second;
}

std::string SqliteStore::UserName() { return userName_; }

DataStoreConnection* SqliteStore::Connection() { return connection_.get(); }

void SqliteStore::BeginBatch() {
  if (!connection_) return;
  batching_ = true;
  connection_->SetBatch(this);
}

void SqliteStore::EndBatch() {
  if (!batching_) return;
  Flush();
  batching_ = false;
  connection_->SetBatch(nullptr);
}

void SqliteStore::FinishScripts() {
  if (pendingScripts_.empty()) return;
  // One sync of the whole file system costs about what a single file's sync
  // does; should it fail, each file is synced on its own.
  const bool synced = SyncFileSystem(folder_);
  for (const auto& [temp, target] : pendingScripts_) {
    std::string reason;
    if (!synced && !SyncFile(temp, reason)) {
      ::unlink(temp.c_str());
    } else if (std::rename(temp.c_str(), target.c_str()) != 0) {
      reason = std::strerror(errno);
      ::unlink(temp.c_str());
    } else {
      continue;
    }
    console_.Write(Text(WB_STORE_WRITE_FAILED, {target.string(), reason}) + kLineEnd);
  }
  pendingScripts_.clear();
  pendingTargets_.clear();
}

void SqliteStore::Flush() {
  batchStart_.reset();
  FinishScripts();
  if (!batchTransaction_) return;
  batchTransaction_ = false;
  sqlite3* db = connection_->Handle();
  std::string error;
  // A failure inside the batch may have rolled all of it back already.
  if (sqlite3_get_autocommit(db) != 0) {
    error = sqlite3_errmsg(db);
  } else if (Exec(db, "COMMIT", error)) {
    return;
  } else {
    std::string ignored;
    Exec(db, "ROLLBACK", ignored);
  }
  console_.Write(Text(WB_STORE_BATCH_NOT_STORED, {(folder_ / kDatabaseName).string(), error}) + kLineEnd);
}

void SqliteStore::BeforeChange() {
  sqlite3* db = connection_->Handle();
  if (batchTransaction_ && sqlite3_get_autocommit(db) != 0) Flush();  // rolled back by a failure: told there
  if (!batchTransaction_) {
    std::string error;
    if (!Exec(db, "BEGIN IMMEDIATE", error)) RaiseError(errc::kPathFileAccessError, {}, error);
    batchTransaction_ = true;
  }
  if (!batchStart_) batchStart_ = std::chrono::steady_clock::now();
}

void SqliteStore::AfterChange() {
  if (BatchDue()) Flush();
}

bool SqliteStore::BatchDue() const {
  return batchStart_ && std::chrono::steady_clock::now() - *batchStart_ >= kBatchInterval;
}

std::string SqliteStore::MakeDatapoolName(const std::string& className, const std::string& operationName, int32_t) {
  const OperationIdentity* operation =
      operationInHand_ != nullptr ? operationInHand_->Matching(className, operationName) : nullptr;
  if (operation == nullptr || !connection_) return className + "_" + operationName;
  std::string key = operation->Key();
  if (lastDatapoolName_ && lastDatapoolName_->first == key) return lastDatapoolName_->second;
  std::string name = RecordedDatapoolName(connection_->Handle(), *operation, connection_->Batch());
  lastDatapoolName_.emplace(std::move(key), name);
  return name;
}

std::string SqliteStore::MakeScriptName(const std::string& baseName, const std::string& folder, dsScriptType type) {
  const std::vector<std::string> parts = Components(folder);
  const std::string key = Joined(parts.begin(), parts.end());
  for (int n = 0;; ++n) {
    const std::string suffix = n == 0 ? std::string() : std::to_string(n);
    if (!stored_.Contains(MarkDigest(type, key, baseName + suffix))) return suffix;
  }
}

void SqliteStore::MarkStored(const std::string& fileName, const std::string& folder, dsScriptType type) {
  const std::vector<std::string> parts = Components(folder);
  const std::string base = BaseName(fileName);
  stored_.Insert(MarkDigest(type, Joined(parts.begin(), parts.end()), base));
  if (!parts.empty()) stored_.Insert(MarkDigest(type, Joined(parts.begin() + 1, parts.end()), base));
}

std::optional<fs::path> SqliteStore::ResolveFolder(const fs::path& root, const std::string& folder) {
  if (IsAbsolute(folder) || folder.find('\0') != std::string::npos) return std::nullopt;
  // Existing components are resolved one by one, so that a symlink leading
  // out is found before anything is created behind it. `root` is canonical,
  // and so stays `current` as long as no component is a symlink.
  fs::path current = root;
  bool existing = true;
  for (const std::string& part : Components(folder)) {
    if (part == "..") return std::nullopt;
    if (part == ".") continue;
    current /= part;
    if (!existing) continue;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(current, ec);
    if (!fs::exists(status)) {
      existing = false;
      continue;
    }
    if (!fs::is_symlink(status)) continue;
    current = fs::canonical(current, ec);
    if (ec || !IsWithin(root, current)) return std::nullopt;
  }
  return current;
}

int32_t SqliteStore::Refuse(const std::string& fileName, const std::string& folder, const fs::path& root) {
  std::string shown = folder;
  if (!shown.empty() && !IsSeparator(shown.back())) shown += '\\';
  shown += fileName;
  console_.Write(Text(WB_STORE_PATH_REFUSED, {shown, root.string() + "/"}) + kLineEnd);
  ++scriptsNotStored_;
  return save_result::kNotWritten;
}

int32_t SqliteStore::Write(const fs::path& target, const std::string& content, dsScriptType type) {
  std::string reason;
  try {
    if (batching_ && type == dsJavaScript) {
      pendingScripts_.emplace_back(WriteTemporaryBeside(target.string(), content, false), target);
      pendingTargets_.insert(target.string());
      if (!batchStart_) batchStart_ = std::chrono::steady_clock::now();
      if (BatchDue() || pendingScripts_.size() >= kBatchScripts) Flush();
      return save_result::kStored;
    }
    WriteFileAtomically(target.string(), content);
    return save_result::kStored;
  } catch (const ZtError& e) {
    reason = e.Description();
  } catch (const std::exception& e) {
    reason = e.what();
  }
  console_.Write(Text(WB_STORE_WRITE_FAILED, {target.string(), reason}) + kLineEnd);
  ++scriptsNotStored_;
  return save_result::kNotWritten;
}

int32_t SqliteStore::SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                                const std::string& content) {
  if (!connection_) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_NOT_OPEN));
  const std::optional<fs::path> root = RootBelow(folder_, type);
  if (!root) {
    console_.Write(Text(WB_STORE_UNKNOWN_TYPE, {std::to_string(type)}) + kLineEnd);
    ++scriptsNotStored_;
    return save_result::kNotWritten;
  }
  if (fileName.empty() || fileName.find_first_of("\\/") != std::string::npos) {
    console_.Write(Text(WB_STORE_BAD_FILE_NAME, {fileName, folder}) + kLineEnd);
    ++scriptsNotStored_;
    return save_result::kNotWritten;
  }
  std::error_code ec;
  // The root is made and resolved once a session, the folder again only
  // when it differs from the last script's.
  auto cachedRoot = canonicalRoots_.find(type);
  if (cachedRoot == canonicalRoots_.end()) {
    fs::create_directories(*root, ec);
    const fs::path canonical = fs::canonical(*root, ec);
    if (ec) {
      console_.Write(Text(WB_STORE_WRITE_FAILED, {(*root / fileName).string(), ec.message()}) + kLineEnd);
      ++scriptsNotStored_;
      return save_result::kNotWritten;
    }
    cachedRoot = canonicalRoots_.emplace(type, canonical).first;
  }
  const fs::path& canonicalRoot = cachedRoot->second;
  const bool plainName = fileName != "." && fileName != ".." && !IsAbsolute(fileName) &&
                         fileName.find('\0') == std::string::npos;
  const bool known = plainName && lastFolder_ && lastFolder_->type == type && lastFolder_->folder == folder;
  const std::optional<fs::path> resolved =
      known ? std::optional<fs::path>(lastFolder_->resolved)
            : (plainName ? ResolveFolder(canonicalRoot, folder) : std::nullopt);
  if (!resolved) return Refuse(fileName, folder, *root);
  const fs::path target = *resolved / fileName;
  fs::file_status status = fs::symlink_status(target, ec);
  if (fs::is_symlink(status)) {
    const fs::path pointee = fs::weakly_canonical(target, ec);
    if (ec || !IsWithin(canonicalRoot, pointee)) return Refuse(fileName, folder, *root);
  }
  MarkStored(fileName, folder, type);

  if (!known) {
    fs::create_directories(*resolved, ec);
    if (ec) {
      console_.Write(Text(WB_STORE_WRITE_FAILED, {target.string(), ec.message()}) + kLineEnd);
      ++scriptsNotStored_;
      return save_result::kNotWritten;
    }
    lastFolder_ = ResolvedFolder{type, folder, *resolved};
  }
  if (pendingTargets_.count(target.string()) != 0) {
    Flush();
    status = fs::symlink_status(target, ec);
  }
  const bool exists = fs::is_symlink(status) ? fs::is_regular_file(target, ec) : fs::is_regular_file(status);
  if (exists) {
    if (ReadFile(target) == content) return save_result::kStored;
    if (forAll_ == ForAll::kNo) return save_result::kNotWritten;
    if (forAll_ == ForAll::kAsk) {
      Question question{Text(WB_STORE_REPLACE_QUESTION, {target.string()}), {}, kNo, answer_key::kReplace};
      question.answers.push_back({Text(WB_ANSWER_YES), kYes, answer_word::kYes});
      if (multipleItems_) question.answers.push_back({Text(WB_ANSWER_YES_TO_ALL), kYesToAll, answer_word::kAll});
      question.answers.push_back({Text(WB_ANSWER_NO), kNo, answer_word::kNo});
      if (multipleItems_) question.answers.push_back({Text(WB_ANSWER_NO_TO_ALL), kNoToAll, answer_word::kNone});
      question.answers.push_back({Text(WB_ANSWER_CANCEL), kCancel, answer_word::kCancel});
      switch (Ask(console_, question)) {
        case kYes: break;
        case kYesToAll: forAll_ = ForAll::kYes; break;
        case kNoToAll: forAll_ = ForAll::kNo; return save_result::kNotWritten;
        case kCancel: return save_result::kCancelled;
        default: return save_result::kNotWritten;
      }
    }
  }
  return Write(target, content, type);
}

namespace {

// Whether `path` can be written and, for a folder, entered.
bool Writable(const fs::path& path) { return ::access(path.c_str(), W_OK | X_OK) == 0; }

}  // namespace

std::optional<std::string> StoreFolderProblem(const std::string& folderName) {
  std::error_code ec;
  fs::path folder = fs::absolute(folderName, ec).lexically_normal();
  if (ec) folder = fs::path(folderName).lexically_normal();
  if (folder.filename().empty() && folder.has_relative_path()) folder = folder.parent_path();
  const auto problem = [](const fs::path& path, int16_t reason, const std::vector<std::string>& args = {}) {
    return std::optional<std::string>(Text(WB_STORE_CANNOT_OPEN, {path.string(), Text(reason, args)}));
  };

  // A store that does not exist yet is made in the nearest folder that does.
  fs::path existing = folder;
  while (!fs::exists(existing, ec) && existing.has_relative_path()) existing = existing.parent_path();
  if (!fs::is_directory(existing, ec)) return problem(existing, WB_STORE_NOT_A_FOLDER);
  if (!Writable(existing)) return problem(existing, WB_STORE_READ_ONLY);
  if (existing != folder) return std::nullopt;

  const fs::path scripts = folder / "scripts";
  for (const fs::path& sub : {scripts, *RootBelow(folder, dsJavaScript), *RootBelow(folder, dsVisualBasicScript)}) {
    if (!fs::exists(sub, ec)) continue;
    if (!fs::is_directory(sub, ec)) return problem(sub, WB_STORE_NOT_A_FOLDER);
    if (!Writable(sub)) return problem(sub, WB_STORE_READ_ONLY);
  }

  const fs::path database = folder / kDatabaseName;
  if (!fs::exists(database, ec)) return std::nullopt;
  if (!fs::is_regular_file(database, ec)) return problem(database, WB_STORE_NOT_A_FILE);
  if (::access(database.c_str(), W_OK) != 0) return problem(database, WB_STORE_READ_ONLY);
  // Read, never written: a healthy store stays byte for byte as it was. (A
  // journal that a killed writer left is rolled back, as any open does.)
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(database.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
  if (handle == nullptr) return problem(database, WB_STORE_DAMAGED, {sqlite3_errstr(rc)});
  SqliteConnection connection(handle);
  if (rc != SQLITE_OK) return problem(database, WB_STORE_DAMAGED, {sqlite3_errmsg(handle)});
  if (sqlite3_db_readonly(handle, "main") == 1) return problem(database, WB_STORE_READ_ONLY);
  sqlite3_busy_timeout(handle, 5000);
  std::string error;
  int versions = 0;
  if (!QueryInt(handle, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'",
                versions, error)) {
    return problem(database, WB_STORE_DAMAGED, {error});
  }
  int version = 0;
  if (versions == 1 && !QueryInt(handle, "SELECT COALESCE(MAX(version), 0) FROM schema_version", version, error)) {
    return problem(database, WB_STORE_DAMAGED, {error});
  }
  if (version > kSchemaVersion) {
    return problem(database, WB_STORE_TOO_NEW, {std::to_string(version), std::to_string(kSchemaVersion)});
  }
  // Every page is looked at, so that a damaged datapool is found here and not
  // once per operation of a run.
  sqlite3_stmt* check = nullptr;
  std::string verdict;
  if (sqlite3_prepare_v2(handle, "PRAGMA quick_check(1)", -1, &check, nullptr) == SQLITE_OK &&
      sqlite3_step(check) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
    verdict = text != nullptr ? text : "";
  } else {
    verdict = sqlite3_errmsg(handle);
  }
  sqlite3_finalize(check);
  if (verdict == "ok") return std::nullopt;
  for (char& c : verdict) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return problem(database, WB_STORE_DAMAGED, {verdict});
}

}  // namespace zt::wb
