// The datapools of the store (see Datapools.h): reading and writing the
// tables, the CSV form, the editor round trip, the explorer's list and the
// overwrite question.
#include "workbench/store/Datapools.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <utility>

#include "support/DynamicResources.h"
#include "support/Error.h"
#include "workbench/store/Database.h"
#include "workbench/store/DatapoolNames.h"
#include "workbench/store/scripts/UserRegions.h"
#include "workbench/terminal/Answers.h"
#include "workbench/terminal/Editor.h"
#include "workbench/text/Csv.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLineEnd = "\n";

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

[[noreturn]] void RaiseBadFields(const std::string& name, const std::string& reason) {
  RaiseError(errc::kInvalidCall, {}, Text(WB_DP_FIELDS_BAD, {name, reason}));
}

// Who changes the store: the user logged in on this connection, else the
// user who last opened the store.
std::string StoreUser(Database& db) {
  if (!db.SessionUser().empty()) return db.SessionUser();
  if (!HasTable(db, "store_info")) return {};
  Statement query(db, "SELECT value FROM store_info WHERE key = 'last_user'");
  return query.Step() ? query.ColumnText(0) : std::string();
}

// Appends `text` as a compact JSON string: quotes,
// backslashes and control characters escaped, everything else as it is.
void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

bool HasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// Raises error 5 when `rows` of the datapool `name` with `fields` hold what
// no store keeps: a NUL byte ends a text in PostgreSQL, and a store folder
// gives the same answer rather than a datapool that cannot be copied over.
void CheckKeepable(const std::string& name, const std::vector<DatapoolField>& fields,
                   const std::vector<std::vector<std::string>>& rows) {
  const auto refuse = [&name](const std::string& what) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_DP_NUL, {name, what}));
  };
  for (size_t f = 0; f < fields.size(); ++f) {
    if (HasNul(fields[f].name) || HasNul(fields[f].type)) refuse(Text(WB_DP_NUL_FIELD, {std::to_string(f + 1)}));
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t f = 0; f < rows[r].size() && f < fields.size(); ++f) {
      if (HasNul(rows[r][f])) refuse(Text(WB_DP_NUL_VALUE, {fields[f].name, std::to_string(r + 1)}));
    }
  }
}

void CheckKeepable(const Datapool& datapool) {
  if (HasNul(datapool.name) || HasNul(datapool.description)) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_DP_NUL, {datapool.name, Text(WB_DP_NUL_HEAD)}));
  }
  CheckKeepable(datapool.name, datapool.fields, datapool.rows);
}

// Raises error 5 for the first value of the CSV `records` (after the header)
// that holds a NUL byte, naming its line and the field of its column in
// `fields`.
void RefuseNul(const std::vector<CsvRecord>& records, const std::vector<std::string>& fields) {
  for (size_t i = 1; i < records.size(); ++i) {
    for (size_t c = 0; c < records[i].values.size() && c < fields.size(); ++c) {
      if (!HasNul(records[i].values[c])) continue;
      RaiseError(errc::kInvalidCall, {}, Text(WB_DP_CSV_NUL, {std::to_string(records[i].line), fields[c]}));
    }
  }
}

// Raises error 5 for a record of `records` (after the header) that has not
// one value per field of `fields`.
void RefuseValueCounts(const std::vector<CsvRecord>& records, size_t fields) {
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i].values.size() == fields) continue;
    RaiseError(errc::kInvalidCall, {},
               Text(WB_DP_CSV_VALUE_COUNT, {std::to_string(records[i].line), std::to_string(records[i].values.size()),
                                            std::to_string(fields)}));
  }
}

// The ids of the fields of datapool `id`, in order.
std::vector<int64_t> FieldIds(Database& db, int64_t id) {
  Statement query(db, "SELECT id FROM datapool_fields WHERE datapool = ? ORDER BY position");
  query.Bind(1, id);
  std::vector<int64_t> ids;
  while (query.Step()) ids.push_back(query.ColumnInt(0));
  return ids;
}

// How many rows, or values, one INSERT writes: on PostgreSQL each statement
// is a round trip to the server, and a datapool of 100,000 rows took one per
// value.
constexpr size_t kInsertChunk = 200;

// "`head` (?, ?), (?, ?), ..." with `tuples` tuples of `width` parameters.
std::string TuplesSql(const char* head, size_t width, size_t tuples) {
  std::string tuple = "(";
  for (size_t i = 0; i < width; ++i) tuple += i == 0 ? "?" : ", ?";
  tuple += ")";
  std::string sql = head;
  for (size_t i = 0; i < tuples; ++i) sql += (i == 0 ? "" : ", ") + tuple;
  return sql;
}

