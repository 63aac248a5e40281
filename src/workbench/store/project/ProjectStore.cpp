// The store in a project's own tree (see ProjectStore.h): the lock, reading
// the records and datapool files into the in-memory database, and writing
// back what changed.
#include "workbench/store/project/ProjectStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "strings/StringIds.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "workbench/store/Datapools.h"
#include "workbench/store/sqlite/SqliteStore.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/text/Csv.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLockFile = ".ztunittest.lock";
constexpr const char* kJavaRoot = "src/test/java";
constexpr const char* kVisualBasicRoot = "src/test/vb";
constexpr const char* kCsvExtension = ".csv";
constexpr const char* kLineEnd = "\n";
// The line the records file begins with; lines beginning with "#" are comments.
constexpr const char* kRecordsHeading =
    "# ztunittest's records of the tests and datapools of this project: one record a line (docs/datapools.md)";

std::string RecordsHeading() { return std::string(kRecordsHeading) + kLineEnd; }

[[noreturn]] void RaiseCannotOpen(const fs::path& path, const std::string& reason) {
  RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {path.string(), reason}));
}

std::string FolderReason(int error) {
  return error == ELOOP || error == ENOTDIR ? Text(WB_STORE_SYMLINK_FOLDER) : std::string(std::strerror(error));
}

// The folder `below` ("/"-separated) of the open folder `parent`, each
// folder on the way made when `create` and never a symbolic link; an empty
// descriptor with errno set when it is not there or not usable.
UniqueFd OpenBelow(int parent, const std::string& below, bool create) {
  UniqueFd folder(::dup(parent));
  for (const std::string& part : PathComponents(below)) {
    UniqueFd next = OpenFolderNoFollow(folder.Get(), part, create);
    if (!next) return next;
    folder = std::move(next);
  }
  return folder;
}

// What the file `name` in the open folder `folder` holds; nullopt when there
// is no such file. Raises error 75 when it is there and cannot be read (a
// symbolic link included).
std::optional<std::string> ReadIn(int folder, const std::string& name, const fs::path& shown) {
  const UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!file) {
    if (errno == ENOENT) return std::nullopt;
    RaiseFileError(errno, shown.string());
  }
  std::optional<std::string> content = ReadOpenFile(file.Get());
  if (!content) RaiseFileError(errno, shown.string());
  return content;
}

// A field of a record line: "\", tab and line ends escaped.
std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[++i]) {
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: out += text[i];
    }
  }
  return out;
}

std::string RecordLine(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + Escaped(field);
  return line;
}

std::vector<std::string> RecordFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(Unescaped(line.substr(start, tab - start)));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// Whether `name` can be the name of a datapool's file in the datapools'
// folder: no folder of its own, nothing hidden, nothing above.
bool IsFileName(const std::string& name) {
  return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

bool IsConflictMarker(const std::string& line) {
  for (const char* marker : {"<<<<<<<", "=======", ">>>>>>>", "|||||||"}) {
    if (line.rfind(marker, 0) == 0) return true;
  }
  return false;
}

}  // namespace

// The store's in-memory database and the files it is read from and written
// to.
class ProjectDatabase : public SqliteConnection {
 public:
  ProjectDatabase(sqlite3* handle, UniqueFd root, const fs::path& rootPath)
      : SqliteConnection(handle), root_(std::move(root)), rootPath_(rootPath), dataPath_(rootPath / kProjectDataFolder) {}

  void Committed() override {
    if (onCommit_) onCommit_();
  }
  void SetOnCommit(std::function<void()> onCommit) { onCommit_ = std::move(onCommit); }

  /// Reads the records and the datapool files (none: an empty store), the
  /// datapools' folder made when `create`; what cannot be taken is told on
  /// `console` and kept in the files.
  void Load(Console* console, bool create);
  /// Writes what differs from the files (see the file comment); the
  /// records only when `records`.
  void Save(bool records = true);

