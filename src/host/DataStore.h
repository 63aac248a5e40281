// The test-asset store: where generated scripts are kept, who the user is,
// and the connection that the datapool components work on. One store is
// shared by a whole generation run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zt {

/// The kind of a stored script.
using dsScriptType = int32_t;
inline constexpr dsScriptType dsJavaScript = 0;         ///< a Java test script
inline constexpr dsScriptType dsVisualBasicScript = 1;  ///< a Visual Basic test script

/// Result codes of `DataStore::SaveScript`.
namespace save_result {
inline constexpr int32_t kStored = 0;
inline constexpr int32_t kNotWritten = 1007;
inline constexpr int32_t kCancelled = 1008;
}  // namespace save_result

/// Result codes of `DataStore::DeleteScript`.
namespace delete_result {
inline constexpr int32_t kDeleted = 0;
inline constexpr int32_t kNoSuchFile = 53;
inline constexpr int32_t kNotDeleted = 1007;
}  // namespace delete_result

/// What the store hands to the datapool components; only they look inside.
class DataStoreConnection {
 public:
  virtual ~DataStoreConnection() = default;
};

class DataStore {
 public:
  virtual ~DataStore() = default;

  /// Logs the user in; the first call after creation. A cancelled login
  /// raises the store's cancel error (errc::kStoreCancelled).
  virtual void Open() = 0;

  /// Starts a new session: called after Open and at the start of every run.
  virtual void ResetSession() = 0;

  /// Stores `content` as `fileName` in `folder` (relative to the script root
  /// of `type`, "\"-separated). Returns 0 stored, 1007 not written, 1008
  /// cancelled by the user.
  virtual int32_t SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                             const std::string& content) = 0;

  /// SaveScript for a text a template made: `dates` are the texts of the
  /// generation date it holds. A stored file that differs from `content`
  /// only in those places (holding another date there) counts as holding
  /// `content`: it is left alone, and nothing is asked. A store that does
  /// not compare so stores as SaveScript does.
  virtual int32_t SaveGeneratedScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                                      const std::string& content, const std::vector<std::string>& /*dates*/) {
    return SaveScript(fileName, folder, type, content);
  }

  /// True while the run generates for more than one item: overwrite
  /// questions then offer answers for all items.
  virtual void SetMultipleItems(bool multipleItems) = 0;

  /// The root folder of scripts of `type`, with its trailing separator.
  virtual std::string ScriptRoot(dsScriptType type) = 0;

  /// A suffix that makes `baseName` unique in `folder` for this session; the
  /// same arguments give the same suffix again within one operation.
  virtual std::string MakeScriptName(const std::string& baseName, const std::string& folder, dsScriptType type) = 0;

  /// The name of the datapool of an operation.
  virtual std::string MakeDatapoolName(const std::string& className, const std::string& operationName,
                                       int32_t kind) = 0;

  /// The user logged in by Open.
  virtual std::string UserName() = 0;

  /// The connection handed to the datapool components.
  virtual DataStoreConnection* Connection() = 0;

  /// Whether the last SaveScript that did not store its script refused the
  /// path or failed to write it (and said why), rather than the user
  /// declining to replace a file. The run then counts the operation as not
  /// generated.
  virtual bool LastSaveFailed() { return false; }

  /// Deletes the script `fileName` in `folder` below the root of `type` when
  /// it is there, with the path checks of SaveScript: a path SaveScript
  /// refuses is not touched, and nothing outside the root ever is. Returns a
  /// delete_result: deleted, no such file, or refused or failed (said why).
  virtual int32_t DeleteScript(const std::string& /*fileName*/, const std::string& /*folder*/, dsScriptType /*type*/) {
    return delete_result::kNotDeleted;
  }

  /// Whether the script `fileName` in `folder` below the root of `type` is
  /// there, as a file; false for a path SaveScript refuses.
  virtual bool ScriptExists(const std::string& /*fileName*/, const std::string& /*folder*/, dsScriptType /*type*/) {
    return false;
  }

  /// A run stores between BeginBatch and EndBatch. Meanwhile the store may
  /// make what it stores durable a batch at a time instead of item by item:
  /// a crash may then lose the last batch, but never leaves a half-written
  /// script or datapool. A store that stores item by item ignores all three.
  virtual void BeginBatch() {}
  /// Within a batch: what is stored from now on belongs to the operation
  /// numbered `operation` (the caller's numbers).
  virtual void BeginOperation(int32_t /*operation*/) {}
  /// Makes everything stored so far durable; does not raise. Returns the
  /// operations (as numbered by BeginOperation) of which a script or a
  /// datapool could not be made durable after all; the store has said which
  /// and why.
  virtual std::vector<int32_t> EndBatch() { return {}; }
};

}  // namespace zt
