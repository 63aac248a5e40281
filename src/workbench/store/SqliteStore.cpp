// The SQLite store (see SqliteStore.h): login, opening and migrating the
// database, mapping and checking script paths, the overwrite question. The
// store owns its connection and borrows its console.
#include "workbench/store/SqliteStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
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

// A script as messages name it: its folder as given, a backslash and its
// file name.
std::string ShownName(const std::string& fileName, const std::string& folder) {
  std::string shown = folder;
  if (!shown.empty() && !IsSeparator(shown.back())) shown += '\\';
  shown += fileName;
  // A NUL would end the message on a terminal.
  std::string escaped;
  for (const char c : shown) {
    if (c == '\0') {
      escaped += "\\0";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// The native path of the script `fileName` in `folders` below `root`.
// The digest of a script's path that marks it as a target of the batch.
uint64_t TargetDigest(const std::string& target) { return std::hash<std::string>{}(target); }

fs::path Below(const fs::path& root, const std::vector<std::string>& folders, const std::string& fileName) {
  // Joined as text and made a path once: appending name by name parses the
  // path again each time.
  std::string path = root.native();
  for (const std::string& part : folders) {
    if (!path.empty() && path.back() != '/') path += '/';
    path += part;
  }
  if (!path.empty() && path.back() != '/') path += '/';
  path += fileName;
  return fs::path(std::move(path));
}

// The script `fileName` in `folders`, as a "/"-separated path below its root.
std::string Relative(std::vector<std::string> folders, const std::string& fileName) {
  folders.push_back(fileName);
  return JoinedPath(folders);
}

// The file name without its last extension: "ICalcAdd.cls" gives "ICalcAdd".
std::string BaseName(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

// What the file `relative` below the folder `root` holds, when it is a file
// there (a symbolic link followed only while it stays below `root`);
// nullopt when it is not, with errno set.
std::optional<std::string> ReadScript(int root, const std::string& relative) {
  const UniqueFd file = OpenBeneath(root, relative, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  if (!file || ::fstat(file.Get(), &st) != 0) return std::nullopt;
  if (!S_ISREG(st.st_mode)) {
    errno = ENOENT;  // a folder or a pipe of that name is no script
    return std::nullopt;
  }
  std::string content;
  char buffer[65536];
  for (ssize_t n; (n = ::read(file.Get(), buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    content.append(buffer, static_cast<size_t>(n));
  }
  return content;
}

// Whether an SQLite result code says that another connection holds the database.
bool IsBusy(int code) { return (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED; }

// Who holds a lock on the database file `database`, as far as /proc/locks
// tells: "sqlite3 (process 1234)", or "" when it does not say.
std::string LockHolder(const fs::path& database) {
  struct stat st {};
  if (::stat(database.c_str(), &st) != 0) return {};
  std::ifstream locks("/proc/locks");
  char device[32];
  std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  for (std::string line; std::getline(locks, line);) {
    // "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 1073741824 1073741824"
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file;
    fields >> number >> kind;
    if (kind == "->") continue;  // a waiter, not a holder
    fields >> mode >> access >> pid >> file;
    if (file != device || pid == std::to_string(::getpid()) || pid == "0" || pid == "-1") continue;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return Text(WB_STORE_LOCK_HOLDER, {name.empty() ? "?" : name, pid});
  }
  return {};
}

// Why the database `database` could not be used: it is busy, held by
// another program (named when /proc/locks tells).
std::string BusyReason(const fs::path& database) {
  const std::string holder = LockHolder(database);
  return Text(WB_STORE_BUSY, {holder.empty() ? Text(WB_STORE_BUSY_SOMEONE) : holder});
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

// Writes back the data of the file `name` in the folder `folder`; false
// with the reason when it cannot.
bool SyncFile(int folder, const std::string& name, std::string& reason) {
  const UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  const bool ok = file && ::fsync(file.Get()) == 0;
  if (!ok) reason = std::strerror(errno);
  return ok;
}

// Why a folder of the store could not be opened: errno `error` in words.
std::string FolderReason(int error) {
  return error == ELOOP ? Text(WB_STORE_SYMLINK_FOLDER) : std::string(std::strerror(error));
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

void SqliteStore::OpenScriptRoots() {
  folderFd_ = OpenFolder(folder_.string());
  if (!folderFd_) RaiseCannotOpen(folder_, std::strerror(errno));
  const fs::path scripts = folder_ / "scripts";
  const UniqueFd scriptsFd = OpenFolderNoFollow(folderFd_.Get(), "scripts", true);
  if (!scriptsFd) RaiseCannotOpen(scripts, FolderReason(errno));
  if (::faccessat(folderFd_.Get(), "scripts", W_OK | X_OK, 0) != 0) RaiseCannotOpen(scripts, Text(WB_STORE_READ_ONLY));
  for (const dsScriptType type : {dsJavaScript, dsVisualBasicScript}) {
    const fs::path root = *RootBelow(folder_, type);
    UniqueFd rootFd = OpenFolderNoFollow(scriptsFd.Get(), root.filename().string(), true);
    if (!rootFd) RaiseCannotOpen(root, FolderReason(errno));
    if (::access(root.c_str(), W_OK | X_OK) != 0) RaiseCannotOpen(root, Text(WB_STORE_READ_ONLY));
    roots_[type] = std::move(rootFd);
    longestNames_.erase(type);
  }
  // The shared lock tells other stores that this one may have temporaries
  // under way; the sweep needs the lock alone.
  scriptsLock_ = OpenFolderNoFollow(folderFd_.Get(), "scripts", false);
  if (!scriptsLock_) RaiseCannotOpen(scripts, FolderReason(errno));
  const bool alone = ::flock(scriptsLock_.Get(), LOCK_EX | LOCK_NB) == 0;
  if (alone) {
    for (const auto& [type, root] : roots_) RemoveStaleTemporariesIn(root.Get());
  }
  while (::flock(scriptsLock_.Get(), LOCK_SH) != 0 && errno == EINTR) {
  }
}

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
  OpenScriptRoots();
  const fs::path database = folder_ / kDatabaseName;
  sqlite3* handle = nullptr;
  // The store is used from one thread: its connection takes no lock of its own.
  const int rc = sqlite3_open_v2(database.c_str(), &handle,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (handle == nullptr) RaiseCannotOpen(database, sqlite3_errstr(rc));
  auto connection = std::make_unique<SqliteConnection>(handle);
  if (rc != SQLITE_OK) RaiseCannotOpen(database, sqlite3_errmsg(handle));
  if (sqlite3_db_readonly(handle, "main") == 1) RaiseCannotOpen(database, Text(WB_STORE_READ_ONLY));
  sqlite3_busy_timeout(handle, static_cast<int>(options_.busyPatience.count()));
  std::string error;
  if (!Migrate(handle, userName, error)) {
    RaiseCannotOpen(database, IsBusy(sqlite3_extended_errcode(handle)) ? BusyReason(database) : error);
  }
  connection_ = std::move(connection);
}

void SqliteStore::ResetSession() {
  scriptsNotStored_ = 0;
  datapoolsLost_ = 0;
  damaged_ = false;
  stored_.Clear();
  lastDatapoolName_.reset();
  forAll_ = ForAll::kAsk;
}

void SqliteStore::SetMultipleItems(bool multipleItems) { multipleItems_ = multipleItems; }

const fs::path* SqliteStore::Root(dsScriptType type) {
  auto known = rootPaths_.find(type);
  if (known == rootPaths_.end()) {
    const std::optional<fs::path> root = RootBelow(folder_, type);
    if (!root) return nullptr;
    known = rootPaths_.emplace(type, *root).first;
  }
  return &known->second;
}

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
  lostOperations_.clear();
  connection_->SetBatch(this);
}

std::vector<int32_t> SqliteStore::EndBatch() {
  if (!batching_) return {};
  Flush();
  batching_ = false;
  connection_->SetBatch(nullptr);
  operation_ = 0;
  // A database damaged under the run (truncated, overwritten) is not a
  // success, whatever each change said. The check reads the file through a
  // connection of its own: the store's would trust the pages it holds.
  std::string verdict;
  const fs::path database = folder_ / kDatabaseName;
  sqlite3* db = nullptr;
  sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_busy_timeout(db, static_cast<int>(options_.busyPatience.count()));
  sqlite3_stmt* check = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &check, nullptr) == SQLITE_OK &&
      sqlite3_step(check) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
    verdict = text != nullptr ? text : "";
  } else {
    verdict = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
  }
  sqlite3_finalize(check);
  sqlite3_close(db);
  if (verdict != "ok") {
    std::replace(verdict.begin(), verdict.end(), '\n', ' ');
    damaged_ = true;
    console_.Write(Text(WB_STORE_DAMAGED_AFTER_RUN, {database.string(), verdict}) + kLineEnd);
  }
  return {lostOperations_.begin(), lostOperations_.end()};
}

void SqliteStore::FinishScripts() {
  if (pendingScripts_.empty()) return;
  // One sync of the whole file system costs about what a single file's sync
  // does; should it fail, each file is synced on its own.
  const bool synced = ::syncfs(folderFd_.Get()) == 0;
  const int root = roots_.at(dsJavaScript).Get();
  // Each folder is opened below the root again: one swapped for a symbolic
  // link since the script was written is found here.
  UniqueFd folder;
  int folderError = 0;
  const std::vector<std::string>* opened = nullptr;
  for (const PendingScript& script : pendingScripts_) {
    if (opened == nullptr || *opened != *script.folders) {
      folder = OpenFolderBeneath(root, *script.folders, false);
      folderError = errno;
      opened = script.folders.get();
    }
    std::string reason;
    if (!folder) {
      reason = std::strerror(folderError);
    } else if (!synced && !SyncFile(folder.Get(), script.temporary, reason)) {
      ::unlinkat(folder.Get(), script.temporary.c_str(), 0);
    } else if (::renameat(folder.Get(), script.temporary.c_str(), folder.Get(), script.name.c_str()) != 0) {
      reason = std::strerror(errno);
      ::unlinkat(folder.Get(), script.temporary.c_str(), 0);
    } else {
      continue;
    }
    // Written, but not under its name: the script is lost, and so is its operation.
    console_.Write(Text(WB_STORE_WRITE_FAILED, {script.target, reason}) + kLineEnd);
    ++scriptsNotStored_;
    lostOperations_.insert(script.operation);
  }
  pendingScripts_.clear();
  pendingTargets_.Clear();
}

void SqliteStore::LoseDatapools(const std::string& reason) {
  const std::string database = (folder_ / kDatabaseName).string();
  for (const auto& [name, operation] : pendingDatapools_) {
    console_.Write(Text(WB_STORE_DATAPOOL_LOST, {name, database, reason}) + kLineEnd);
    ++datapoolsLost_;
    lostOperations_.insert(operation);
  }
  pendingDatapools_.clear();
}

void SqliteStore::Flush() {
  batchStart_.reset();
  FinishScripts();
  if (!batchTransaction_) return;
  batchTransaction_ = false;
  sqlite3* db = connection_->Handle();
  std::string error;
  // A failure inside the batch may have rolled all of it back already. A
  // reader in a transaction makes COMMIT wait (the busy patience), not fail.
  if (sqlite3_get_autocommit(db) != 0) {
    error = sqlite3_errmsg(db);
  } else if (Exec(db, "COMMIT", error)) {
    pendingDatapools_.clear();
    return;
  } else {
    std::string ignored;
    Exec(db, "ROLLBACK", ignored);
  }
  LoseDatapools(error);
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

void SqliteStore::AfterChange(const std::string& name) {
  // A datapool replaced at once (the overwrite question) is one datapool.
  if (pendingDatapools_.empty() || pendingDatapools_.back() != std::pair(name, operation_)) {
    pendingDatapools_.emplace_back(name, operation_);
  }
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

int32_t SqliteStore::Fail(const std::string& message) {
  console_.Write(message + kLineEnd);
  ++scriptsNotStored_;
  lastSaveFailed_ = true;
  return save_result::kNotWritten;
}

std::optional<std::vector<std::string>> SqliteStore::CheckedFolders(const std::string& fileName,
                                                                    const std::string& folder, dsScriptType type,
                                                                    int16_t refusal) {
  const bool tell = refusal != 0;
  const auto refuse = [&](int16_t id, const std::vector<std::string>& args) {
    if (tell) Fail(Text(id, args));
    return std::nullopt;
  };
  const fs::path* root = Root(type);
  if (root == nullptr) return refuse(WB_STORE_UNKNOWN_TYPE, {std::to_string(type)});
  if (fileName.empty() || fileName.find_first_of("\\/") != std::string::npos) {
    return refuse(WB_STORE_BAD_FILE_NAME, {fileName, folder});
  }
  // (The texts of a refusal are made only for one.)
  const auto shown = [&] { return ShownName(fileName, folder); };
  const auto rootShown = [&] { return root->string() + "/"; };
  if (fileName.find('\0') != std::string::npos || folder.find('\0') != std::string::npos) {
    return refuse(WB_STORE_NUL_IN_NAME, {shown()});
  }
  // "C:x" would name a drive where paths have drives: no such name is taken.
  for (const std::string* name : {&folder, &fileName}) {
    if (IsAbsolute(*name) && !IsSeparator((*name)[0])) {
      return refuse(WB_STORE_DRIVE_NAME, {shown(), name->substr(0, 1), *name});
    }
  }
  if (IsAbsolute(folder) || fileName == "." || fileName == "..") return refuse(refusal, {shown(), rootShown()});
  std::vector<std::string> folders;
  for (std::string& part : Components(folder)) {
    if (part == "..") return refuse(refusal, {shown(), rootShown()});
    if (part != ".") folders.push_back(std::move(part));
  }
  return folders;
}

int32_t SqliteStore::Write(int folderFd, const std::vector<std::string>& folders, const std::string& fileName,
                           const fs::path& target, const std::string& content, dsScriptType type) {
  std::string reason;
  try {
    if (batching_ && type == dsJavaScript) {
      const std::string temporary = WriteTemporaryIn(folderFd, fileName, content, false, target.string());
      std::shared_ptr<const std::vector<std::string>> shared =
          !pendingScripts_.empty() && *pendingScripts_.back().folders == folders
              ? pendingScripts_.back().folders
              : std::make_shared<const std::vector<std::string>>(folders);
      pendingScripts_.push_back({std::move(shared), temporary, fileName, target.string(), operation_});
      pendingTargets_.Insert(TargetDigest(target.string()));
      if (!batchStart_) batchStart_ = std::chrono::steady_clock::now();
      if (BatchDue() || pendingScripts_.size() >= kBatchScripts) Flush();
      return save_result::kStored;
    }
    const std::string temporary = WriteTemporaryIn(folderFd, fileName, content, true, target.string());
    if (::renameat(folderFd, temporary.c_str(), folderFd, fileName.c_str()) == 0) return save_result::kStored;
    const int error = errno;
    ::unlinkat(folderFd, temporary.c_str(), 0);
    reason = std::strerror(error);
  } catch (const ZtError& e) {
    reason = e.Description();
  } catch (const std::exception& e) {
    reason = e.what();
  }
  return Fail(Text(WB_STORE_WRITE_FAILED, {target.string(), reason}));
}

int32_t SqliteStore::SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                                const std::string& content) {
  if (!connection_) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_NOT_OPEN));
  lastSaveFailed_ = false;
  const std::optional<std::vector<std::string>> folders = CheckedFolders(fileName, folder, type, WB_STORE_PATH_REFUSED);
  if (!folders) return save_result::kNotWritten;
  const fs::path& root = *Root(type);
  const fs::path target = Below(root, *folders, fileName);
  const auto refuse = [&] {
    return Fail(Text(WB_STORE_PATH_REFUSED, {ShownName(fileName, folder), root.string() + "/"}));
  };

  // The folder is made and opened below the root in one go: a symbolic link
  // leading out is found before anything is created behind it.
  const int rootFd = roots_.at(type).Get();
  const UniqueFd folderFd = OpenFolderBeneath(rootFd, *folders, true);
  if (!folderFd) {
    const int error = errno;
    if (LeavesRoot(error)) return refuse();
    MarkStored(fileName, folder, type);
    return Fail(Text(WB_STORE_WRITE_FAILED, {target.string(), std::strerror(error)}));
  }
  // A name longer than the folder's file system takes fails now, not when a
  // batch renames its temporary file (whose name is cut to fit). The longest
  // name is asked once per root: a folder below it on a file system of its
  // own that takes shorter names refuses the temporary file at once.
  auto known = longestNames_.find(type);
  if (known == longestNames_.end()) known = longestNames_.emplace(type, ::fpathconf(folderFd.Get(), _PC_NAME_MAX)).first;
  const long longestName = known->second;
  if (longestName > 0 && fileName.size() > static_cast<size_t>(longestName)) {
    MarkStored(fileName, folder, type);
    return Fail(Text(WB_STORE_WRITE_FAILED, {target.string(), std::strerror(ENAMETOOLONG)}));
  }
  if (pendingTargets_.Contains(TargetDigest(target.string()))) Flush();
  errno = 0;
  const std::optional<std::string> existing = ReadScript(rootFd, Relative(*folders, fileName));
  if (!existing && LeavesRoot(errno)) return refuse();  // a symbolic link to a file outside
  MarkStored(fileName, folder, type);

  if (existing) {
    if (*existing == content) return save_result::kStored;
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
  return Write(folderFd.Get(), *folders, fileName, target, content, type);
}

int32_t SqliteStore::DeleteScript(const std::string& fileName, const std::string& folder, dsScriptType type) {
  if (!connection_) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_NOT_OPEN));
  const std::optional<std::vector<std::string>> folders =
      CheckedFolders(fileName, folder, type, WB_STORE_DELETE_REFUSED);
  if (!folders) return delete_result::kNotDeleted;
  const fs::path root = *RootBelow(folder_, type);
  const fs::path target = Below(root, *folders, fileName);
  const auto failed = [&](int error) {
    Fail(Text(WB_STORE_DELETE_FAILED, {target.string(), std::strerror(error)}));
    return delete_result::kNotDeleted;
  };
  const UniqueFd folderFd = OpenFolderBeneath(roots_.at(type).Get(), *folders, false);
  if (!folderFd) {
    const int error = errno;
    if (error == ENOENT) return delete_result::kNoSuchFile;
    if (!LeavesRoot(error)) return failed(error);
    Fail(Text(WB_STORE_DELETE_REFUSED, {ShownName(fileName, folder), root.string() + "/"}));
    return delete_result::kNotDeleted;
  }
  struct stat st {};
  if (::fstatat(folderFd.Get(), fileName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? delete_result::kNoSuchFile : failed(errno);
  }
  // A symbolic link is removed itself, never what it points to; a folder is
  // no script; a file that may not be written is not forced.
  if (S_ISDIR(st.st_mode)) return failed(EISDIR);
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) return failed(EACCES);
  if (::unlinkat(folderFd.Get(), fileName.c_str(), 0) != 0) return failed(errno);
  return delete_result::kDeleted;
}

bool SqliteStore::ScriptExists(const std::string& fileName, const std::string& folder, dsScriptType type) {
  if (!connection_) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_NOT_OPEN));
  const std::optional<std::vector<std::string>> folders = CheckedFolders(fileName, folder, type, 0);
  if (!folders) return false;
  const UniqueFd file = OpenBeneath(roots_.at(type).Get(), Relative(*folders, fileName), O_PATH);
  struct stat st {};
  return file && ::fstat(file.Get(), &st) == 0 && S_ISREG(st.st_mode);
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
    if (fs::is_symlink(fs::symlink_status(sub, ec))) return problem(sub, WB_STORE_SYMLINK_FOLDER);
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
  // A database that another program holds locked is busy, not damaged.
  const auto failed = [&](const std::string& error) {
    if (IsBusy(sqlite3_extended_errcode(handle))) {
      return std::optional<std::string>(Text(WB_STORE_CANNOT_OPEN, {database.string(), BusyReason(database)}));
    }
    return problem(database, WB_STORE_DAMAGED, {error});
  };
  std::string error;
  int versions = 0;
  if (!QueryInt(handle, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'",
                versions, error)) {
    return failed(error);
  }
  int version = 0;
  if (versions == 1 && !QueryInt(handle, "SELECT COALESCE(MAX(version), 0) FROM schema_version", version, error)) {
    return failed(error);
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
  const bool busy = IsBusy(sqlite3_extended_errcode(handle));
  sqlite3_finalize(check);
  if (verdict == "ok") return std::nullopt;
  if (busy) return std::optional<std::string>(Text(WB_STORE_CANNOT_OPEN, {database.string(), BusyReason(database)}));
  for (char& c : verdict) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return problem(database, WB_STORE_DAMAGED, {verdict});
}

}  // namespace zt::wb