 private:
  // The datapools' folder, made when `create`; empty when it is not there.
  int DataFolder(bool create);
  void Tell(Console* console, const std::string& message) {
    if (console != nullptr) console->Write(message + kLineEnd);
  }
  void LoadRecords(const std::string& text, Console* console,
                   std::map<std::string, std::vector<std::string>>& datapoolRecords);
  void LoadDatapool(const std::string& name, const std::string& csv, const std::vector<std::string>* record,
                    Console* console);
  std::string RecordsText();
  void MarkForUnionMerge();

  UniqueFd root_;
  fs::path rootPath_;
  fs::path dataPath_;
  UniqueFd data_;
  std::function<void()> onCommit_;
  // What the files hold as this store last read or wrote them: each
  // datapool's digest, and the records text.
  struct Saved {
    std::string digest;
    uint64_t pass = 0;  // the last Save that found the datapool
  };
  std::unordered_map<std::string, Saved> savedDigests_;
  uint64_t pass_ = 0;
  // The database's count of changed rows when the files were last in step.
  int64_t savedChanges_ = -1;
  std::string savedRecords_;
  // The record lines of datapools whose file could not be read: written
  // back as they were, so that mending the file is all it takes.
  std::map<std::string, std::string> keptDatapoolLines_;
};

int ProjectDatabase::DataFolder(bool create) {
  if (!data_) {
    data_ = OpenBelow(root_.Get(), kProjectDataFolder, create);
    if (!data_ && (create || errno != ENOENT)) RaiseCannotOpen(dataPath_, FolderReason(errno));
  }
  return data_.Get();
}

void ProjectDatabase::Load(Console* console, bool create) {
  if (DataFolder(create) < 0) return;
  std::map<std::string, std::vector<std::string>> datapoolRecords;
  if (const std::optional<std::string> records =
          ReadIn(data_.Get(), kProjectRecordsFile, dataPath_ / kProjectRecordsFile)) {
    LoadRecords(*records, console, datapoolRecords);
    savedRecords_ = *records;
  }
  // Every NAME.csv is a datapool, whether or not it has a record.
  std::set<std::string> names;
  if (DIR* listing = ::fdopendir(::dup(data_.Get())); listing != nullptr) {
    while (const dirent* entry = ::readdir(listing)) {
      const std::string file = entry->d_name;
      const size_t extension = file.size() - std::strlen(kCsvExtension);
      if (file.size() > std::strlen(kCsvExtension) && file.compare(extension, std::string::npos, kCsvExtension) == 0 &&
          IsFileName(file)) {
        names.insert(file.substr(0, extension));
      }
    }
    ::closedir(listing);
  }
  Transaction transaction(*this);
  for (const std::string& name : names) {
    const auto record = datapoolRecords.find(name);
    const std::optional<std::string> csv = ReadIn(data_.Get(), name + kCsvExtension, dataPath_ / (name + kCsvExtension));
    if (!csv) continue;
    LoadDatapool(name, *csv, record != datapoolRecords.end() ? &record->second : nullptr, console);
  }
  // (A record whose file is gone names a datapool deleted outside the store:
  // it is dropped when the records are next written.)
  transaction.Commit();
  Statement digests(*this, "SELECT name, digest FROM datapools");
  while (digests.Step()) savedDigests_[digests.ColumnText(0)] = {digests.ColumnText(1), pass_};
  savedChanges_ = sqlite3_total_changes64(Handle());
}

