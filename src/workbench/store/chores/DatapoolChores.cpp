// Deleting and renaming datapools with their records (see DatapoolChores.h).
#include "workbench/store/chores/DatapoolChores.h"

#include "support/Error.h"
#include "workbench/store/Database.h"
#include "workbench/store/Datapools.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

constexpr size_t kLongestName = 200;

[[noreturn]] void Refuse(const std::string& message) { RaiseError(errc::kInvalidCall, {}, message); }

int64_t DatapoolId(Database& db, const std::string& name) {
  if (!HasTable(db, "datapools")) return 0;
  Statement query(db, "SELECT id FROM datapools WHERE name = ?");
  return query.Bind(1, name).Step() ? query.ColumnInt(0) : 0;
}

// The operation whose record names the datapool `name`; "" for none.
std::string RecordedOperation(Database& db, const std::string& name) {
  if (!HasTable(db, "datapool_names")) return {};
  Statement query(db, "SELECT operation FROM datapool_names WHERE name = ?");
  return query.Bind(1, name).Step() ? query.ColumnText(0) : std::string();
}

}  // namespace

std::optional<std::string> DatapoolNameFault(const std::string& name) {
  if (name.empty()) return Text(WB_DP_NAME_EMPTY);
  if (name == "." || name == "..") return Text(WB_DP_NAME_DOTS);
  if (name.front() == ' ' || name.back() == ' ') return Text(WB_DP_NAME_BLANK_END);
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return Text(WB_DP_NAME_CONTROL);
    if (c == '/' || c == '\\' || c == '"') return Text(WB_DP_NAME_CHARACTER, {std::string(1, c)});
  }
  if (name.size() > kLongestName) return Text(WB_DP_NAME_LONG, {std::to_string(kLongestName)});
  return std::nullopt;
}

void DeleteDatapools(Database& db, const std::vector<std::string>& names) {
  Transaction transaction(db);
  std::vector<int64_t> ids;
  for (const std::string& name : names) {
    const int64_t id = DatapoolId(db, name);
    if (id == 0) Refuse(Text(WB_DP_NO_SUCH_DATAPOOL, {name}));
    ids.push_back(id);
  }
  const bool records = HasTable(db, "datapool_names");
  const bool generated = HasTable(db, "generated_scripts");
  for (size_t i = 0; i < names.size(); ++i) {
    Statement values(db, "DELETE FROM datapool_values WHERE row IN (SELECT id FROM datapool_rows WHERE datapool = ?)");
    values.Bind(1, ids[i]).Run();
    Statement rows(db, "DELETE FROM datapool_rows WHERE datapool = ?");
    rows.Bind(1, ids[i]).Run();
    Statement fields(db, "DELETE FROM datapool_fields WHERE datapool = ?");
    fields.Bind(1, ids[i]).Run();
    Statement datapool(db, "DELETE FROM datapools WHERE id = ?");
    datapool.Bind(1, ids[i]).Run();
    if (records) {
      Statement record(db, "DELETE FROM datapool_names WHERE name = ?");
      record.Bind(1, names[i]).Run();
    }
    if (generated) {
      Statement record(db, "DELETE FROM generated_scripts WHERE type = ? AND path = ?");
      record.Bind(1, int64_t{kGeneratedDatapool}).Bind(2, names[i]).Run();
    }
  }
  transaction.Commit();
}

std::string RenameDatapool(Database& db, const std::string& from, const std::string& to) {
  if (const std::optional<std::string> fault = DatapoolNameFault(to)) Refuse(Text(WB_DP_NOT_A_NAME, {to, *fault}));
  Transaction transaction(db);
  const int64_t id = DatapoolId(db, from);
  if (id == 0) Refuse(Text(WB_DP_NO_SUCH_DATAPOOL, {from}));
  if (DatapoolId(db, to) != 0) Refuse(Text(WB_DP_NAME_TAKEN, {to}));
  const std::string operation = RecordedOperation(db, from);
  if (const std::string holder = RecordedOperation(db, to); !holder.empty() && holder != operation) {
    Refuse(Text(WB_DP_NAME_RECORDED, {to, holder}));
  }
  Statement rename(db, "UPDATE datapools SET name = ? WHERE id = ?");
  rename.Bind(1, to).Bind(2, id).Run();
  if (!operation.empty()) {
    Statement record(db, "UPDATE datapool_names SET name = ? WHERE name = ?");
    record.Bind(1, to).Bind(2, from).Run();
  }
  if (HasTable(db, "generated_scripts")) {
    // (A record left of a datapool of the new name deleted by hand goes.)
    Statement stale(db, "DELETE FROM generated_scripts WHERE type = ? AND path = ?");
    stale.Bind(1, int64_t{kGeneratedDatapool}).Bind(2, to).Run();
    Statement record(db, "UPDATE generated_scripts SET path = ? WHERE type = ? AND path = ?");
    record.Bind(1, to).Bind(2, int64_t{kGeneratedDatapool}).Bind(3, from).Run();
  }
  transaction.Commit();
  return operation;
}

}  // namespace zt::wb
