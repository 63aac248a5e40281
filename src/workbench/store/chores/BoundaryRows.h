// Boundary rows of datapools (`ztunittest datapool add-rows --boundary`):
// for each input field, one row per boundary value of the field's type, the
// other input fields at the values of the datapool's first row (empty when
// it has none), the expected fields empty (not given).
//
// The input fields are all fields but the expected ones (`expectedReturn`,
// `expectedException`) and `tolerance`, which keeps the first row's value.
// The values are text forms the Java runtime reads (docs/java.md), by the
// field's type as the model names it (`int`, `java.lang.Integer`,
// `List<String>`, `int[]`, `String...`):
//
//   boolean                      true, false
//   char                         a blank, a non-ASCII letter, the largest char
//   byte, short, int, long       0, 1, -1, the minimum, the maximum
//   float, double                0, 1, -1, the lowest, the highest, the
//                                smallest above 0, NaN, Infinity, -Infinity
//   BigDecimal, BigInteger       0, 1, -1
//   String, CharSequence         the empty text (""), a long text, a non-ASCII one
//   arrays, lists, sets, queues  [] (empty)
//   maps                         {} (empty)
// and null for every type that is not primitive (the boxes included); other
// types (enums, the model's classes, dates, ...) get null alone, a field
// without a type none. A row whose inputs a row of the datapool has already
// (or an earlier field gave) is not added: adding twice adds nothing more.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "workbench/store/Database.h"
#include "workbench/store/Datapools.h"

namespace zt::wb {

/// Whether the field `name` holds an expected result (left empty in boundary rows).
bool IsExpectedField(const std::string& name);

/// The boundary values of `type`, in their text forms (see the file comment).
std::vector<std::string> BoundaryValues(const std::string& type);

/// The rows `datapool` gets added (see the file comment), in field order.
std::vector<std::vector<std::string>> BoundaryRows(const Datapool& datapool);

/// What adding rows did to one datapool.
struct RowsAdded {
  std::string name;
  size_t added = 0;
  size_t rows = 0;  // the rows it holds now
};

/// Adds the boundary rows to the datapools `names`, in one transaction: all
/// or nothing. Raises error 75 naming a datapool that is not there (or
/// changed meanwhile), with nothing added.
std::vector<RowsAdded> AddBoundaryRows(Database& db, const std::vector<std::string>& names);

}  // namespace zt::wb