void ProjectDatabase::LoadRecords(const std::string& text, Console* console,
                                  std::map<std::string, std::vector<std::string>>& datapoolRecords) {
  const fs::path file = dataPath_ / kProjectRecordsFile;
  Transaction transaction(*this);
  bool markersTold = false;
  size_t lineNumber = 0;
  // Generated digests recorded twice with other values: dropped.
  std::set<std::pair<std::string, std::string>> doubtful;
  const auto twice = [&](const std::string& what) { Tell(console, Text(WB_PROJECT_RECORDED_TWICE, {file.string(), what})); };
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (IsConflictMarker(line)) {
      if (!markersTold) Tell(console, Text(WB_PROJECT_CONFLICT_MARKERS, {file.string(), std::to_string(lineNumber)}));
      markersTold = true;
      continue;
    }
    const std::vector<std::string> f = RecordFields(line);
    const std::string& kind = f[0];
    const auto insert = [&](const char* sql, const std::vector<std::string>& values) {
      Statement statement(*this, sql);
      for (size_t i = 0; i < values.size(); ++i) statement.Bind(static_cast<int>(i + 1), values[i]);
      return statement.Step();
    };
    if (kind == "datapool" && f.size() >= 4 && f.size() % 2 == 0) {
      if (!datapoolRecords.emplace(f[1], f).second && datapoolRecords[f[1]] != f) twice(f[1]);
    } else if (kind == "name" && f.size() == 3) {
      if (!insert("INSERT INTO datapool_names (operation, name, recorded) VALUES (?, ?, '') "
                  "ON CONFLICT DO NOTHING RETURNING 1",
                  {f[1], f[2]})) {
        twice(f[1]);
      }
    } else if (kind == "script" && f.size() == 7) {
      if (!insert("INSERT INTO script_names (type, folder, name, base, suffix, operation, recorded) "
                  "VALUES (?, ?, ?, ?, ?, ?, '') ON CONFLICT DO NOTHING RETURNING 1",
                  {f[1], f[2], f[3], f[4], f[5], f[6]})) {
        twice(f[6]);
      }
    } else if (kind == "generated" && f.size() == 4) {
      if (!insert("INSERT INTO generated_scripts (type, path, digest, recorded) VALUES (?, ?, ?, '') "
                  "ON CONFLICT DO NOTHING RETURNING 1",
                  {f[1], f[2], f[3]})) {
        Statement same(*this, "SELECT 1 FROM generated_scripts WHERE type = ? AND path = ? AND digest = ?");
        same.Bind(1, f[1]).Bind(2, f[2]).Bind(3, f[3]);
        if (!same.Step()) doubtful.emplace(f[1], f[2]);
      }
    } else if (kind == "option" && f.size() == 3) {
      if (!insert("INSERT INTO tool_options (number, value) VALUES (?, ?) ON CONFLICT DO NOTHING RETURNING 1",
                  {f[1], f[2]})) {
        twice(Text(WB_PROJECT_OPTION, {f[1]}));
      }
    } else {
      Tell(console, Text(WB_PROJECT_BAD_RECORD, {file.string(), std::to_string(lineNumber)}));
    }
  }
  // What two branches generated differently is asked about when it is
  // generated again, not replaced.
  for (const auto& [type, path] : doubtful) {
    Statement drop(*this, "DELETE FROM generated_scripts WHERE type = ? AND path = ?");
    drop.Bind(1, type).Bind(2, path).Run();
    twice(path);
  }
  transaction.Commit();
}

void ProjectDatabase::LoadDatapool(const std::string& name, const std::string& csv,
                                   const std::vector<std::string>* record, Console* console) {
  const fs::path file = dataPath_ / (name + kCsvExtension);
  Datapool datapool;
  datapool.name = name;
  std::map<std::string, std::string> types;
  if (record != nullptr) {
    datapool.description = (*record)[2];
    datapool.user = (*record)[3];
    for (size_t i = 4; i + 1 < record->size(); i += 2) types[(*record)[i]] = (*record)[i + 1];
  }
  try {
    const std::vector<CsvRecord> records = ParseCsv(csv);
    if (!records.empty()) {
      for (const std::string& field : records.front().values) datapool.fields.push_back({field, types[field]});
      std::set<std::string> seen;
      for (const DatapoolField& field : datapool.fields) {
        if (!seen.insert(field.name).second) {
          RaiseError(errc::kInvalidCall, {}, Text(WB_PROJECT_FIELD_TWICE, {field.name}));
        }
      }
      datapool.rows = ReadDatapoolCsv(datapool, csv);
    }
    CopyDatapool(*this, datapool);
  } catch (const ZtError& e) {
    Tell(console, Text(WB_PROJECT_BAD_CSV, {file.string(), e.Description(), name}));
    if (record != nullptr) keptDatapoolLines_[name] = RecordLine(*record);
  }
}