void InsertRows(Database& db, int64_t id, const std::vector<int64_t>& fieldIds,
                const std::vector<std::vector<std::string>>& rows) {
  if (db.InsertRowsAtOnce(id, fieldIds, rows)) return;
  static constexpr const char* kRows = "INSERT INTO datapool_rows (datapool, position) VALUES ";
  static constexpr const char* kValues = "INSERT INTO datapool_values (row, field, value) VALUES ";
  std::vector<int64_t> rowIds(rows.size());
  if (rows.size() == 1) {  // a datapool's usual one row: its id comes with the insert
    Statement insert(db, "INSERT INTO datapool_rows (datapool, position) VALUES (?, 1) RETURNING id");
    if (insert.Bind(1, id).Step()) rowIds[0] = insert.ColumnInt(0);
  }
  for (size_t start = 0; rows.size() > 1 && start < rows.size(); start += kInsertChunk) {
    const size_t count = std::min(kInsertChunk, rows.size() - start);
    Statement insert(db, TuplesSql(kRows, 2, count).c_str());
    for (size_t r = 0; r < count; ++r) {
      insert.Bind(static_cast<int>(2 * r + 1), id)
          .Bind(static_cast<int>(2 * r + 2), static_cast<int64_t>(start + r + 1));
    }
    insert.Run();
  }
  if (fieldIds.empty() || rows.empty()) return;
  if (rows.size() > 1) {
    Statement ids(db, "SELECT id, position FROM datapool_rows WHERE datapool = ?");
    ids.Bind(1, id);
    while (ids.Step()) {
      const int64_t position = ids.ColumnInt(1);
      if (position >= 1 && static_cast<size_t>(position) <= rows.size())
        rowIds[static_cast<size_t>(position) - 1] = ids.ColumnInt(0);
    }
  }
  const size_t total = rows.size() * fieldIds.size();
  for (size_t start = 0; start < total; start += kInsertChunk) {
    const size_t count = std::min(kInsertChunk, total - start);
    Statement insert(db, TuplesSql(kValues, 3, count).c_str());
    for (size_t i = 0; i < count; ++i) {
      const size_t r = (start + i) / fieldIds.size();
      const size_t f = (start + i) % fieldIds.size();
      const int at = static_cast<int>(3 * i);
      insert.Bind(at + 1, rowIds[r]).Bind(at + 2, fieldIds[f]);
      insert.Bind(at + 3, f < rows[r].size() ? rows[r][f] : std::string());
    }
    insert.Run();
  }
}

void DeleteRows(Database& db, int64_t id) {
  Statement values(db, "DELETE FROM datapool_values WHERE row IN (SELECT id FROM datapool_rows WHERE datapool = ?)");
  values.Bind(1, id).Run();
  Statement rows(db, "DELETE FROM datapool_rows WHERE datapool = ?");
  rows.Bind(1, id).Run();
}

// The digest of a datapool's description, fields and rows, each text with
// its length before it, each list with its count (see DatapoolDigest); each
// row with one value per field when `asStored`, else with its own.
std::string ContentDigest(const std::string& description, const std::vector<DatapoolField>& fields,
                          const std::vector<std::vector<std::string>>& rows, bool asStored) {
  std::string text;
  const auto add = [&text](const std::string& part) {
    text += std::to_string(part.size());
    text += ':';
    text += part;
  };
  add(description);
  text += std::to_string(fields.size()) + 'f';
  for (const DatapoolField& field : fields) {
    add(field.name);
    add(field.type);
  }
  text += std::to_string(rows.size()) + 'r';
  const std::string none;
  for (const std::vector<std::string>& row : rows) {
    const size_t values = asStored ? fields.size() : row.size();
    text += std::to_string(values) + 'v';
    for (size_t v = 0; v < values; ++v) add(v < row.size() ? row[v] : none);
  }
  return TextDigest(text);
}

// Writes the fields and rows of `datapool` below the datapool row `id`.
void InsertContent(Database& db, int64_t id, const Datapool& datapool) {
  Statement field(db, "INSERT INTO datapool_fields (datapool, position, name, type) VALUES (?, ?, ?, ?) RETURNING id");
  std::vector<int64_t> fieldIds;
  for (size_t f = 0; f < datapool.fields.size(); ++f) {
    field.Reset();
    field.Bind(1, id).Bind(2, static_cast<int64_t>(f + 1)).Bind(3, datapool.fields[f].name);
    field.Bind(4, datapool.fields[f].type).Step();
    fieldIds.push_back(field.ColumnInt(0));
  }
  InsertRows(db, id, fieldIds, datapool.rows);
}

// The change of one datapool: all of it or nothing. Out of an open
// transaction it is one; a datapool replaced in an open transaction (a
// store's batch) gets a savepoint of it. A datapool added in an open
// transaction gets none, since a savepoint first copies every page the
// datapool touches, for every datapool: should a write fail, what was written
// for the new datapool is deleted again instead.
class DatapoolChange {
 public:
  explicit DatapoolChange(Database& db) : db_(db) {
    if (!db_.InTransaction()) transaction_.emplace(db_);
  }
  ~DatapoolChange() {
    if (committed_ || transaction_ || added_ == 0 || !db_.InTransaction()) return;
    try {
      DeleteRows(db_, added_);
      Statement fields(db_, "DELETE FROM datapool_fields WHERE datapool = ?");
      fields.Bind(1, added_).Run();
      Statement datapool(db_, "DELETE FROM datapools WHERE id = ?");
      datapool.Bind(1, added_).Run();
    } catch (...) {
      // The database fails as a whole: the error that brought us here stands.
    }
  }
  DatapoolChange(const DatapoolChange&) = delete;
  DatapoolChange& operator=(const DatapoolChange&) = delete;

