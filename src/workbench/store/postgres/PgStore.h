// The workbench's store on PostgreSQL, for a team that shares it: the
// datapools, the tool options, the store's user, its name records and its
// sessions in a PostgreSQL database (PgDatabase.h), the scripts in a shared
// folder below which every member of the team reaches the same files:
//   <scripts>/java/   Java scripts (dsJavaScript)
//   <scripts>/vb/     Visual Basic scripts (dsVisualBasicScript)
// with the atomic writes, refused paths and replace question of every store
// (ScriptFiles.h), and the login, session and names of StoreBase.h.
//
// Several users at once: every datapool and every name is its own
// transaction, committed when it is sent, so that another user sees it
// within the batch (a second at most): each datapool is created once (the
// second user finds it, and answers the overwrite question when it
// differs), each name is given to one operation. A script is given its
// name only while no other writer's file holds it (ScriptFiles.h). Nothing
// waits for another user longer than one datapool takes to store, and no
// run fails for being second.
//
// Round trips: the store's one connection reads the name records and a
// digest of every datapool once, when it is opened (PgConnection::
// ReadRunRecords); a new datapool is one statement. In a batch, the name
// records and new datapools of a run are deferred (PgDatabase.h) and go to
// the server together, in one round trip, when the batch's scripts are
// placed (ScriptFiles.h): a script is placed only once the names in it are
// its operation's and its datapool is committed. A change that was not made
// as foreseen (another user took the name, or created the datapool with
// other content, that very moment) is told on the console, and its
// operation loses its script (and its datapool), as a batch of the folder
// store loses what it cannot make durable (StoreBase::Losses). A datapool
// that was sent and not answered (the connection given up for want of an
// answer, or lost for good) is told as unknown, not as lost: the server may
// have stored it, or may store it once it goes on. A script
// whose name another user's file took meanwhile is the replace question
// when it is placed. A lost connection is made anew (PgDatabase.h).
//
// The schema is made by the first connection that logs in (an empty
// database becomes a store), and carries its version: a store of a newer
// version is refused with the versions in the message.
//
// Ownership: the store borrows the console, which must outlive it; it owns
// its connection.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workbench/store/StoreBase.h"
#include "workbench/store/postgres/PgDatabase.h"

namespace zt::wb {

class PgStore : public StoreBase {
 public:
  /// A store on the database of `options.location` with its scripts
  /// folder, not yet opened.
  PgStore(StoreOptions options, const StoreEnv& env);
  ~PgStore() override;

  /// The database (without a password) and the scripts folder.
  std::string Location() const override;
  /// Why the connection was given up for good (the server stayed away or
  /// stopped answering), told once on the console when it was.
  std::optional<std::string> GivenUp() const override { return givenUp_; }

 protected:
  /// Connects, makes the schema when the database holds none and records
  /// the login, makes and opens the scripts folder before that is
  /// committed, and reads the run's records; raises error 75
  /// (WB_STORE_CANNOT_OPEN), having made nothing when the database is refused.
  void OpenStore(const std::string& user) override;
  Database* Db() override { return connection_.get(); }

  void BeginDatabaseBatch() override;
  void FlushDatabase() override;
  std::vector<std::pair<int32_t, std::string>> EndDatabaseBatch() override;
  int32_t DatabaseFailures() const override { return datapoolsLost_; }
  void ResetDatabaseSession() override { datapoolsLost_ = 0; }
  bool DefersChanges() const override { return true; }
  std::map<int32_t, std::string> ConfirmChanges() override { return Confirm(); }
  std::vector<std::pair<int32_t, std::string>> TakeThereAlready() override {
    std::vector<std::pair<int32_t, std::string>> found = std::move(thereAlready_);
    thereAlready_.clear();
    return found;
  }
  std::vector<std::pair<int32_t, std::string>> TakeUnknown() override;

 private:
  // Sends the deferred changes: the operations whose changes failed, with
  // the reason for their scripts; a datapool not stored is told and kept
  // as a loss.
  std::map<int32_t, std::string> Confirm();

  int32_t datapoolsLost_ = 0;
  std::vector<std::pair<int32_t, std::string>> lost_;
  std::vector<std::pair<int32_t, std::string>> thereAlready_;
  std::vector<std::pair<int32_t, std::string>> unknown_;
  std::string conninfo_;
  std::string scriptsFolder_;
  std::optional<std::string> givenUp_;
  std::unique_ptr<PgConnection> connection_;
};

}  // namespace zt::wb