std::string ProjectDatabase::RecordsText() {
  std::vector<std::string> lines;
  // Each datapool's line, its fields appended as both queries walk the
  // datapools in the order of their keys.
  {
    Statement datapools(*this, "SELECT id, name, description, \"user\" FROM datapools ORDER BY id");
    Statement fields(*this, "SELECT datapool, name, type FROM datapool_fields ORDER BY datapool, position");
    bool field = fields.Step();
    while (datapools.Step()) {
      const int64_t id = datapools.ColumnInt(0);
      std::string name = datapools.ColumnText(1);
      std::string line = RecordLine({"datapool", name, datapools.ColumnText(2), datapools.ColumnText(3)});
      for (; field && fields.ColumnInt(0) <= id; field = fields.Step()) {
        if (fields.ColumnInt(0) < id) continue;
        line.append("\t").append(Escaped(fields.ColumnText(1))).append("\t").append(Escaped(fields.ColumnText(2)));
      }
      lines.push_back(std::move(line));
    }
  }
  for (const auto& [name, line] : keptDatapoolLines_) {
    Statement stored(*this, "SELECT 1 FROM datapools WHERE name = ?");
    if (!stored.Bind(1, name).Step()) lines.push_back(line);
  }
  const auto add = [&](const char* kind, const char* sql, int columns) {
    Statement query(*this, sql);
    while (query.Step()) {
      std::vector<std::string> fields{kind};
      for (int c = 0; c < columns; ++c) fields.push_back(query.ColumnText(c));
      lines.push_back(RecordLine(fields));
    }
  };
  add("name", "SELECT operation, name FROM datapool_names", 2);
  add("script", "SELECT type, folder, name, base, suffix, operation FROM script_names", 6);
  add("generated", "SELECT type, path, digest FROM generated_scripts", 3);
  add("option", "SELECT number, value FROM tool_options", 2);
  std::sort(lines.begin(), lines.end());
  size_t size = RecordsHeading().size();
  for (const std::string& line : lines) size += line.size() + 1;
  std::string text = RecordsHeading();
  text.reserve(size);
  for (const std::string& line : lines) text.append(line).append(kLineEnd);
  return text;
}