  /// Before the stored datapool is changed.
  void Replacing() {
    if (!transaction_) transaction_.emplace(db_);
  }
  /// After datapool `id` was added.
  void Added(int64_t id) { added_ = id; }
  void Commit() {
    if (transaction_) transaction_->Commit();
    committed_ = true;
  }

 private:
  Database& db_;
  std::optional<Transaction> transaction_;
  int64_t added_ = 0;
  bool committed_ = false;
};

// The model's side of the datapool `wanted` as the model gives it: its
// description, fields and initial row, as a digest (see the file comment).
std::string ModelDigest(const Datapool& wanted) {
  std::string text;
  const auto add = [&text](const std::string& part) { text += std::to_string(part.size()) + ':' + part; };
  add(wanted.description);
  for (const DatapoolField& field : wanted.fields) {
    add(field.name);
    add(field.type);
  }
  text += '|';
  if (!wanted.rows.empty()) {
    for (const std::string& value : wanted.rows.front()) add(value);
  }
  return TextDigest(text);
}

// The digest recorded as the model side of the datapool `name`; "" for none.
std::string RecordedModel(Database& db, const std::string& name) {
  if (KnownNames* known = db.Known()) {
    const auto found = known->generated.find(std::to_string(kGeneratedDatapool) + '\n' + name);
    return found == known->generated.end() ? std::string() : found->second;
  }
  Statement query(db, "SELECT digest FROM generated_scripts WHERE type = ? AND path = ?");
  return query.Bind(1, int64_t{kGeneratedDatapool}).Bind(2, name).Step() ? query.ColumnText(0) : std::string();
}

constexpr const char* kRecordModel =
    "INSERT INTO generated_scripts (type, path, digest, recorded) VALUES (?, ?, ?, datetime('now')) "
    "ON CONFLICT (type, path) DO UPDATE SET digest = excluded.digest, recorded = excluded.recorded";

// Records `digest` as the model side of the datapool `name`, joining an open
// transaction, or sent with the batch's deferred changes.
void RecordModel(Database& db, const std::string& name, const std::string& digest) {
  if (db.Deferring()) {
    db.Defer(kRecordModel, {std::to_string(kGeneratedDatapool), name, digest}, name, false,
             [](const std::vector<std::string>*) { return Database::DeferredOutcome{}; });
  } else {
    Statement record(db, kRecordModel);
    record.Bind(1, int64_t{kGeneratedDatapool}).Bind(2, name).Bind(3, digest).Run();
  }
  if (KnownNames* known = db.Known()) known->generated[std::to_string(kGeneratedDatapool) + '\n' + name] = digest;
}

bool SameContent(const Datapool& stored, const Datapool& wanted) {
  return stored.description == wanted.description && stored.fields == wanted.fields && stored.rows == wanted.rows;
}

// Whether `wanted` only adds fields to `stored`: the same description, and
// every stored field, of the same name and type, among the wanted ones in the
// same order. (A model that gives an operation a parameter more.)
bool GainsFieldsOnly(const Datapool& stored, const Datapool& wanted) {
  if (stored.description != wanted.description || stored.fields.size() >= wanted.fields.size()) return false;
  size_t s = 0;
  for (const DatapoolField& field : wanted.fields) {
    if (s < stored.fields.size() && stored.fields[s] == field) ++s;
  }
  return s == stored.fields.size();
}

// `stored` with the fields of `wanted` (see GainsFieldsOnly): every stored row
// keeps its values, and a field it did not have gets the wanted initial value.
Datapool WithFieldsAdded(const Datapool& stored, const Datapool& wanted) {
  Datapool merged = wanted;
  merged.rows.clear();
  for (const std::vector<std::string>& row : stored.rows) {
    std::vector<std::string>& values = merged.rows.emplace_back();
    size_t s = 0;
    for (size_t f = 0; f < wanted.fields.size(); ++f) {
      if (s < stored.fields.size() && stored.fields[s] == wanted.fields[f]) {
        values.push_back(s < row.size() ? row[s] : std::string());
        ++s;
      } else {
        values.push_back(wanted.rows.empty() || f >= wanted.rows[0].size() ? std::string() : wanted.rows[0][f]);
      }
    }
  }
  return merged;
}

// The names of the fields `merged` has and `stored` had not, as a list.
std::string AddedFieldNames(const Datapool& stored, const Datapool& merged) {
  std::string names;
  for (const DatapoolField& field : merged.fields) {
    if (std::find(stored.fields.begin(), stored.fields.end(), field) != stored.fields.end()) continue;
    if (!names.empty()) names += Text(WB_DP_LIST_SEPARATOR);
    names += field.name;
  }
  return names;
}

std::string FieldNames(const Datapool& datapool) {
  if (datapool.fields.empty()) return Text(WB_DP_LIST_NO_FIELDS);
  std::string names;
  for (const DatapoolField& field : datapool.fields) {
    if (!names.empty()) names += Text(WB_DP_LIST_SEPARATOR);
    names += field.name;
  }
  return names;
}

// A value as shown by `datapool show`: quoted, with escapes for quotes,
// backslashes and control characters.
std::string ShownValue(const std::string& value) {
  std::string shown;
  AppendJsonString(shown, json::WithInvalidUtf8Replaced(value));
  return shown;
}

