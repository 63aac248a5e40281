// The database of a store, either back-end (see Database.h).
#include "workbench/store/Database.h"

#include "support/Error.h"

namespace zt::wb {

Database& DatabaseOf(DataStoreConnection* connection) {
  auto* ours = dynamic_cast<Database*>(&Ref(connection));
  if (ours == nullptr) RaiseError(errc::kTypeMismatch);
  return *ours;
}

Transaction::Transaction(Database& db) : db_(db), nested_(db.InTransaction()) {
  db_.Execute(nested_ ? "SAVEPOINT zt_change" : db_.BeginStatement());
}

Transaction::~Transaction() {
  if (!open_) return;
  // A savepoint's rollback fails harmlessly when a failure has already
  // rolled the whole transaction back.
  db_.ExecuteQuietly(nested_ ? "ROLLBACK TO zt_change; RELEASE zt_change" : "ROLLBACK");
}

void Transaction::Commit() {
  db_.Execute(nested_ ? "RELEASE zt_change" : "COMMIT");
  open_ = false;
  if (!nested_) db_.Committed();
}

}  // namespace zt::wb
