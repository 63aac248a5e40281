// The store on PostgreSQL (see PgStore.h).
#include "workbench/store/postgres/PgStore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/Error.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace fs = std::filesystem;

PgStore::PgStore(StoreOptions options, const StoreEnv& env)
    : StoreBase(std::move(options), env),
      conninfo_(Options().location.conninfo),
      scriptsFolder_(Options().location.scripts) {}

PgStore::~PgStore() { Close(); }

std::string PgStore::Location() const {
  const std::string database = connection_ ? connection_->Where() : conninfo_;
  return Text(WB_PG_LOCATION, {database, scriptsFolder_});
}

void PgStore::OpenStore(const std::string& user) {
  // The wait on the server gives up on the user's Ctrl-C; a connection
  // given up for good is told once, and stops the run (GivenUp).
  PgConnection::Surroundings surroundings{Env().interrupted, Env().now, [this](const std::string& message) {
                                            if (givenUp_) return;
                                            givenUp_ = message;
                                            TheConsole().Tell(message, message);
                                          }};
  std::unique_ptr<PgConnection> connection = PgConnect(conninfo_, Options().busyPatience, false, surroundings);
  // The scripts folder is made once the database is found to hold a store
  // this program takes (or none yet) and to take the login, and before that
  // is committed: a store refused for either makes nothing.
  PgMakeSchema(*connection, user, [this] {
    std::error_code ec;
    fs::create_directories(scriptsFolder_, ec);
    if (ec) RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {scriptsFolder_, ec.message()}));
    UniqueFd scripts = OpenFolder(scriptsFolder_);
    if (!scripts) {
      RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {scriptsFolder_, std::strerror(errno)}));
    }
    Scripts().Open(std::move(scripts), scriptsFolder_);
  });
  try {
    connection->ReadRunRecords();
  } catch (const ZtError& e) {
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {connection->Where(), e.Description()}));
  }
  connection_ = std::move(connection);
}

void PgStore::BeginDatabaseBatch() {
  if (connection_) connection_->SetDeferring(true);
}

std::map<int32_t, std::string> PgStore::Confirm() {
  std::map<int32_t, std::string> failed;
  if (!connection_) return failed;
  connection_->SendDeferred();
  for (Database::DeferredFailure& failure : connection_->TakeDeferredFailures()) {
    if (failure.outcome.kind == Database::DeferredOutcome::kThereAlready) {
      thereAlready_.emplace_back(failure.operation, std::move(failure.subject));
    } else if (!failure.datapool) {
      failed.emplace(failure.operation, std::move(failure.outcome.reason));
    } else if (failure.outcome.kind == Database::DeferredOutcome::kUnknown) {
      // Sent, and no answer came: the server may have stored it, so it is
      // not called lost, and its script is not placed either.
      // Told with the cause last: a server that went away loses the
      // datapools of a whole batch for one reason, told once with a count
      // by a console that folds repeated causes (--quiet); each is logged.
      TellFailure(Text(WB_STORE_DATAPOOL_UNKNOWN, {failure.subject, connection_->Where(), failure.outcome.reason}),
                  Text(WB_STORE_DATAPOOL_UNKNOWN,
                       {Text(WB_STORE_SUBJECT_ELIDED), connection_->Where(), failure.outcome.reason}));
      ++datapoolsLost_;
      failed.emplace(failure.operation, Text(WB_SCRIPT_DATAPOOL_UNKNOWN, {failure.subject}));
      unknown_.emplace_back(failure.operation, std::move(failure.subject));
    } else {
      TellFailure(Text(WB_STORE_DATAPOOL_LOST, {failure.subject, connection_->Where(), failure.outcome.reason}),
                  Text(WB_STORE_DATAPOOL_LOST,
                       {Text(WB_STORE_SUBJECT_ELIDED), connection_->Where(), failure.outcome.reason}));
      ++datapoolsLost_;
      failed.emplace(failure.operation, Text(WB_SCRIPT_DATAPOOL_LOST, {failure.subject}));
      lost_.emplace_back(failure.operation, std::move(failure.subject));
    }
  }
  return failed;
}

void PgStore::FlushDatabase() {
  try {
    Confirm();
  } catch (const ZtError& e) {
    // The connection is gone for good: what was still deferred is lost,
    // and told with its operations when the batch ends.
    TheConsole().Tell(e.Description(), e.Description());
  }
}

std::vector<std::pair<int32_t, std::string>> PgStore::TakeUnknown() {
  std::vector<std::pair<int32_t, std::string>> unknown = std::move(unknown_);
  unknown_.clear();
  return unknown;
}

std::vector<std::pair<int32_t, std::string>> PgStore::EndDatabaseBatch() {
  if (!connection_) return {};
  FlushDatabase();
  Confirm();  // what the failure above left to tell
  connection_->SetDeferring(false);
  std::vector<std::pair<int32_t, std::string>> lost = std::move(lost_);
  lost_.clear();
  return lost;
}

}  // namespace zt::wb
