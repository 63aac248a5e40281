// Datapools in the store's database (either back-end, Database.h): the test
// inputs and the expected result of one operation, as named fields and rows
// of values.
//
// Schema (store migration 2; `digest` migration 7):
//   datapools        (id, name UNIQUE, description, created, updated, user, digest)
//   datapool_fields  (id, datapool, position, name, type)   UNIQUE (datapool, position), (datapool, name)
//   datapool_rows    (id, datapool, position)               UNIQUE (datapool, position)
//   datapool_values  (row, field, value)                    PRIMARY KEY (row, field)
// `digest` is StoredDigest of what the datapool holds, written by every
// change of its description, fields or rows (here, and in the PostgreSQL
// back-end's statement that creates one), so that a store over a network
// knows every datapool's content without reading its rows (PgDatabase.h);
// NULL for a datapool stored before version 7 or by other means (that
// store's open makes it). It only tells whether a datapool holds given
// content; what a datapool holds is always read from its rows.
// Times are UTC, "YYYY-MM-DD HH:MM:SS"; `user` is who created or last changed
// the datapool: the user logged in on the connection that did (on one
// without a login, the user who last opened the store: store_info.last_user).
// Positions count from 1. A datapool is created with one row, its initial
// values; editing may add or remove rows.
//
// The field list the add-in hands to CreateDatapool is a JSON array of
// objects, in field order: {"name": NAME, "type": TYPE, "value": VALUE}.
// "name" is required, non-empty and unique within the list; "type" and
// "value" are strings and default to ""; other keys are ignored. An empty
// list creates a datapool without fields and without rows (there are no
// values to hold); such a datapool cannot be edited.
//
// Codes of CreateDatapool: 0 created (or replaced, while overwriting is on;
// or changed: it gained fields, below);
// 4 nothing to report: a datapool of that name exists with the same
// description, fields and rows as the one asked for, or with the same
// description and fields and rows of the user's while the model gives what
// it gave when the store made the datapool (below), so it is left as it
// is, whether or not overwriting is on (a run repeated on an unchanged
// model reaches no overwrite question);
// kDatapoolExists (1): a datapool of that name exists with other content and
// overwriting is off. A field list that is not usable raises error 5 and
// stores nothing; so does a value no store can keep (a NUL byte, which
// PostgreSQL cannot hold: both back-ends refuse it, naming the field and
// the row, rather than one of them cutting it short), here and wherever
// rows are stored (ReplaceDatapoolRows, CopyDatapool, the CSV readers). Every change is one transaction: all of it or
// nothing. Two users creating one datapool at the same moment: the database lets one of them create it, and the other
// finds it existing (code 4, or 1 and its question). In a store's batch (see SqliteStore.h) it is part of the batch's
// transaction: a replaced datapool is changed in a savepoint, and what a new
// one wrote is deleted again when a write fails; still all of it or nothing,
// made durable with the batch.
//
// What was generated: the store records, for each datapool it creates,
// replaces or changes from the model, a digest of the model's side of it
// (description, fields and initial row) in its table of what was generated
// (generated_scripts, see StoreBase.h; type kGeneratedDatapool, the name as
// the path). A datapool whose rows the user changed (imported, recorded,
// edited) but whose model side is what the record says is the user's: it is
// left alone, unasked. A model change still asks. A record without its
// datapool's change (a batch that lost it) costs only that question: a
// datapool is taken as unchanged only when its description and fields are
// the model's too.
//
// A datapool that only gains fields (the model gave its operation a
// parameter more) gains them unasked, its rows keeping their values, and is
// reported as changed (code 0) — unless the user said to keep every
// existing datapool (an answer "no" or "none" given in advance to the
// overwrite question, or "no to all" in this run: SetKeepExisting): then it
// is asked about like any other change (code 1).
//
// Editing: the datapool is written as CSV (see Csv.h; the header is the field
// names) to a private temporary file and opened in the user's editor (see
// Editor.h). When the editor exits with status 0 and the file changed, it is
// read back: the header must be unchanged and every record must have one
// value per field; then its records replace the datapool's rows in one
// transaction. A file that is malformed changes nothing, and the message
// names the file, which is kept so that the user's edits are not lost.
//
// Ownership: the components borrow the console, which must outlive them, and
// the connection for the length of a call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/MakerTools.h"
#include "workbench/store/Database.h"
#include "workbench/terminal/Console.h"

