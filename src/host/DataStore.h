// The test-asset store: where generated scripts are kept, who the user is,
// and the connection that the datapool components work on. One store is
// shared by a whole generation run.
#pragma once

#include <cstdint>
#include <string>

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

  /// A run stores between BeginBatch and EndBatch. Meanwhile the store may
  /// make what it stores durable a batch at a time instead of item by item:
  /// a crash may then lose the last batch, but never leaves a half-written
  /// script or datapool. EndBatch makes everything stored so far durable and
  /// reports its own failures; it does not raise. A store that stores item by
  /// item ignores both.
  virtual void BeginBatch() {}
  virtual void EndBatch() {}
};

}  // namespace zt