// A file-name-safe form of a datapool name.
std::string SafeName(const std::string& name) {
  std::string safe;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                       c == '-' || c == '.';
    safe += plain ? c : '_';
  }
  return safe.substr(0, 64);
}

// Writes `content` to a new private file in the temporary folder and returns
// its path; raises error 75 with the system's reason when it cannot.
std::string WriteTemporaryFile(const std::string& name, const std::string& content) {
  std::error_code ec;
  fs::path folder = fs::temp_directory_path(ec);
  if (ec) folder = "/tmp";
  std::string pattern = (folder / ("ztunittest-" + SafeName(name) + "-XXXXXX.csv")).string();
  const auto fail = [&pattern](bool made) {
    const int error = errno;
    if (made) ::unlink(pattern.c_str());
    RaiseError(errc::kPathFileAccessError, {}, std::strerror(error));
  };
  const int fd = ::mkstemps(pattern.data(), 4);
  if (fd < 0) fail(false);
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      const int error = errno;
      ::close(fd);
      errno = error;
      fail(true);
    }
    written += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) fail(true);
  return pattern;
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

// The answers of the overwrite question are the codes Ask returns.
Answer OverwriteAnswer(int16_t label, int32_t value, const char* word) { return {Text(label), value, word}; }

}  // namespace

std::string DatapoolFieldList(const std::vector<DatapoolField>& fields, const std::vector<std::string>& values) {
  const auto valueOf = [&values](size_t f) { return f < values.size() ? values[f] : std::string(); };
  // Text that is not UTF-8 is replaced rather than refused, so that the list
  // is JSON; such a list is read back from its text.
  const auto utf8 = [](const std::string& text) {
    return json::IsValidUtf8(text) ? text : json::WithInvalidUtf8Replaced(text);
  };
  std::string text = "[";
  for (size_t f = 0; f < fields.size(); ++f) {
    if (f > 0) text += ',';
    text += "{\"name\":";
    AppendJsonString(text, utf8(fields[f].name));
    text += ",\"type\":";
    AppendJsonString(text, utf8(fields[f].type));
    text += ",\"value\":";
    AppendJsonString(text, utf8(valueOf(f)));
    text += '}';
  }
  text += ']';
  return text;
}

Datapool ParseDatapoolFields(const std::string& name, const std::string& fields) {
  json::Value list;
  try {
    list = json::ParseKeepingNul(fields);
  } catch (const json::ParseError& e) {
    RaiseBadFields(name, Text(WB_DP_FIELDS_NOT_JSON, {std::to_string(e.Where().column)}));
  }
  if (list.type != json::Type::kArray) RaiseBadFields(name, Text(WB_DP_FIELDS_NOT_ARRAY));

  Datapool datapool;
  std::vector<std::string> values;
  std::set<std::string> seen;
  size_t number = 0;
  for (const json::Value& entry : list.items) {
    const std::string position = std::to_string(++number);
    if (entry.type != json::Type::kObject) RaiseBadFields(name, Text(WB_DP_FIELDS_NOT_OBJECT, {position}));
    auto text = [&](const char* key) {
      const json::Value* member = entry.Find(key);
      if (member == nullptr) return std::string();
      if (member->type != json::Type::kString) RaiseBadFields(name, Text(WB_DP_FIELDS_NOT_TEXT, {position, key}));
      return member->text;
    };
    if (entry.Find("name") == nullptr) RaiseBadFields(name, Text(WB_DP_FIELDS_NO_NAME, {position}));
    std::string fieldName = text("name");
    if (fieldName.empty()) RaiseBadFields(name, Text(WB_DP_FIELDS_EMPTY_NAME, {position}));
    if (!seen.insert(fieldName).second) RaiseBadFields(name, Text(WB_DP_FIELDS_DUPLICATE, {position, fieldName}));
    datapool.fields.push_back({std::move(fieldName), text("type")});
    values.push_back(text("value"));
  }
  if (!datapool.fields.empty()) datapool.rows.push_back(std::move(values));
  return datapool;
}

std::string DatapoolDigest(const Datapool& datapool) {
  return ContentDigest(datapool.description, datapool.fields, datapool.rows, false);
}

std::string StoredDigest(const std::string& description, const std::vector<DatapoolField>& fields,
                         const std::vector<std::vector<std::string>>& rows) {
  return ContentDigest(description, fields, rows, true);
}

std::optional<std::vector<Datapool>> Database::LoadDatapools(const std::optional<std::string>& name) {
  (void)name;
  return std::nullopt;
}