namespace zt::wb {

/// CreateDatapool's code for "a datapool of that name exists with other
/// content, and overwriting is off".
inline constexpr int32_t kDatapoolExists = 1;

/// The type under which the store's table of what was generated keeps
/// datapools (script types are 0 and up).
inline constexpr int kGeneratedDatapool = -1;

/// The name under which the explorer hands out its only view.
inline constexpr const char* kDatapoolViewName = "Datapool";

/// One field (column) of a datapool.
struct DatapoolField {
  std::string name;
  std::string type;
  bool operator==(const DatapoolField&) const = default;
};

/// A datapool as stored.
struct Datapool {
  /// Its key in the database; 0 when it is not stored.
  int64_t id = 0;
  std::string name;
  std::string description;
  std::string created;
  std::string updated;
  std::string user;
  /// The fields, in order.
  std::vector<DatapoolField> fields;
  /// The rows, in order; each holds one value per field.
  std::vector<std::vector<std::string>> rows;
};

/// The fields and the initial row that the JSON field list `fields` describes
/// (see the file comment); raises error 5 naming datapool `name` and the fault.
Datapool ParseDatapoolFields(const std::string& name, const std::string& fields);

/// The JSON field list of `fields` with the initial values `values` (one per
/// field; missing ones are ""), without blanks, in the order name, type,
/// value. Text that is not UTF-8 is replaced by U+FFFD.
std::string DatapoolFieldList(const std::vector<DatapoolField>& fields, const std::vector<std::string>& values);

/// A digest of the content of `datapool`: its description, its fields and
/// its rows, each row with the values it holds. Equal content, equal digest
/// (32 hexadecimal digits, the same on every machine).
std::string DatapoolDigest(const Datapool& datapool);

/// DatapoolDigest of the datapool that `description`, `fields` and `rows`
/// come to as stored: each row with one value per field (a missing value
/// stored as "", one beyond the last field not at all). What the column
/// `digest` holds (see the file comment).
std::string StoredDigest(const std::string& description, const std::vector<DatapoolField>& fields,
                         const std::vector<std::vector<std::string>>& rows);

/// The datapool named `name`, or nullopt (also when the store has no datapool
/// tables yet).
std::optional<Datapool> LoadDatapool(Database& db, const std::string& name);

/// The names of all datapools, sorted.
std::vector<std::string> DatapoolNames(Database& db);

/// The datapool as CSV: the field names, then one record per row.
std::string DatapoolCsv(const Datapool& datapool);

/// The rows of CSV `text` edited from `datapool`; raises error 5 with the
/// reason when it is malformed or its header is not the field names.
std::vector<std::vector<std::string>> ReadDatapoolCsv(const Datapool& datapool, const std::string& text);

/// Reads CSV `text` imported into `datapool`: its header names exactly the
/// datapool's fields, each once, in any order; every further record has one
/// value per field. The rows come back in the datapool's field order; error 5
/// with the reason, naming its line, when the file is not such.
std::vector<std::vector<std::string>> ReadImportedCsv(const Datapool& datapool, const std::string& text);

/// Replaces the rows of `datapool` by `rows` in one transaction; raises error
/// 75 when the datapool is gone or its fields changed since it was loaded.
void ReplaceDatapoolRows(Database& db, const Datapool& datapool, const std::vector<std::vector<std::string>>& rows);

/// Stores `datapool` whole, as it is (times and user included), replacing a
/// datapool of its name; joins an open transaction.
void CopyDatapool(Database& db, const Datapool& datapool);

/// The list of datapools: one line each with its fields and number of rows.
std::string DatapoolListing(Database& db);

/// A datapool in full: description, times, user, fields and rows.
std::string DatapoolDetails(const Datapool& datapool);

/// How the text a user edited is read back into rows: ReadDatapoolCsv (the
/// header unchanged) or ReadImportedCsv (the rules of an import).
using CsvReader = std::vector<std::vector<std::string>> (*)(const Datapool& datapool, const std::string& text);

/// What an edit in the editor came to, and the message that tells it.
struct EditOutcome {
  enum Kind { kStored, kUnchanged, kNotStored } kind = kNotStored;
  std::string message;
};

/// Lets the user edit the datapool `name` of `db` in the editor (see the
/// file comment), the file read back with `read`; the rows are stored in
/// one transaction, or nothing is. Tells nothing itself.
EditOutcome EditDatapoolInEditor(Database& db, const std::string& name, CsvReader read);

/// The datapool component on the store's database.
class WorkbenchDatapoolTool : public DatapoolTool {
 public:
  /// Messages of EditDatapool go to `console`.
  explicit WorkbenchDatapoolTool(Console& console);