void ProjectDatabase::Save(bool withRecords) {
  // Nothing changed in the database since the files were last written (or
  // read): nothing to look at.
  const int64_t changes = sqlite3_total_changes64(Handle());
  if (changes == savedChanges_) return;
  // The datapools whose content is not what their file holds, and those
  // whose file is no datapool's any more (not seen in this pass).
  ++pass_;
  std::vector<std::pair<std::string, std::string>> changed;  // name, digest
  std::vector<std::pair<std::string, std::string>> files;    // file, content
  {
    Statement query(*this, "SELECT name, digest FROM datapools");
    while (query.Step()) {
      std::string name = query.ColumnText(0);
      std::string digest = query.ColumnText(1);
      const auto saved = savedDigests_.find(name);
      if (saved != savedDigests_.end()) saved->second.pass = pass_;
      if (saved != savedDigests_.end() && saved->second.digest == digest && !digest.empty()) continue;
      changed.emplace_back(std::move(name), std::move(digest));
    }
  }
  for (const auto& [name, digest] : changed) {
    if (!IsFileName(name)) {
      RaiseError(errc::kPathFileAccessError, {}, Text(WB_PROJECT_NAME_NOT_A_FILE, {name, dataPath_.string()}));
    }
    const std::optional<Datapool> datapool = wb::LoadDatapool(*this, name);
    if (datapool) files.emplace_back(name + kCsvExtension, DatapoolCsv(*datapool));
  }
  std::vector<std::string> gone;
  for (const auto& [name, saved] : savedDigests_) {
    if (saved.pass != pass_) gone.push_back(name);
  }
  const std::string records = withRecords ? RecordsText() : savedRecords_;
  // A store that holds nothing makes no file.
  const bool recordsChanged = records != savedRecords_ && !(savedRecords_.empty() && records == RecordsHeading());
  if (files.empty() && gone.empty() && !recordsChanged) {
    if (withRecords) savedChanges_ = changes;
    return;
  }
  if (recordsChanged) files.emplace_back(kProjectRecordsFile, records);

  // Each file is written beside its name, all are made durable together,
  // then renamed: the records last, so that they never name what is not there.
  const int folder = DataFolder(true);
  std::vector<std::pair<std::string, std::string>> renames;  // temporary, name
  try {
    for (const auto& [name, content] : files) {
      const fs::path shown = dataPath_ / name;
      // A datapool the files did not hold has no file to compare with.
      const bool held = name == kProjectRecordsFile ||
                        savedDigests_.count(name.substr(0, name.size() - std::strlen(kCsvExtension))) != 0;
      if (const std::optional<std::string> text = held ? ReadIn(folder, name, shown) : std::nullopt;
          text && *text == content) {
        continue;
      }
      renames.emplace_back(WriteTemporaryIn(folder, name, content, false, shown.string()), name);
    }
    if (!renames.empty() && ::syncfs(folder) != 0) RaiseFileError(errno, dataPath_.string());
    for (auto& [temporary, name] : renames) {
      if (::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        RaiseFileError(errno, (dataPath_ / name).string());
      }
      temporary.clear();
    }
  } catch (const ZtError&) {
    for (const auto& [temporary, name] : renames) {
      if (!temporary.empty()) ::unlinkat(folder, temporary.c_str(), 0);
    }
    throw;
  }
  for (const std::string& name : gone) {
    const std::string file = name + kCsvExtension;
    if (::unlinkat(folder, file.c_str(), 0) != 0 && errno != ENOENT) RaiseFileError(errno, (dataPath_ / file).string());
    savedDigests_.erase(name);
  }
  for (auto& [name, digest] : changed) savedDigests_[name] = {std::move(digest), pass_};
  if (recordsChanged) MarkForUnionMerge();
  savedRecords_ = records;
  if (withRecords) savedChanges_ = changes;
}

