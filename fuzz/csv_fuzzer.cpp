// Fuzzes the CSV reader of datapool import and editing (ParseCsv,
// ReadImportedCsv): any bytes as a file imported into a datapool whose
// fields are "a", "b" and "c".
//
// A fault: a crash; records read from the input that, written again with
// CsvLine, read back as other records; rows of an import that do not hold
// one value per field, or a value with a NUL byte (which no store keeps).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "workbench/store/Datapools.h"
#include "workbench/text/Csv.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zt::fuzz::UseEnglishTexts();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<zt::wb::CsvRecord> records;
  std::string error;
  if (zt::wb::ParseCsv(text, records, error)) {
    std::string written;
    for (const zt::wb::CsvRecord& record : records) written += zt::wb::CsvLine(record.values) + "\n";
    std::vector<zt::wb::CsvRecord> again;
    if (!zt::wb::ParseCsv(written, again, error) || again.size() != records.size()) __builtin_trap();
    for (size_t i = 0; i < records.size(); ++i) {
      if (again[i].values != records[i].values) __builtin_trap();
    }
  } else if (error.empty()) {
    __builtin_trap();
  }

  zt::wb::Datapool datapool;
  datapool.name = "D";
  datapool.fields = {{"a", "int"}, {"b", ""}, {"c", "String"}};
  std::vector<std::vector<std::string>> rows;
  error.clear();
  if (zt::wb::ReadImportedCsv(datapool, text, rows, error)) {
    for (const std::vector<std::string>& row : rows) {
      if (row.size() != datapool.fields.size()) __builtin_trap();
      for (const std::string& value : row) {
        if (value.find('\0') != std::string::npos) __builtin_trap();
      }
    }
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