std::optional<Datapool> LoadDatapool(Database& db, const std::string& name) {
  if (std::optional<std::vector<Datapool>> found = db.LoadDatapools(name)) {
    if (found->empty()) return std::nullopt;
    return std::move(found->front());
  }
  if (!HasTable(db, "datapools")) return std::nullopt;
  Statement head(db, "SELECT id, description, created, updated, \"user\" FROM datapools WHERE name = ?");
  head.Bind(1, name);
  if (!head.Step()) return std::nullopt;
  Datapool datapool;
  datapool.id = head.ColumnInt(0);
  datapool.name = name;
  datapool.description = head.ColumnText(1);
  datapool.created = head.ColumnText(2);
  datapool.updated = head.ColumnText(3);
  datapool.user = head.ColumnText(4);

  std::map<int64_t, size_t> fieldIndex;
  Statement fields(db, "SELECT id, name, type FROM datapool_fields WHERE datapool = ? ORDER BY position");
  fields.Bind(1, datapool.id);
  while (fields.Step()) {
    fieldIndex[fields.ColumnInt(0)] = datapool.fields.size();
    datapool.fields.push_back({fields.ColumnText(1), fields.ColumnText(2)});
  }
  std::map<int64_t, size_t> rowIndex;
  Statement rows(db, "SELECT id FROM datapool_rows WHERE datapool = ? ORDER BY position");
  rows.Bind(1, datapool.id);
  while (rows.Step()) {
    rowIndex[rows.ColumnInt(0)] = datapool.rows.size();
    datapool.rows.emplace_back(datapool.fields.size());
  }
  Statement values(db,
                   "SELECT v.row, v.field, v.value FROM datapool_values v "
                   "JOIN datapool_rows r ON r.id = v.row WHERE r.datapool = ?");
  values.Bind(1, datapool.id);
  while (values.Step()) {
    const auto row = rowIndex.find(values.ColumnInt(0));
    const auto field = fieldIndex.find(values.ColumnInt(1));
    if (row != rowIndex.end() && field != fieldIndex.end()) {
      datapool.rows[row->second][field->second] = values.ColumnText(2);
    }
  }
  return datapool;
}

std::vector<std::string> DatapoolNames(Database& db) {
  std::vector<std::string> names;
  if (!HasTable(db, "datapools")) return names;
  Statement query(db, "SELECT name FROM datapools ORDER BY name");
  while (query.Step()) names.push_back(query.ColumnText(0));
  return names;
}

std::string DatapoolCsv(const Datapool& datapool) {
  if (datapool.fields.empty()) return {};
  std::vector<std::string> header;
  for (const DatapoolField& field : datapool.fields) header.push_back(field.name);
  std::string csv = CsvLine(header) + kLineEnd;
  for (const std::vector<std::string>& row : datapool.rows) csv += CsvLine(row) + kLineEnd;
  return csv;
}

std::vector<std::vector<std::string>> ReadDatapoolCsv(const Datapool& datapool, const std::string& text) {
  std::vector<CsvRecord> records = ParseCsv(text);
  std::vector<std::string> header;
  for (const DatapoolField& field : datapool.fields) header.push_back(field.name);
  if (records.empty() || records.front().values != header) {
    RaiseError(errc::kInvalidCall, {}, Text(WB_DP_CSV_HEADER, {CsvLine(header)}));
  }
  RefuseNul(records, header);
  RefuseValueCounts(records, header.size());
  std::vector<std::vector<std::string>> rows;
  for (size_t i = 1; i < records.size(); ++i) rows.push_back(std::move(records[i].values));
  return rows;
}

std::vector<std::vector<std::string>> ReadImportedCsv(const Datapool& datapool, const std::string& text) {
  const std::vector<CsvRecord> records = ParseCsv(text);
  std::vector<std::string> fields;
  std::map<std::string, size_t> wanted;
  for (const DatapoolField& field : datapool.fields) {
    wanted[field.name] = fields.size();
    fields.push_back(field.name);
  }
  // Where each column of the file goes in a row of the datapool.
  std::vector<size_t> target;
  std::set<std::string> seen;
  const std::vector<std::string> header = records.empty() ? std::vector<std::string>() : records.front().values;
  for (const std::string& name : header) {
    const auto it = wanted.find(name);
    if (it == wanted.end() || !seen.insert(name).second) break;
    target.push_back(it->second);
  }
  // The oracle fields of a Java test may be left out: they then stay empty.
  const auto optional = [](const std::string& name) {
    return name == GetResString(IDS_FIELD_EXPECTED_EXCEPTION) || name == GetResString(IDS_FIELD_TOLERANCE);
  };
  const bool complete = std::all_of(fields.begin(), fields.end(),
                                    [&](const std::string& name) { return seen.count(name) != 0 || optional(name); });
  if (records.empty() || target.size() != header.size() || !complete) {
    const size_t line = records.empty() ? 1 : records.front().line;
    RaiseError(errc::kInvalidCall, {}, Text(WB_DP_IMPORT_HEADER, {std::to_string(line), CsvLine(fields)}));
  }
  RefuseNul(records, header);
  RefuseValueCounts(records, header.size());
  std::vector<std::vector<std::string>> rows;
  for (size_t i = 1; i < records.size(); ++i) {
    std::vector<std::string> row(fields.size());
    for (size_t c = 0; c < records[i].values.size(); ++c) row[target[c]] = records[i].values[c];
    rows.push_back(std::move(row));
  }
  return rows;
}

void ReplaceDatapoolRows(Database& db, const Datapool& datapool, const std::vector<std::vector<std::string>>& rows) {
  CheckKeepable(datapool.name, datapool.fields, rows);
  Transaction transaction(db);
  const std::optional<Datapool> current = LoadDatapool(db, datapool.name);
  if (!current || current->id != datapool.id || current->fields != datapool.fields) {
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_DP_CHANGED_MEANWHILE, {datapool.name}));
  }
  DeleteRows(db, datapool.id);
  InsertRows(db, datapool.id, FieldIds(db, datapool.id), rows);
  Statement touch(db, "UPDATE datapools SET updated = datetime('now'), \"user\" = ?, digest = ? WHERE id = ?");
  touch.Bind(1, StoreUser(db)).Bind(2, StoredDigest(datapool.description, datapool.fields, rows));
  touch.Bind(3, datapool.id).Run();
  transaction.Commit();
}

