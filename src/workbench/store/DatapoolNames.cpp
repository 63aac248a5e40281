// Datapool names by operation (see DatapoolNames.h).
#include "workbench/store/DatapoolNames.h"

#include <cctype>

#include "support/Text.h"
#include "workbench/store/Database.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

// The `index`th name `operation` may get, counting from 0.
std::string Candidate(const OperationIdentity& operation, int index) {
  std::string plain = operation.className + "_" + operation.operationName;
  if (operation.place > 1) plain += std::to_string(operation.place - 1);
  if (index == 0) return plain;
  std::string packaged = plain;
  if (!operation.packagePath.empty()) {
    // The packages' names joined by "_"; a character other than a letter, a
    // digit or "_" becomes "_" too, so that a package name adds nothing that
    // a test or a resource script would have to quote.
    std::string prefix;
    for (size_t i = 0; i < operation.packagePath.size(); ++i) {
      const char c = operation.packagePath[i];
      if (operation.packagePath.compare(i, 2, "::") == 0) {
        prefix += '_';
        ++i;
      } else {
        prefix += std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' ? c : '_';
      }
    }
    packaged = prefix + "_" + plain;
    if (index == 1) return packaged;
    --index;
  }
  return packaged + "_" + std::to_string(index + 1);
}

}  // namespace

std::string OperationIdentity::Key() const {
  std::string key = packagePath.empty() ? std::string() : packagePath + "::";
  key += className + "::" + operationName;
  if (place > 1) key += "#" + std::to_string(place);
  return key;
}

std::optional<OperationIdentity> IdentifyOperation(TesselOperation& operation) {
  TesselClass* cls = operation.ParentClass();
  if (cls == nullptr) return std::nullopt;
  OperationIdentity identity;
  identity.className = cls->Name();
  identity.operationName = operation.Name();
  // The packages below the root: the root is the one without a parent.
  std::vector<std::string> packages;
  for (TesselCategory* package = cls->ParentCategory(); package != nullptr && package->ParentCategory() != nullptr;
       package = package->ParentCategory()) {
    packages.insert(packages.begin(), package->Name());
  }
  identity.packagePath = Joined(packages, "::");
  identity.package = cls->ParentCategory();
  if (TesselOperationCollection* operations = cls->Operations(); operations != nullptr) {
    int place = 0;
    for (int16_t i = operations->FindFirst(identity.operationName); i > 0;
         i = operations->FindNext(identity.operationName, i)) {
      ++place;
      if (operations->GetAt(i) == &operation) {
        identity.place = place;
        break;
      }
    }
  }
  return identity;
}

std::vector<std::string> DatapoolNameCandidates(const OperationIdentity& operation, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(Candidate(operation, i));
  return names;
}

const OperationIdentity* OperationInHand::Matching(const std::string& className,
                                                   const std::string& operationName) const {
  if (!operation_ || operation_->className != className || operation_->operationName != operationName) {
    return nullptr;
  }
  return &*operation_;
}

namespace {

constexpr const char* kRecordDatapoolName =
    "INSERT INTO datapool_names (operation, name, recorded) VALUES (?, ?, datetime('now')) "
    "ON CONFLICT DO NOTHING RETURNING 1";
constexpr const char* kRecordScriptName =
    "INSERT INTO script_names (type, folder, name, base, suffix, operation, recorded) "
    "VALUES (?, ?, ?, ?, ?, ?, datetime('now')) ON CONFLICT DO NOTHING RETURNING 1";

// The name of a script as the known names hold it.
std::string ScriptNameKeyText(const ScriptNameKey& key, const std::string& name) {
  return std::to_string(key.type) + '\n' + key.folder + '\n' + name;
}

}  // namespace

