// The database half of the benchmark's I/O floor: the datapool rows a
// generation stored, read from its store and inserted into a fresh SQLite
// database in one transaction with prepared statements — the least work any
// program that stores those rows has to do. (The file half is `cp -r` of the
// produced script tree; see main.cpp.)
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zt::bench {

/// The datapool tables of a store, in memory.
struct DatapoolTables {
  struct Value {
    enum class Type { kNull, kInteger, kText } type = Type::kNull;
    int64_t integer = 0;
    std::string text;
  };
  struct Table {
    std::string name;
    std::string schema;  // its CREATE TABLE statement
    int columns = 0;
    std::vector<std::vector<Value>> rows;
  };
  std::vector<Table> tables;
  /// Rows of all tables together.
  size_t RowCount() const;
};

/// Reads the tables whose names start with "datapool" from the store
/// database `path`; false with the reason in `error` when it cannot.
bool ReadDatapoolTables(const std::string& path, DatapoolTables& tables, std::string& error);

/// Creates the tables in the new database `path` and inserts every row, in
/// one transaction; false with the reason in `error` when it cannot.
bool InsertDatapoolTables(const std::string& path, const DatapoolTables& tables, std::string& error);

/// The number of datapools in the store database `path`, or -1 with the
/// reason in `error`.
int64_t CountDatapools(const std::string& path, std::string& error);

/// What the datapools of the store database `path` hold, one text per
/// datapool by name: description, user, fields and rows; and one per
/// operation whose datapool name is recorded. Times and row ids are left
/// out: two runs of one model give the same contents. False with the reason
/// in `error` when the database cannot be read.
bool ReadDatapoolContents(const std::string& path, std::map<std::string, std::string>& contents, std::string& error);

}  // namespace zt::bench
