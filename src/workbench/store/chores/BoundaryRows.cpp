// Boundary rows of datapools (see BoundaryRows.h).
#include "workbench/store/chores/BoundaryRows.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include "support/Error.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// A type as the boundary values tell types apart.
struct SimpleType {
  // Without blanks, type arguments and package: "java.util.List<String>"
  // gives "List".
  std::string name;
  // Whether it ends in "[]" or "...".
  bool array = false;
};

SimpleType SimpleTypeOf(std::string type) {
  type.erase(std::remove_if(type.begin(), type.end(), [](char c) { return c == ' ' || c == '\t'; }), type.end());
  bool array = false;
  // The brackets of an array come after the type arguments: "List<String>[]".
  while (type.size() >= 2 && type.compare(type.size() - 2, 2, "[]") == 0) {
    type.resize(type.size() - 2);
    array = true;
  }
  if (type.size() >= 3 && type.compare(type.size() - 3, 3, "...") == 0) {
    type.resize(type.size() - 3);
    array = true;
  }
  if (const size_t open = type.find('<'); open != std::string::npos) type.resize(open);
  if (const size_t dot = type.rfind('.'); dot != std::string::npos) type.erase(0, dot + 1);
  return {std::move(type), array};
}

// The values of the whole-number types and of the floating-point ones.
const std::vector<std::string>& Numbers(const std::string& name) {
  static const std::vector<std::string> kByte{"0", "1", "-1", "-128", "127"};
  static const std::vector<std::string> kShort{"0", "1", "-1", "-32768", "32767"};
  static const std::vector<std::string> kInt{"0", "1", "-1", "-2147483648", "2147483647"};
  static const std::vector<std::string> kLong{"0", "1", "-1", "-9223372036854775808", "9223372036854775807"};
  static const std::vector<std::string> kFloat{"0",       "1",   "-1",       "-3.4028235E38", "3.4028235E38",
                                               "1.4E-45", "NaN", "Infinity", "-Infinity"};
  static const std::vector<std::string> kDouble{
      "0", "1", "-1", "-1.7976931348623157E308", "1.7976931348623157E308", "4.9E-324", "NaN", "Infinity", "-Infinity"};
  static const std::vector<std::string> kDecimal{"0", "1", "-1"};
  static const std::vector<std::string> kNone;
  if (name == "byte" || name == "Byte") return kByte;
  if (name == "short" || name == "Short") return kShort;
  if (name == "int" || name == "Integer") return kInt;
  if (name == "long" || name == "Long") return kLong;
  if (name == "float" || name == "Float") return kFloat;
  if (name == "double" || name == "Double") return kDouble;
  if (name == "BigDecimal" || name == "BigInteger") return kDecimal;
  return kNone;
}

bool IsCollection(const std::string& name) {
  static const std::set<std::string> kCollections{
      "List",         "ArrayList",  "LinkedList", "Set",   "HashSet",    "LinkedHashSet", "TreeSet",  "SortedSet",
      "NavigableSet", "Collection", "Queue",      "Deque", "ArrayDeque", "PriorityQueue", "Iterable", "EnumSet"};
  return kCollections.count(name) != 0;
}

bool IsMap(const std::string& name) {
  static const std::set<std::string> kMaps{"Map",       "HashMap",      "LinkedHashMap", "TreeMap",
                                           "SortedMap", "NavigableMap", "EnumMap"};
  return kMaps.count(name) != 0;
}

bool IsPrimitive(const std::string& name) {
  static const std::set<std::string> kPrimitives{"boolean", "char", "byte", "short", "int", "long", "float", "double"};
  return kPrimitives.count(name) != 0;
}

}  // namespace

bool IsExpectedField(const std::string& name) { return name == "expectedReturn" || name == "expectedException"; }

std::vector<std::string> BoundaryValues(const std::string& type) {
  const auto [name, array] = SimpleTypeOf(type);
  if (name.empty()) return {};
  std::vector<std::string> values;
  if (array || IsCollection(name)) {
    values = {"[]"};
  } else if (IsMap(name)) {
    values = {"{}"};
  } else if (name == "boolean" || name == "Boolean") {
    values = {"true", "false"};
  } else if (name == "char" || name == "Character") {
    values = {" ", "\xC3\xA9", "\xEF\xBF\xBF"};  // a blank, é, U+FFFF
  } else if (name == "String" || name == "CharSequence") {
    values = {"\"\"", std::string(1000, 'x'),
              "Gr\xC3\xBC\xC3\x9F"
              "e, \xE4\xB8\x96\xE7\x95\x8C \xE2\x9C\x93"};
  } else {
    values = Numbers(name);
  }
  if (array || !IsPrimitive(name)) values.push_back("null");
  return values;
}

std::vector<std::vector<std::string>> BoundaryRows(const Datapool& datapool) {
  const size_t count = datapool.fields.size();
  std::vector<std::string> base = datapool.rows.empty() ? std::vector<std::string>(count) : datapool.rows.front();
  base.resize(count);
  for (size_t f = 0; f < count; ++f) {
    if (IsExpectedField(datapool.fields[f].name)) base[f].clear();
  }
  // Rows are told apart by their inputs: a row whose inputs a row of the
  // datapool has already is not added, whatever that one expects.
  std::set<std::vector<std::string>> known;
  for (std::vector<std::string> row : datapool.rows) {
    row.resize(count);
    for (size_t f = 0; f < count; ++f) {
      if (IsExpectedField(datapool.fields[f].name)) row[f].clear();
    }
    known.insert(std::move(row));
  }
  std::vector<std::vector<std::string>> rows;
  for (size_t f = 0; f < count; ++f) {
    const DatapoolField& field = datapool.fields[f];
    if (IsExpectedField(field.name) || field.name == "tolerance") continue;
    for (const std::string& value : BoundaryValues(field.type)) {
      std::vector<std::string> row = base;
      row[f] = value;
      if (known.insert(row).second) rows.push_back(std::move(row));
    }
  }
  return rows;
}

std::vector<RowsAdded> AddBoundaryRows(Database& db, const std::vector<std::string>& names) {
  std::vector<RowsAdded> added;
  Transaction transaction(db);
  for (const std::string& name : names) {
    const std::optional<Datapool> datapool = LoadDatapool(db, name);
    if (!datapool) RaiseError(errc::kPathFileAccessError, {}, Text(WB_DP_NO_SUCH_DATAPOOL, {name}));
    std::vector<std::vector<std::string>> rows = datapool->rows;
    const std::vector<std::vector<std::string>> more = BoundaryRows(*datapool);
    rows.insert(rows.end(), more.begin(), more.end());
    if (!more.empty()) ReplaceDatapoolRows(db, *datapool, rows);
    added.push_back({name, more.size(), rows.size()});
  }
  transaction.Commit();
  return added;
}

}  // namespace zt::wb