void CopyDatapool(Database& db, const Datapool& datapool) {
  CheckKeepable(datapool);
  if (const std::optional<Datapool> existing = LoadDatapool(db, datapool.name)) {
    DeleteRows(db, existing->id);
    Statement dropFields(db, "DELETE FROM datapool_fields WHERE datapool = ?");
    dropFields.Bind(1, existing->id).Run();
    Statement drop(db, "DELETE FROM datapools WHERE id = ?");
    drop.Bind(1, existing->id).Run();
  }
  Statement insert(db,
                   "INSERT INTO datapools (name, description, created, updated, \"user\", digest) "
                   "VALUES (?, ?, ?, ?, ?, ?) RETURNING id");
  insert.Bind(1, datapool.name).Bind(2, datapool.description).Bind(3, datapool.created).Bind(4, datapool.updated);
  insert.Bind(5, datapool.user).Bind(6, StoredDigest(datapool.description, datapool.fields, datapool.rows)).Step();
  InsertContent(db, insert.ColumnInt(0), datapool);
}

std::string DatapoolListing(Database& db) {
  if (const std::optional<std::vector<Datapool>> all = db.LoadDatapools(std::nullopt)) {
    if (all->empty()) return Text(WB_DP_LIST_EMPTY) + kLineEnd;
    std::string listing = Text(WB_DP_LIST_HEADER, {std::to_string(all->size())}) + kLineEnd;
    for (const Datapool& datapool : *all) {
      listing += Text(WB_DP_LIST_ENTRY, {datapool.name, FieldNames(datapool), std::to_string(datapool.rows.size())}) +
                 kLineEnd;
    }
    return listing;
  }
  const std::vector<std::string> names = DatapoolNames(db);
  if (names.empty()) return Text(WB_DP_LIST_EMPTY) + kLineEnd;
  std::string listing = Text(WB_DP_LIST_HEADER, {std::to_string(names.size())}) + kLineEnd;
  for (const std::string& name : names) {
    const std::optional<Datapool> datapool = LoadDatapool(db, name);
    if (!datapool) continue;
    listing += Text(WB_DP_LIST_ENTRY, {name, FieldNames(*datapool), std::to_string(datapool->rows.size())}) + kLineEnd;
  }
  return listing;
}

std::string DatapoolDetails(const Datapool& datapool) {
  std::string details = Text(WB_DP_SHOW_NAME, {datapool.name}) + kLineEnd;
  details += Text(WB_DP_SHOW_DESCRIPTION, {datapool.description}) + kLineEnd;
  // (A project store keeps no times.)
  if (!datapool.created.empty()) details += Text(WB_DP_SHOW_CREATED, {datapool.created}) + kLineEnd;
  if (!datapool.updated.empty()) details += Text(WB_DP_SHOW_UPDATED, {datapool.updated}) + kLineEnd;
  details += Text(WB_DP_SHOW_USER, {datapool.user}) + kLineEnd;
  details += Text(WB_DP_SHOW_FIELDS, {std::to_string(datapool.fields.size())}) + kLineEnd;
  for (size_t f = 0; f < datapool.fields.size(); ++f) {
    const DatapoolField& field = datapool.fields[f];
    const int16_t id = field.type.empty() ? WB_DP_SHOW_FIELD_UNTYPED : WB_DP_SHOW_FIELD;
    details += Text(id, {std::to_string(f + 1), field.name, field.type}) + kLineEnd;
  }
  details += Text(WB_DP_SHOW_ROWS, {std::to_string(datapool.rows.size())}) + kLineEnd;
  for (size_t r = 0; r < datapool.rows.size(); ++r) {
    std::string values;
    for (size_t f = 0; f < datapool.fields.size() && f < datapool.rows[r].size(); ++f) {
      if (!values.empty()) values += Text(WB_DP_LIST_SEPARATOR);
      values += Text(WB_DP_SHOW_VALUE, {datapool.fields[f].name, ShownValue(datapool.rows[r][f])});
    }
    details += Text(WB_DP_SHOW_ROW, {std::to_string(r + 1), values}) + kLineEnd;
  }
  return details;
}

WorkbenchDatapoolTool::WorkbenchDatapoolTool(Console& console) : console_(console) {}

void WorkbenchDatapoolTool::PrepareRun(int32_t) {
  overwrite_ = false;
  keepExisting_ = false;
}

void WorkbenchDatapoolTool::SetOverwrite(bool overwrite) { overwrite_ = overwrite; }

void WorkbenchDatapoolTool::Say(int16_t id, const std::vector<std::string>& args) {
  console_.Write(Text(id, args) + kLineEnd);
}

bool WorkbenchDatapoolTool::MayGainFields() const {
  if (keepExisting_) return false;
  const PresetAnswers* presets = console_.Presets();
  const std::optional<std::string> given =
      presets != nullptr ? presets->First(answer_key::kOverwriteDatapools) : std::nullopt;
  return !given || (*given != answer_word::kNo && *given != answer_word::kNone && *given != answer_word::kCancel);
}

