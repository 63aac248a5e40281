#include "Floor.h"

#include <sqlite3.h>

#include <memory>

namespace zt::bench {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

Database Open(const std::string& path, int flags, std::string& error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    error = path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "cannot open");
    sqlite3_close(db);
    return nullptr;
  }
  return Database(db);
}

Statement Prepare(sqlite3* db, const std::string& sql, std::string& error) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return nullptr;
  }
  return Statement(statement);
}

bool Exec(sqlite3* db, const char* sql, std::string& error) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  error = sqlite3_errmsg(db);
  return false;
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text != nullptr ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                         : std::string();
}

}  // namespace

size_t DatapoolTables::RowCount() const {
  size_t count = 0;
  for (const Table& table : tables) count += table.rows.size();
  return count;
}

bool ReadDatapoolTables(const std::string& path, DatapoolTables& tables, std::string& error) {
  tables = DatapoolTables();
  Database db = Open(path, SQLITE_OPEN_READONLY, error);
  if (!db) return false;
  // In creation order, so that a table comes after those it refers to.
  Statement schema = Prepare(db.get(),
                             "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name LIKE 'datapool%' "
                             "ORDER BY rowid",
                             error);
  if (!schema) return false;
  while (sqlite3_step(schema.get()) == SQLITE_ROW) {
    tables.tables.push_back({ColumnText(schema.get(), 0), ColumnText(schema.get(), 1), 0, {}});
  }
  for (DatapoolTables::Table& table : tables.tables) {
    Statement rows = Prepare(db.get(), "SELECT * FROM \"" + table.name + "\"", error);
    if (!rows) return false;
    table.columns = sqlite3_column_count(rows.get());
    while (sqlite3_step(rows.get()) == SQLITE_ROW) {
      std::vector<DatapoolTables::Value> row(static_cast<size_t>(table.columns));
      for (int c = 0; c < table.columns; ++c) {
        DatapoolTables::Value& value = row[static_cast<size_t>(c)];
        switch (sqlite3_column_type(rows.get(), c)) {
          case SQLITE_NULL: break;
          case SQLITE_INTEGER:
            value.type = DatapoolTables::Value::Type::kInteger;
            value.integer = sqlite3_column_int64(rows.get(), c);
            break;
          default:
            value.type = DatapoolTables::Value::Type::kText;
            value.text = ColumnText(rows.get(), c);
            break;
        }
      }
      table.rows.push_back(std::move(row));
    }
  }
  if (tables.tables.empty()) {
    error = path + ": no datapool tables";
    return false;
  }
  return true;
}

bool InsertDatapoolTables(const std::string& path, const DatapoolTables& tables, std::string& error) {
  Database db = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (!db) return false;
  if (!Exec(db.get(), "BEGIN", error)) return false;
  for (const DatapoolTables::Table& table : tables.tables) {
    if (!Exec(db.get(), table.schema.c_str(), error)) return false;
    std::string sql = "INSERT INTO \"" + table.name + "\" VALUES (";
    for (int c = 0; c < table.columns; ++c) sql += c == 0 ? "?" : ", ?";
    Statement insert = Prepare(db.get(), sql + ")", error);
    if (!insert) return false;
    for (const std::vector<DatapoolTables::Value>& row : table.rows) {
      sqlite3_reset(insert.get());
      for (int c = 0; c < table.columns; ++c) {
        const DatapoolTables::Value& value = row[static_cast<size_t>(c)];
        switch (value.type) {
          case DatapoolTables::Value::Type::kNull: sqlite3_bind_null(insert.get(), c + 1); break;
          case DatapoolTables::Value::Type::kInteger: sqlite3_bind_int64(insert.get(), c + 1, value.integer); break;
          case DatapoolTables::Value::Type::kText:
            sqlite3_bind_text(insert.get(), c + 1, value.text.data(), static_cast<int>(value.text.size()),
                              SQLITE_STATIC);
            break;
        }
      }
      if (sqlite3_step(insert.get()) != SQLITE_DONE) {
        error = sqlite3_errmsg(db.get());
        return false;
      }
    }
  }
  return Exec(db.get(), "COMMIT", error);
}

int64_t CountDatapools(const std::string& path, std::string& error) {
  Database db = Open(path, SQLITE_OPEN_READONLY, error);
  if (!db) return -1;
  Statement count = Prepare(db.get(), "SELECT COUNT(*) FROM datapools", error);
  if (!count) return -1;
  if (sqlite3_step(count.get()) != SQLITE_ROW) {
    error = sqlite3_errmsg(db.get());
    return -1;
  }
  return sqlite3_column_int64(count.get(), 0);
}

bool ReadDatapoolContents(const std::string& path, std::map<std::string, std::string>& contents, std::string& error) {
  contents.clear();
  Database db = Open(path, SQLITE_OPEN_READONLY, error);
  if (!db) return false;
  // Each value with the datapool, the row's and the field's positions, in order.
  const char* queries[] = {
      "SELECT name, 'description ' || description || char(10) || 'user ' || user FROM datapools",
      "SELECT d.name, 'field ' || f.position || ' ' || f.name || ' ' || f.type FROM datapool_fields f "
      "JOIN datapools d ON d.id = f.datapool ORDER BY d.name, f.position",
      "SELECT d.name, 'value ' || r.position || ' ' || f.position || ' ' || v.value FROM datapool_values v "
      "JOIN datapool_rows r ON r.id = v.row JOIN datapool_fields f ON f.id = v.field "
      "JOIN datapools d ON d.id = r.datapool ORDER BY d.name, r.position, f.position",
      "SELECT 'operation ' || operation, name FROM datapool_names",
  };
  for (const char* sql : queries) {
    Statement query = Prepare(db.get(), sql, error);
    if (!query) return false;
    while (sqlite3_step(query.get()) == SQLITE_ROW) {
      std::string& text = contents[ColumnText(query.get(), 0)];
      text += ColumnText(query.get(), 1);
      text += '\n';
    }
  }
  return true;
}

}  // namespace zt::bench