void ProjectDatabase::MarkForUnionMerge() {
  // Only in a project under git, and only once.
  struct stat st {};
  if (::fstatat(root_.Get(), ".git", &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  const std::string line = std::string(kProjectDataFolder) + "/" + kProjectRecordsFile + " merge=union";
  const fs::path shown = rootPath_ / ".gitattributes";
  std::string attributes = ReadIn(root_.Get(), ".gitattributes", shown).value_or("");
  if (attributes.find(line) != std::string::npos) return;
  if (!attributes.empty() && attributes.back() != '\n') attributes += kLineEnd;
  attributes += line + kLineEnd;
  const std::string temporary = WriteTemporaryIn(root_.Get(), ".gitattributes", attributes, true, shown.string());
  if (::renameat(root_.Get(), temporary.c_str(), root_.Get(), ".gitattributes") != 0) {
    const int error = errno;
    ::unlinkat(root_.Get(), temporary.c_str(), 0);
    RaiseFileError(error, shown.string());
  }
}

namespace {

// An in-memory database of the store's schema over the project `root`
// (held open as `rootFd`), read from its files.
std::unique_ptr<ProjectDatabase> ReadProject(UniqueFd rootFd, const fs::path& root, const std::string& user,
                                             Console* console, bool create) {
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(":memory:", &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (handle == nullptr) RaiseCannotOpen(root, sqlite3_errstr(rc));
  auto db = std::make_unique<ProjectDatabase>(handle, std::move(rootFd), root);
  if (rc != SQLITE_OK) RaiseCannotOpen(root, sqlite3_errmsg(handle));
  CreateStoreSchema(handle, user);
  db->Load(console, create);
  return db;
}

// The process named in the lock file held by another program: "ztunittest
// (process 1234)", or "" when it does not say.
std::string LockHolder(int rootFd) {
  const std::optional<std::string> held = ReadIn(rootFd, kLockFile, kLockFile);
  if (!held || held->empty()) return {};
  const std::string pid = held->substr(0, held->find('\n'));
  std::string name;
  if (const UniqueFd comm(::open(("/proc/" + pid + "/comm").c_str(), O_RDONLY | O_CLOEXEC)); comm) {
    name = ReadOpenFile(comm.Get()).value_or("");
    if (!name.empty() && name.back() == '\n') name.pop_back();
  }
  return Text(WB_STORE_LOCK_HOLDER, {name.empty() ? "?" : name, pid});
}

}  // namespace

ProjectStore::ProjectStore(StoreOptions options, const StoreEnv& env)
    : StoreBase(std::move(options), env), root_(StoreFolderPath(Options().location.folder)) {}

ProjectStore::~ProjectStore() {
  if (db_) {
    db_->SetOnCommit(nullptr);
    Close();
    try {
      Save();
    } catch (const ZtError& e) {
      TheConsole().Write(Text(WB_PROJECT_NOT_SAVED, {root_.string(), e.Description()}) + kLineEnd);
    }
    db_.reset();
  }
  if (lock_) ::unlinkat(OpenFolder(root_.string()).Get(), kLockFile, 0);
}

Database* ProjectStore::Db() { return db_.get(); }

void ProjectStore::OpenStore(const std::string& user) {
  std::error_code ec;
  if (!fs::is_directory(root_, ec)) RaiseCannotOpen(root_, Text(WB_STORE_NOT_A_FOLDER));
  UniqueFd root = OpenFolder(root_.string());
  if (!root) RaiseCannotOpen(root_, std::strerror(errno));
  if (::faccessat(root.Get(), ".", W_OK | X_OK, 0) != 0) RaiseCannotOpen(root_, Text(WB_STORE_READ_ONLY));
  // The lock: a file of its own, taken only while it is the file of that
  // name (one that another program removed meanwhile is taken again).
  for (;;) {
    UniqueFd lock(::openat(root.Get(), kLockFile, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!lock) RaiseCannotOpen(root_ / kLockFile, std::strerror(errno));
    if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
      const std::string holder = LockHolder(root.Get());
      RaiseCannotOpen(root_, Text(WB_PROJECT_IN_USE, {holder.empty() ? Text(WB_STORE_BUSY_SOMEONE) : holder}));
    }
    struct stat held {}, named {};
    if (::fstat(lock.Get(), &held) == 0 && ::fstatat(root.Get(), kLockFile, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
      const std::string pid = std::to_string(::getpid()) + kLineEnd;
      if (::ftruncate(lock.Get(), 0) == 0 && ::pwrite(lock.Get(), pid.data(), pid.size(), 0) < 0) {
        // The pid only names the holder in another program's message.
      }
      lock_ = std::move(lock);
      break;
    }
  }
  ScriptLayout layout;
  layout.roots = {{dsJavaScript, kJavaRoot}, {dsVisualBasicScript, kVisualBasicRoot}};
  layout.droppedFirstFolder = {{dsJavaScript, GetResString(IDS_ROOT_PACKAGE)}};
  Scripts().Open(UniqueFd(::dup(root.Get())), root_, std::move(layout));
  // The datapools' folder is made at the open, as a store folder's layout is.
  db_ = ReadProject(std::move(root), root_, user, &TheConsole(), true);
  db_->SetOnCommit([this] {
    if (!batching_) Save();
  });
  db_->SetBatch(this);
}

void ProjectStore::Save() {
  if (db_) db_->Save(!datapoolsOnly_);
}

void ProjectStore::BeginDatabaseBatch() {
  batching_ = true;
  lostDatapools_.clear();
}

void ProjectStore::BeforeChange() {
  if (!batchStart_) batchStart_ = std::chrono::steady_clock::now();
}

void ProjectStore::AfterChange(const std::string& name) {
  if (!batching_) return;
  if (pendingDatapools_.empty() || pendingDatapools_.back() != std::pair(name, Operation())) {
    pendingDatapools_.emplace_back(name, Operation());
  }
  if (batchStart_ && std::chrono::steady_clock::now() - *batchStart_ >= kBatchInterval) {
    // A batch finished for its age writes the datapools; the records follow
    // at the batch's end, before a question and at the close (a record
    // written late costs at most a question, see StoreBase.h).
    datapoolsOnly_ = true;
    Flush();
    datapoolsOnly_ = false;
  }
}

void ProjectStore::SaveBatch() {
  batchStart_.reset();
  try {
    Save();
  } catch (const ZtError& e) {
    const std::string folder = (root_ / kProjectDataFolder).string();
    for (const auto& [name, operation] : pendingDatapools_) {
      TheConsole().Write(Text(WB_STORE_DATAPOOL_LOST, {name, folder, e.Description()}) + kLineEnd);
      ++datapoolsLost_;
      lostDatapools_.emplace_back(operation, name);
    }
  }
  pendingDatapools_.clear();
}

void ProjectStore::FlushDatabase() { SaveBatch(); }

std::vector<std::pair<int32_t, std::string>> ProjectStore::EndDatabaseBatch() {
  SaveBatch();
  batching_ = false;
  return std::move(lostDatapools_);
}

std::unique_ptr<Database> OpenProjectStoreReadOnly(const std::string& location) {
  const fs::path root = StoreFolderPath(location);
  UniqueFd rootFd = OpenFolder(root.string());
  if (!rootFd) return nullptr;
  {
    const UniqueFd data = OpenBelow(rootFd.Get(), kProjectDataFolder, false);
    if (!data) return nullptr;
  }
  std::unique_ptr<ProjectDatabase> db = ReadProject(std::move(rootFd), root, "", nullptr, false);
  return db;
}

std::optional<std::string> ProjectStoreProblem(const std::string& location) {
  const fs::path root = StoreFolderPath(location);
  std::error_code ec;
  const auto problem = [&](const fs::path& path, const std::string& reason) {
    return std::optional<std::string>(Text(WB_STORE_CANNOT_OPEN, {path.string(), reason}));
  };
  if (!fs::is_directory(root, ec)) return problem(root, Text(WB_STORE_NOT_A_FOLDER));
  if (::access(root.c_str(), W_OK | X_OK) != 0) return problem(root, Text(WB_STORE_READ_ONLY));
  const UniqueFd rootFd = OpenFolder(root.string());
  if (!rootFd) return problem(root, std::strerror(errno));
  const UniqueFd lock(::openat(rootFd.Get(), kLockFile, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (lock && ::flock(lock.Get(), LOCK_SH | LOCK_NB) != 0) {
    const std::string holder = LockHolder(rootFd.Get());
    return problem(root, Text(WB_PROJECT_IN_USE, {holder.empty() ? Text(WB_STORE_BUSY_SOMEONE) : holder}));
  }
  for (const char* below : {kJavaRoot, kVisualBasicRoot, kProjectDataFolder}) {
    const UniqueFd folder = OpenBelow(rootFd.Get(), below, false);
    if (!folder && errno != ENOENT) return problem(root / below, FolderReason(errno));
  }
  return std::nullopt;
}

}  // namespace zt::wb
