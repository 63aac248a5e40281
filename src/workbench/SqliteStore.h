// The workbench's test-asset store: a store folder holding an SQLite
// database (`store.db`: store metadata now, datapools and tool options as
// later migrations add them) and one script root per script type:
//   <store>/scripts/java/   Java scripts (dsJavaScript)
//   <store>/scripts/vb/     Visual Basic scripts (dsVisualBasicScript)
//
// Scripts: the add-in's "\"-separated folders map below the root of their
// type. A name that would leave the root is refused; files appear only when
// complete (temporary file and rename); a file holding the same text is left
// alone; a file holding other text is replaced only when the user says yes.
// Opening the store removes the temporary files that killed writers left in
// the script roots (see DiskFileSystem.h).
//
// Names within a session (MakeScriptName): a script name counts as stored
// once SaveScript was called for it in this session, whatever the answer,
// under its base name (the file name without its last extension:
// "ICalcAdd.cls" marks "ICalcAdd"). Callers of MakeScriptName leave out the
// leading root folder that SaveScript receives ("bank\core" there,
// "unittests\bank\core" here), so a folder F of MakeScriptName matches a
// stored folder S when S is F or S is one more folder followed by F, comparing
// whole components ("\" and "/" both separate, empty components ignored):
//   F "bank\core"  matches S "unittests\bank\core" and "bank\core",
//                  not "unittests\x\bank\core";
//   F ""           matches S "unittests", "unittests\" and "";
//   F "Maths\Calc" matches S "unittests\Maths\Calc" holding ICalcAdd.cls,
//                  ICalcAdd.rc and ICalcAdd.vbp, which all mark "ICalcAdd".
// The suffix is "" when the base name is not marked for F, else the smallest
// of "1", "2", ... whose name is not. Only this session counts, never the
// disk: ResetSession forgets the names, so the next run gets the same names
// again and reaches the overwrite question instead of adding copies.
//
// Datapool names (MakeDatapoolName) are "<class>_<operation>", followed by
// the suffix that MakeScriptName last gave in this session for the base name
// "<class><operation>": overloads of one operation get a datapool each, named
// like their tests ("AccountHome_create", "AccountHome_create1").
//
// Ownership: the store borrows the console, which must outlive it; it owns
// its connection, which lives until the store is destroyed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "host/DataStore.h"
#include "workbench/Console.h"

struct sqlite3;

namespace zt::wb {

/// How the workbench's store is set up.
struct StoreOptions {
  /// The store folder; relative paths are taken from the current folder at
  /// construction. Created with its parents on first use.
  std::string folder = "ztstore";
  /// The user to log in (the host's --user); when unset or empty, Open takes
  /// $ZTUNITTEST_USER, else asks on the console.
  std::optional<std::string> userName;
};

/// The open database of a store, handed to the datapool and option
/// components. The store owns it; the handle is valid while the store lives.
class SqliteConnection : public DataStoreConnection {
 public:
  /// Takes ownership of the open `handle`.
  explicit SqliteConnection(sqlite3* handle);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  /// The open database; never null.
  sqlite3* Handle() const { return handle_; }

 private:
  sqlite3* handle_;
};

/// The database behind `connection`; raises error 91 when `connection` is
/// null and error 13 when it is not a workbench store's connection.
sqlite3* SqliteHandle(DataStoreConnection* connection);

class SqliteStore : public DataStore {
 public:
  /// A store on `options.folder`, not yet opened; dialogs go to `console`.
  SqliteStore(StoreOptions options, Console& console);
  ~SqliteStore() override;

  /// Logs the user in (option, else $ZTUNITTEST_USER, else a prompt whose
  /// default is $USER), then creates the folder, the database and the script
  /// roots as needed and brings the database schema up to date. Raises
  /// errc::kStoreCancelled when the login is cancelled (end of input, or the
  /// cancel word), and error 75 naming the path when the store cannot be
  /// created or written. A second call does nothing.
  void Open() override;

  /// Whether Open would ask the console for the user name: no user option
  /// and no $ZTUNITTEST_USER.
  bool AsksForLogin() const;

  /// Forgets the names stored and the for-all answers given in this session.
  void ResetSession() override;

  /// Stores `content` as `fileName` in `folder` below the root of `type`
  /// (see the file comment). Returns 0 when stored or already holding
  /// `content`; 1007 when refused (with a message), declined, or failed (with
  /// a message); 1008 when the user cancels. Raises error 5 before Open.
  int32_t SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                     const std::string& content) override;

  /// How many scripts SaveScript refused or failed to write (each with a
  /// message) since the session began; declined replacements do not count.
  int32_t ScriptsNotStored() const { return scriptsNotStored_; }

  /// While true, overwrite questions also offer "yes to all" and "no to all".
  void SetMultipleItems(bool multipleItems) override;

  /// The absolute native root of `type` with its trailing "/"; raises error 5
  /// for an unknown type.
  std::string ScriptRoot(dsScriptType type) override;

  /// The suffix that makes `baseName` unique in `folder` (see the file comment).
  std::string MakeScriptName(const std::string& baseName, const std::string& folder, dsScriptType type) override;

  /// `<className>_<operationName>`, the same for every run; `kind` is not used.
  std::string MakeDatapoolName(const std::string& className, const std::string& operationName,
                               int32_t kind) override;

  /// The user logged in by Open; empty before.
  std::string UserName() override;

  /// The open database (a SqliteConnection); null before Open.
  DataStoreConnection* Connection() override;

 private:
  // What the user answered "for all" in this session.
  enum class ForAll { kAsk, kYes, kNo };

  std::string LogIn();
  void OpenDatabase(const std::string& userName);
  std::optional<std::filesystem::path> ResolveFolder(const std::filesystem::path& root, const std::string& folder);
  int32_t Refuse(const std::string& fileName, const std::string& folder, const std::filesystem::path& root);
  int32_t Write(const std::filesystem::path& target, const std::string& content);
  void MarkStored(const std::string& fileName, const std::string& folder, dsScriptType type);

  StoreOptions options_;
  Console& console_;
  std::filesystem::path folder_;
  std::unique_ptr<SqliteConnection> connection_;
  std::string userName_;
  bool multipleItems_ = false;
  int32_t scriptsNotStored_ = 0;
  ForAll forAll_ = ForAll::kAsk;
  // (type, folder, base name) marked by SaveScript in this session; a stored
  // file marks its folder and its folder without the first component.
  std::set<std::tuple<dsScriptType, std::string, std::string>> stored_;
  // The suffix MakeScriptName last gave, by base name.
  std::map<std::string, std::string> lastSuffix_;
};

/// Why the store folder `folder` cannot be opened for writing, as the text of
/// WB_STORE_CANNOT_OPEN; nullopt when no reason is found. Looks without
/// creating or changing anything: a file where a folder of the store should
/// be, a folder or database that cannot be written, a database that is not a
/// store's, is damaged or is of a newer version. A folder that does not
/// exist yet is fine when it can be created.
std::optional<std::string> StoreFolderProblem(const std::string& folder);

}  // namespace zt::wb