std::string RecordedDatapoolName(Database& db, const OperationIdentity& operation) {
  const std::string key = operation.Key();
  if (KnownNames* known = db.Known()) {
    if (const auto it = known->datapools.find(key); it != known->datapools.end()) return it->second;
    // What the store held at the start is not asked again: the insert tells
    // whether another user took the name since.
    for (int index = 0;; ++index) {
      const std::string name = Candidate(operation, index);
      if (known->datapoolNames.count(name) != 0) continue;
      if (db.Deferring()) {
        // No one held the name when the run began: it is this operation's
        // unless another user records it that very moment, which the check
        // finds (the same name for the same operation is no conflict).
        known->datapoolNames.insert(name);
        known->datapools.emplace(key, name);
        db.Defer(kRecordDatapoolName, {key, name}, name, false,
                 [&db, key, name](const std::vector<std::string>* row) -> Database::DeferredOutcome {
                   if (row != nullptr) return {};
                   Statement query(db, "SELECT name FROM datapool_names WHERE operation = ?");
                   if (query.Bind(1, key).Step() && query.ColumnText(0) == name) return {};
                   return {Database::DeferredOutcome::kFailed, Text(WB_NAME_TAKEN_MEANWHILE, {name, key})};
                 });
        return name;
      }
      Statement record(db, kRecordDatapoolName);
      std::string given = name;
      if (!record.Bind(1, key).Bind(2, name).Step()) {
        Statement query(db, "SELECT name FROM datapool_names WHERE operation = ?");
        if (!query.Bind(1, key).Step()) {
          known->datapoolNames.insert(name);  // another operation's
          continue;
        }
        given = query.ColumnText(0);
      }
      known->datapoolNames.insert(given);
      known->datapools.emplace(key, given);
      return given;
    }
  }
  const auto recorded = [&]() -> std::optional<std::string> {
    Statement query(db, "SELECT name FROM datapool_names WHERE operation = ?");
    if (query.Bind(1, key).Step()) return query.ColumnText(0);
    return std::nullopt;
  };
  const auto found = [&db](std::string name, bool held) {
    db.Found(Database::Record::kDatapoolName, held);
    return name;
  };
  for (int index = 0;; ++index) {
    const std::string name = Candidate(operation, index);
    if (index == 0 && !db.InsertsFirst(Database::Record::kDatapoolName)) {
      // The name recorded ("" for none: a name is never empty), and whether
      // the first candidate is taken, in one query.
      Statement first(db,
                      "SELECT COALESCE((SELECT name FROM datapool_names WHERE operation = ?), ''), "
                      "CASE WHEN EXISTS (SELECT 1 FROM datapool_names WHERE name = ?) THEN 1 ELSE 0 END");
      first.Bind(1, key).Bind(2, name).Step();
      if (std::string known = first.ColumnText(0); !known.empty()) return found(known, true);
      if (first.ColumnInt(1) != 0) continue;
    } else if (index > 0) {
      Statement held(db, "SELECT 1 FROM datapool_names WHERE name = ?");
      if (held.Bind(1, name).Step()) continue;
    }
    // Recorded with the operation's datapool: in the batch, when there is one.
    if (db.Batch() != nullptr) db.Batch()->BeforeChange();
    Statement record(db,
                     "INSERT INTO datapool_names (operation, name, recorded) VALUES (?, ?, datetime('now')) "
                     "ON CONFLICT DO NOTHING RETURNING 1");
    if (record.Bind(1, key).Bind(2, name).Step()) return found(name, false);
    // Recorded before (when not asked first), or by another user meanwhile.
    if (std::optional<std::string> theirs = recorded()) return found(*theirs, true);
  }
}

std::string StoredDatapoolName(Database& db, const OperationIdentity& operation) {
  Statement recorded(db, "SELECT name FROM datapool_names WHERE operation = ?");
  if (recorded.Bind(1, operation.Key()).Step()) return recorded.ColumnText(0);
  for (int index = 0;; ++index) {
    std::string name = Candidate(operation, index);
    Statement held(db, "SELECT 1 FROM datapool_names WHERE name = ?");
    if (!held.Bind(1, name).Step()) return name;
  }
}