  /// Turns overwriting off; there is nothing else to prepare. `flags` is not used.
  void PrepareRun(int32_t flags) override;
  /// Creates datapool `name` (see the file comment for the codes). Raises
  /// error 91 for a null and 13 for a foreign connection, 5 for an empty name
  /// or an unusable field list, 75 when the database fails.
  int32_t CreateDatapool(DataStoreConnection* connection, const std::string& name, const std::string& description,
                         const std::string& fields) override;
  /// Whether CreateDatapool replaces a datapool of the same name.
  void SetOverwrite(bool overwrite) override;
  /// Lets the user edit datapool `name` in the editor (see the file comment);
  /// every outcome is told on the console. `ownerWindow` and `flags` are not used.
  void EditDatapool(int64_t ownerWindow, DataStoreConnection* connection, const std::string& name,
                    int32_t flags) override;

  /// Whether overwriting is on.
  bool Overwrite() const { return overwrite_; }
  /// While true, a datapool that would gain fields is left as it is and
  /// asked about (the user said "no to all" to the overwrite question).
  void SetKeepExisting(bool keep) { keepExisting_ = keep; }
  /// Whether the last CreateDatapool that returned 0 changed a datapool
  /// that gained fields, rather than creating or replacing one.
  bool GainedFields() const { return gainedFields_; }

 private:
  void Say(int16_t id, const std::vector<std::string>& args);
  // Whether a datapool may gain fields unasked (see the file comment).
  bool MayGainFields() const;

  Console& console_;
  bool overwrite_ = false;
  bool keepExisting_ = false;
  bool gainedFields_ = false;
};

/// The explorer's view: the list of datapools, written to the console.
class WorkbenchDatapoolView : public DatapoolView {
 public:
  explicit WorkbenchDatapoolView(Console& console);
  /// Writes DatapoolListing of `connection`'s database; `ownerWindow` is not used.
  void Show(int64_t ownerWindow, DataStoreConnection* connection) override;

 private:
  Console& console_;
};

/// The datapool explorer: one view, named kDatapoolViewName.
class WorkbenchDatapoolExplorer : public DatapoolExplorer {
 public:
  explicit WorkbenchDatapoolExplorer(Console& console);
  /// The view for kDatapoolViewName; raises error 5 for any other name.
  DatapoolView* GetView(const std::string& name) override;

 private:
  std::unique_ptr<WorkbenchDatapoolView> view_;
};

/// The overwrite question on the console.
class WorkbenchOverwritePrompt : public OverwritePrompt {
 public:
  explicit WorkbenchOverwritePrompt(Console& console);

  /// Whether the prompt remembers a for-all answer: when true, after "yes
  /// for all" or "no for all" later calls of Ask return that answer without
  /// asking. False (the start value, and what the add-in sets, since it keeps
  /// the for-all answer itself): every call asks.
  void SetPromptSetting(bool value) override;
  /// Whether "yes for all" and "no for all" are offered (at first they are).
  void SetForAllAnswers(bool value) override;
  /// Shows `title` (when not empty) on a line of its own, then asks
  /// "`item`: `question`" with the answers yes, yes for all, no, no for all
  /// and cancel. Returns 1, 2, 3, 4, or 0 for cancel; end of input and
  /// repeated unusable answers give 3 (no: the datapool is kept).
  int32_t Ask(const std::string& title, const std::string& item, const std::string& question) override;

 private:
  Console& console_;
  bool remember_ = false;
  bool forAll_ = true;
  int32_t remembered_ = 0;
};

}  // namespace zt::wb