int32_t WorkbenchDatapoolTool::CreateDatapool(DataStoreConnection* connection, const std::string& name,
                                              const std::string& description, const std::string& fields) {
  gainedFields_ = false;
  Database& db = DatabaseOf(connection);
  if (IsBlank(name)) RaiseError(errc::kInvalidCall, {}, Text(WB_DP_EMPTY_NAME));
  Datapool wanted = ParseDatapoolFields(name, fields);
  wanted.name = name;
  wanted.description = description;
  CheckKeepable(wanted);
  const std::string model = ModelDigest(wanted);
  // What a datapool found under the name comes to, unless overwriting is on:
  // nothing to do, a change asked about, or fields it gains unasked.
  // One that holds what is asked for: only the model's side is recorded.
  const auto unchanged = [&] {
    if (RecordedModel(db, name) != model) RecordModel(db, name, model);
    return datapool_result::kNothingToReport;
  };
  const auto found = [&](const Datapool& existing) -> std::optional<int32_t> {
    if (SameContent(existing, wanted)) return unchanged();
    const bool fits = existing.description == wanted.description && existing.fields == wanted.fields;
    if (fits && RecordedModel(db, name) == model) return datapool_result::kNothingToReport;
    if (!overwrite_ && !(GainsFieldsOnly(existing, wanted) && MayGainFields())) return kDatapoolExists;
    return std::nullopt;
  };

  // In a store's batch the change is part of the batch's transaction.
  StoreBatch* batch = db.Batch();
  if (batch == nullptr && !db.InTransaction()) {
    // A back-end over a network creates a new datapool in one statement; the
    // way below only when another user created it first.
    Datapool existing;
    switch (db.CreateNewDatapool(wanted, StoreUser(db), existing)) {
      case Database::AtOnce::kCreated:
        RecordModel(db, name, model);
        return datapool_result::kCreated;
      case Database::AtOnce::kExists:
        if (const std::optional<int32_t> code = found(existing)) return *code;
        break;
      case Database::AtOnce::kNotOffered: break;
    }
  }
  if (batch != nullptr) batch->BeforeChange();
  DatapoolChange transaction(db);
  const std::string user = StoreUser(db);
  const std::string stored = StoredDigest(description, wanted.fields, wanted.rows);
  std::optional<Datapool> existing;
  if (!db.InsertsFirst(Database::Record::kDatapool)) {
    // Its digest that of the content asked for: it holds it, unread.
    Statement held(db, "SELECT digest FROM datapools WHERE name = ?");
    const bool named = held.Bind(1, name).Step();
    if (named && held.ColumnText(0) == stored) {
      db.Found(Database::Record::kDatapool, true);
      const int32_t code = unchanged();
      transaction.Commit();
      return code;
    }
    if (named) existing = LoadDatapool(db, name);
  }
  int64_t id = 0;
  if (!existing) {
    // Another user of the store may create the datapool at the same moment:
    // the database lets one of them in, and the other finds it existing.
    Statement insert(
        db,
        "INSERT INTO datapools (name, description, created, updated, \"user\", digest) "
        "VALUES (?, ?, datetime('now'), datetime('now'), ?, ?) ON CONFLICT (name) DO NOTHING RETURNING id");
    insert.Bind(1, name).Bind(2, description).Bind(3, user);
    if (insert.Bind(4, stored).Step()) {
      id = insert.ColumnInt(0);
      transaction.Added(id);
    } else {
      existing = LoadDatapool(db, name);
      if (!existing) RaiseError(errc::kPathFileAccessError, {}, Text(WB_DP_CHANGED_MEANWHILE, {name}));
    }
  }
  db.Found(Database::Record::kDatapool, existing.has_value());
  // A datapool that only gains fields keeps its rows, unasked: the values
  // typed or recorded in them are the user's.
  bool gainsFields = false;
  if (existing) {
    if (const std::optional<int32_t> code = found(*existing)) {
      transaction.Commit();  // a record made for a datapool found the same
      return *code;
    }
    gainsFields = GainsFieldsOnly(*existing, wanted);
    if (gainsFields) wanted = WithFieldsAdded(*existing, wanted);
    id = existing->id;
    transaction.Replacing();
    Statement update(db,
                     "UPDATE datapools SET description = ?, updated = datetime('now'), \"user\" = ?, digest = ? "
                     "WHERE id = ?");
    update.Bind(1, description).Bind(2, user).Bind(3, StoredDigest(description, wanted.fields, wanted.rows));
    update.Bind(4, id).Run();
    DeleteRows(db, id);
    Statement dropFields(db, "DELETE FROM datapool_fields WHERE datapool = ?");
    dropFields.Bind(1, id).Run();
  }
  InsertContent(db, id, wanted);
  RecordModel(db, name, model);
  transaction.Commit();
  if (batch != nullptr) batch->AfterChange(name);
  if (gainsFields) {
    Say(WB_DP_FIELDS_ADDED, {name, AddedFieldNames(*existing, wanted), std::to_string(wanted.rows.size())});
    gainedFields_ = true;
  }
  return datapool_result::kCreated;
}