std::string RecordedScriptSuffix(Database& db, const ScriptNameKey& key, const OperationIdentity& operation,
                                 const std::function<bool(const std::string&)>& reserved, bool* chosen) {
  if (chosen != nullptr) *chosen = false;
  const std::string operationKey = operation.Key();
  KnownNames* known = db.Known();
  const std::string knownKey =
      known != nullptr ? ScriptNameKeyText(key, key.baseName) + '\n' + operationKey : std::string();
  if (known != nullptr) {
    if (const auto it = known->scripts.find(knownKey); it != known->scripts.end()) return it->second;
  }
  // A suffix chosen now, or found recorded.
  const auto chose = [&](std::string suffix, bool now) {
    db.Found(Database::Record::kScriptName, !now);
    if (now && chosen != nullptr) *chosen = true;
    return suffix;
  };
  // Remembered as this operation's, with its name held.
  const auto keep = [&](std::string suffix) {
    if (known != nullptr) {
      known->scriptNames.insert(ScriptNameKeyText(key, key.baseName + suffix));
      known->scripts.emplace(knownKey, suffix);
    }
    return suffix;
  };
  const auto recorded = [&]() -> std::optional<std::string> {
    Statement query(db, "SELECT suffix FROM script_names WHERE type = ? AND folder = ? AND base = ? AND operation = ?");
    query.Bind(1, int64_t{key.type}).Bind(2, key.folder).Bind(3, key.baseName).Bind(4, operationKey);
    if (query.Step()) return query.ColumnText(0);
    return std::nullopt;
  };
  if (known == nullptr && !db.InsertsFirst(Database::Record::kScriptName)) {
    if (std::optional<std::string> suffix = recorded()) return chose(*suffix, false);
  }
  const std::string placed = operation.place > 1 ? std::to_string(operation.place - 1) : std::string();
  for (int n = -1;; ++n) {
    // The place's suffix first, then "", "1", "2", ...
    const std::string suffix = n < 0 ? placed : n == 0 ? std::string() : std::to_string(n);
    if (n >= 0 && suffix == placed) continue;
    if (reserved && reserved(key.baseName + suffix)) continue;
    if (known != nullptr && known->scriptNames.count(ScriptNameKeyText(key, key.baseName + suffix)) != 0) continue;
    if (known != nullptr && db.Deferring()) {
      // Free when the run began: deferred as a datapool name is.
      const std::string name = key.baseName + suffix;
      db.Defer(kRecordScriptName,
               {std::to_string(key.type), key.folder, name, key.baseName, suffix, operationKey}, name, false,
               [&db, key, suffix, operationKey, name](const std::vector<std::string>* row) -> Database::DeferredOutcome {
                 if (row != nullptr) return {};
                 Statement query(
                     db, "SELECT suffix FROM script_names WHERE type = ? AND folder = ? AND base = ? AND operation = ?");
                 query.Bind(1, int64_t{key.type}).Bind(2, key.folder).Bind(3, key.baseName).Bind(4, operationKey);
                 if (query.Step() && query.ColumnText(0) == suffix) return {};
                 return {Database::DeferredOutcome::kFailed, Text(WB_NAME_TAKEN_MEANWHILE, {name, operationKey})};
               });
      return keep(chose(suffix, true));
    }
    // Recorded unless the name is held (or the operation recorded meanwhile):
    // the insert itself tells, without a query before it.
    if (db.Batch() != nullptr) db.Batch()->BeforeChange();
    Statement record(db, kRecordScriptName);
    record.Bind(1, int64_t{key.type}).Bind(2, key.folder).Bind(3, key.baseName + suffix).Bind(4, key.baseName);
    if (record.Bind(5, suffix).Bind(6, operationKey).Step()) return keep(chose(suffix, true));
    // Recorded before (when not asked first), or meanwhile by another user.
    if (std::optional<std::string> theirs = recorded()) return keep(chose(*theirs, false));
    if (known != nullptr) known->scriptNames.insert(ScriptNameKeyText(key, key.baseName + suffix));
  }
}

}  // namespace zt::wb
