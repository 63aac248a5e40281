// Datapool names: which datapool belongs to which operation.
//
// The add-in asks for a datapool name with the class and operation names
// alone, which overloads share, and classes of one name in different
// packages too. So the store names by the operation itself: the operation
// in hand, which the host learns when the run reaches an operation
// (HostComponents::OperationStarting), before the run asks for the
// datapool's name twice (once for the tags, once to create it). The store
// records the name it gave each operation (table datapool_names), so that an
// operation keeps its name in every later run, and no two operations ever
// share one.
//
// An operation is known by its key: its qualified name without the model's
// root package and, for the second and later of several operations of one
// name in a class, "#" and its place among them in model order
// ("bank::core::AccountHome::create#2"). The same operation in another model
// of the store (a revision of the model, its XMI export) has the same key,
// and so the same datapool.
//
// The name an operation gets is the first of these that no other operation
// holds:
//   <class>_<operation>[n]              Account_deposit, AccountHome_create1
//   <package>_<class>_<operation>[n]    the package path joined by "_", other
//                                       than letters, digits and "_" as "_": b_C_f
//   either of these followed by _2, _3, ...  (the package form when there is one)
// where n is the place among the class's operations of that name, less one,
// for the second and later of them: the suffix their test scripts get when
// the class is generated whole. A datapool of a name that no operation holds
// (one made before names were recorded, when they were <class>_<operation>
// and the suffix of the test script) is taken over by the first operation
// that asks for that name.
//
// Script names (ScriptNames): the suffix MakeScriptName gives is recorded
// the same way (table script_names), by script type, folder (as
// MakeScriptName receives it, components joined by "\"), base name and
// operation, and the whole name (base name and suffix) is held by one
// operation at most in a folder and type. An operation gets the first free
// of: the suffix its place among the class's operations of that name gives
// ("" for the first, "1" for the second, ...: what generating the class
// whole gives), then "", "1", "2", .... A name that another store user
// records at the same moment is found by the database (the record is
// unique), and the next free one is taken. A Java script never takes the
// name of a class of the model in the package it lies in: a test class of
// that name would hide the class from the tests of its package.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "host/DataStore.h"
#include "host/TesselModel.h"

namespace zt::wb {

class Database;

/// What a datapool name is made of: an operation as the store knows it.
struct OperationIdentity {
  std::string className;
  std::string operationName;
  /// The packages from below the root to the class, "::"-separated; "" for
  /// a class directly in the root package.
  std::string packagePath;
  /// 1 for the first operation of its name in its class, 2 for the second, ...
  int place = 1;
  /// The package of the operation's class (borrowed from the model).
  TesselCategory* package = nullptr;

  /// "bank::core::AccountHome::create#2" (see the file comment).
  std::string Key() const;
};

/// The identity of `operation`; nullopt when the model cannot tell its class.
std::optional<OperationIdentity> IdentifyOperation(TesselOperation& operation);

/// The names `operation` may get, in the order they are tried, the first
/// `count` of them (see the file comment).
std::vector<std::string> DatapoolNameCandidates(const OperationIdentity& operation, int count);

/// The operation the add-in is generating for, as far as the workbench
/// knows: set when the run reaches an operation, cleared when it is done.
class OperationInHand {
 public:
  void Set(std::optional<OperationIdentity> operation) { operation_ = std::move(operation); }
  /// The operation in hand when it is named `className` and `operationName`.
  const OperationIdentity* Matching(const std::string& className, const std::string& operationName) const;
  /// The operation in hand; null when there is none.
  const OperationIdentity* Current() const { return operation_ ? &*operation_ : nullptr; }

 private:
  std::optional<OperationIdentity> operation_;
};

/// The store's name records as a back-end over a network reads them, once
/// per connection (Database::Known): what the store held when the run
/// began, and what this run recorded since. A name found here is not asked
/// of the database again; one not found is recorded at once, and the
/// database tells whether another user holds it.
struct KnownNames {
  /// Datapool names by operation key, and every datapool name held.
  std::unordered_map<std::string, std::string> datapools;
  std::unordered_set<std::string> datapoolNames;
  /// Script suffixes by "type\nfolder\nbase\noperation", and every script
  /// name held, as "type\nfolder\nname".
  std::unordered_map<std::string, std::string> scripts;
  std::unordered_set<std::string> scriptNames;
  /// What was generated (GeneratedScripts in StoreBase.h): digests by "type\npath".
  std::unordered_map<std::string, std::string> generated;
};

/// The datapool name recorded for `operation` in the store database `db`;
/// when there is none, the first free candidate, recorded now (joining the
/// database's batch when it has one). Raises error 75 when the database fails.
std::string RecordedDatapoolName(Database& db, const OperationIdentity& operation);

/// The datapool name `operation` has in the store database `db`: the one
/// recorded for it, else the one it would get now. Reads only. Raises error
/// 75 when the database fails.
std::string StoredDatapoolName(Database& db, const OperationIdentity& operation);

/// Where a script name is unique: its type, its folder as MakeScriptName
/// receives it (components joined by "\"), and its base name.
struct ScriptNameKey {
  dsScriptType type = dsJavaScript;
  std::string folder;
  std::string baseName;
};

/// The suffix recorded for `operation` under `key` in `db`; when there is
/// none, the first free one (see the file comment), recorded now. Names for
/// which `reserved` answers true are never given; it may be asked before the
/// record is found, so what it answered counts only when `chosen` is set: the
/// suffix was chosen now, not recorded before. Raises error 75 when the
/// database fails.
std::string RecordedScriptSuffix(Database& db, const ScriptNameKey& key, const OperationIdentity& operation,
                                 const std::function<bool(const std::string&)>& reserved = {},
                                 bool* chosen = nullptr);

}  // namespace zt::wb