EditOutcome EditDatapoolInEditor(Database& db, const std::string& name, CsvReader read) {
  const auto told = [](EditOutcome::Kind kind, int16_t id, const std::vector<std::string>& args) {
    return EditOutcome{kind, Text(id, args)};
  };
  constexpr EditOutcome::Kind kNot = EditOutcome::kNotStored;
  const std::optional<Datapool> datapool = LoadDatapool(db, name);
  if (!datapool) return told(kNot, WB_DP_NO_SUCH_DATAPOOL, {name});
  if (datapool->fields.empty()) return told(kNot, WB_DP_EDIT_NO_FIELDS, {name});
  const std::optional<std::vector<std::string>> command = EditorCommand();
  if (!command) return told(kNot, WB_DP_NO_EDITOR, {name});

  const std::string original = DatapoolCsv(*datapool);
  std::string path;
  try {
    path = WriteTemporaryFile(name, original);
  } catch (const ZtError& e) {
    return told(kNot, WB_DP_EDIT_NO_FILE, {name, e.Description()});
  }

  const EditorOutcome outcome = RunEditor(*command, path);
  if (!outcome.started) {
    ::unlink(path.c_str());
    return told(kNot, WB_DP_EDITOR_NOT_STARTED, {command->front(), outcome.problem, name});
  }
  if (!outcome.succeeded) return told(kNot, WB_DP_EDITOR_FAILED, {command->front(), outcome.problem, name, path});

  const std::optional<std::string> edited = ReadFile(path);
  if (!edited) return told(kNot, WB_DP_EDIT_UNREADABLE, {path, name});
  if (*edited == original) {
    ::unlink(path.c_str());
    return told(EditOutcome::kUnchanged, WB_DP_EDIT_UNCHANGED, {name});
  }
  std::vector<std::vector<std::string>> rows;
  try {
    rows = read(*datapool, *edited);
  } catch (const ZtError& e) {
    return told(kNot, WB_DP_EDIT_MALFORMED, {name, e.Description(), path});
  }
  try {
    ReplaceDatapoolRows(db, *datapool, rows);
  } catch (const ZtError& e) {
    return told(kNot, WB_DP_EDIT_NOT_STORED, {name, e.Description(), path});
  }
  ::unlink(path.c_str());
  return told(EditOutcome::kStored, WB_DP_EDIT_STORED, {name, std::to_string(rows.size())});
}

void WorkbenchDatapoolTool::EditDatapool(int64_t, DataStoreConnection* connection, const std::string& name,
                                         int32_t) {
  console_.Write(EditDatapoolInEditor(DatabaseOf(connection), name, ReadDatapoolCsv).message + kLineEnd);
}

WorkbenchDatapoolView::WorkbenchDatapoolView(Console& console) : console_(console) {}

void WorkbenchDatapoolView::Show(int64_t, DataStoreConnection* connection) {
  console_.Write(DatapoolListing(DatabaseOf(connection)));
}

WorkbenchDatapoolExplorer::WorkbenchDatapoolExplorer(Console& console)
    : view_(std::make_unique<WorkbenchDatapoolView>(console)) {}

DatapoolView* WorkbenchDatapoolExplorer::GetView(const std::string& name) {
  if (name != kDatapoolViewName) RaiseError(errc::kInvalidCall, {}, Text(WB_DP_NO_SUCH_VIEW, {name}));
  return view_.get();
}

WorkbenchOverwritePrompt::WorkbenchOverwritePrompt(Console& console) : console_(console) {}

void WorkbenchOverwritePrompt::SetPromptSetting(bool value) {
  remember_ = value;
  if (!remember_) remembered_ = 0;
}

void WorkbenchOverwritePrompt::SetForAllAnswers(bool value) { forAll_ = value; }

int32_t WorkbenchOverwritePrompt::Ask(const std::string& title, const std::string& item, const std::string& question) {
  if (remember_ && remembered_ != 0) return remembered_;
  if (!title.empty()) console_.Write(title + kLineEnd);
  Question asked{
      item + ": " + question, {}, overwrite_answer::kNo, answer_key::kOverwriteDatapools};
  asked.answers.push_back(OverwriteAnswer(WB_ANSWER_YES, overwrite_answer::kYes, answer_word::kYes));
  if (forAll_) {
    asked.answers.push_back(OverwriteAnswer(WB_ANSWER_YES_TO_ALL, overwrite_answer::kYesForAll, answer_word::kAll));
  }
  asked.answers.push_back(OverwriteAnswer(WB_ANSWER_NO, overwrite_answer::kNo, answer_word::kNo));
  if (forAll_) {
    asked.answers.push_back(OverwriteAnswer(WB_ANSWER_NO_TO_ALL, overwrite_answer::kNoForAll, answer_word::kNone));
  }
  asked.answers.push_back(OverwriteAnswer(WB_ANSWER_CANCEL, overwrite_answer::kCancel, answer_word::kCancel));
  const int32_t answer = wb::Ask(console_, asked);
  if (remember_ && (answer == overwrite_answer::kYesForAll || answer == overwrite_answer::kNoForAll)) {
    remembered_ = answer;
  }
  return answer;
}

}  // namespace zt::wb
