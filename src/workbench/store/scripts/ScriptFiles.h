// The scripts of a store: files below a scripts folder, one root per script
// type, whichever back-end keeps the rest of the store:
//   <scripts>/java/   Java scripts (dsJavaScript)
//   <scripts>/vb/     Visual Basic scripts (dsVisualBasicScript)
//
// The add-in's "\"-separated folders map below the root of their type. A
// name that would leave the root is refused; files appear only when
// complete (temporary file and rename); a file holding the same text is left
// alone, and so is one that differs only in its generation date, in the user
// it names (a teammate generated it) or in what its user regions hold
// (UserRegions.h: regions are carried into the new text); a file holding
// other text is replaced only when the user says yes.
//
// A team's folder: a scripts folder its group may write, or that is setgid,
// is shared. Every folder and file the store makes in it is made readable
// and writable by the group, whatever the maker's umask, so that each member
// can write where another generated first; the store's roots made before
// the folder was shared are opened to the group when their owner opens the
// store. A root a member cannot write fails the opening, naming its owner,
// group and mode (and, in a shared folder, how its owner opens it).
// The roots must be folders, not symbolic links: the store refuses to open
// otherwise. The roots are held open while the store is, and every script is
// written, deleted and renamed through them with the path resolved by the
// call itself (SafeFolders.h): a symbolic link below a root is followed only
// while it stays below it, and a folder swapped for a link during a run is
// found.
//
// What was generated (SetRecords): the store records for each script it
// writes a digest of the text outside its user regions (GeneratedDigest in
// UserRegions.h). A stored file that differs from the new text, but still
// gives the digest recorded for it, was not edited outside its regions since
// it was written: when the new text has user regions (it is made to be
// generated again), the file is replaced unasked, its regions carried over
// (a model change reaches the test). A text without regions is asked about
// as before. A file edited outside its regions, one without a
// record (written before records were kept, or by another store) and one
// whose regions would be lost reach the question as before. The record is
// kept by the script's path below its root, whoever wrote it: a file one
// user of a shared store edited by hand never gives the digest another
// user's run recorded.
//
// Several writers at once (a team on one scripts folder, two runs of one
// user): a script that was not there when it was compared is given its name
// only if it is still not there (a rename that replaces nothing). When
// another writer gave the name a file meanwhile, that file is compared as
// if it had been there: the same text (but for the date and the user it
// names) is left alone, other text reaches the replace question. So no writer replaces another's script unasked. (A
// script of a batch is compared so when the batch is finished: the answer
// is among the batch's KeptScripts, and one kept out is told on the console
// and in the failure log, since its saving was answered as stored.)
//
// Temporary files of killed writers: while the store is open it holds a
// shared lock (flock) on its scripts folder. Opening removes the temporary
// files in the roots whose writer has ended (see DiskFileSystem.h), and does
// so only when it can take that lock alone: a writer that holds the store
// open, in whatever container, pid namespace or machine sharing the folder,
// keeps its temporaries.
//
// Names within a session (SessionSuffix): a script name counts as stored
// once Save was called for it in this session, whatever the answer, under
// its base name (the file name without its last extension: "ICalcAdd.cls"
// marks "ICalcAdd"). Callers of MakeScriptName leave out the leading root
// folder that SaveScript receives ("bank\core" there, "unittests\bank\core"
// here), so a folder F of MakeScriptName matches a stored folder S when S is
// F or S is one more folder followed by F, comparing whole components ("\"
// and "/" both separate, empty components ignored):
//   F "bank\core"  matches S "unittests\bank\core" and "bank\core",
//                  not "unittests\x\bank\core";
//   F ""           matches S "unittests", "unittests\" and "";
//   F "Maths\Calc" matches S "unittests\Maths\Calc" holding ICalcAdd.cls,
//                  ICalcAdd.rc and ICalcAdd.vbp, which all mark "ICalcAdd".
// The suffix is "" when the base name is not marked for F, else the smallest
// of "1", "2", ... whose name is not. Only this session counts, never the
// disk. (A store that knows the operation in hand names by the store's name
// records instead, see ScriptNames in DatapoolNames.h.)
//
// Batches (BeginBatch to EndBatch): Java scripts are written to their
// hidden temporary files without a sync, and when the batch is finished one
// sync of the file system makes all their data durable before they are
// renamed to their names — so a crash never shows a script that is empty or
// half there, it only loses the scripts of the unfinished batch. (Visual
// Basic scripts are stored at once: the run hands them to the resource
// compiler straight away.) A script of the batch is visible only once the
// batch is finished; saving it again finishes the batch first. The batch is
// finished when it is kBatchInterval old or holds kBatchScripts scripts
// (checked at each save), when Finish is called, and at EndBatch. What it
// cannot rename (a script whose folder is gone) is told with the operation it
// belongs to (BeginOperation) and counted; LostScripts names each.
//
// Scripts placed together, all or none (a store's copy): Stage writes each
// to a temporary file beside its target, leaving a script that holds the
// text already alone; PlaceStaged then gives them all their names, keeping
// each file it replaces under a temporary name of its own; KeepPlaced drops
// those, UndoPlaced (or a failure of PlaceStaged) puts them back and removes
// what was added. What staging wrote and did not place — temporary files,
// the folders made for them — is removed by DiscardStaged and when the
// store goes. No question is asked: what may be replaced was decided before.
//
// Ownership: borrows the console, which must outlive it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/DataStore.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/SafeFolders.h"
#include "workbench/terminal/Console.h"

namespace zt::wb {

/// A set of 64-bit digests, open-addressed in one array.
class DigestSet {
 public:
  bool Contains(uint64_t digest) const;
  void Insert(uint64_t digest);
  void Clear();

 private:
  size_t Slot(uint64_t digest) const;
  std::vector<uint64_t> slots_;  // 0: empty; a power of two in size
  size_t count_ = 0;
  bool hasZero_ = false;  // the digest 0, which marks empty slots
};

/// The longest a batch of a store stays unfinished.
inline constexpr std::chrono::milliseconds kBatchInterval{1000};
/// The most scripts a batch of a store holds.
inline constexpr size_t kBatchScripts = 4096;

/// The non-empty components of a "\"- or "/"-separated path.
std::vector<std::string> PathComponents(const std::string& path);

/// Where a store keeps what it generated (see the file comment): a digest
/// per script, by type and "/"-separated path below the root of its type.
class ScriptRecords {
 public:
  /// The digest recorded for the script; nullopt when there is none.
  virtual std::optional<std::string> Recorded(dsScriptType type, const std::string& path) = 0;
  /// Records `digest` for the script (perhaps later, with others).
  virtual void Record(dsScriptType type, const std::string& path, const std::string& digest) = 0;

 protected:
  ~ScriptRecords() = default;
};

/// Where the roots lie in the scripts folder, and what the add-in's folders
/// become below them.
struct ScriptLayout {
  /// The root of each script type, "/"-separated below the scripts folder.
  std::map<dsScriptType, std::string> roots{{dsJavaScript, "java"}, {dsVisualBasicScript, "vb"}};
  /// A folder of the given type whose first component is the one named
  /// here goes below its root without it (a Java test of the package a.b
  /// in a.b, where a source tree wants it); none by default.
  std::map<dsScriptType, std::string> droppedFirstFolder;

  /// The layout of a store folder and a team store's scripts folder.
  static ScriptLayout Store() { return {}; }
};

class ScriptFiles {
 public:
  explicit ScriptFiles(Console& console);
  ~ScriptFiles();
  ScriptFiles(const ScriptFiles&) = delete;
  ScriptFiles& operator=(const ScriptFiles&) = delete;

  /// Takes the open scripts folder `scripts` (shown in messages as `shown`),
  /// makes and opens the roots in it and sweeps the temporaries of ended
  /// writers (see the file comment). Raises error 75 (WB_STORE_CANNOT_OPEN)
  /// naming the folder that is not usable.
  void Open(UniqueFd scripts, const std::filesystem::path& shown, ScriptLayout layout = ScriptLayout::Store());
  bool IsOpen() const { return !roots_.empty(); }

  /// The absolute native root of `type` with its trailing "/"; raises error 5
  /// for an unknown type.
  std::string Root(dsScriptType type) const;
  /// The add-in's folder `folder` as it lies below the root of `type`
  /// (ScriptLayout::droppedFirstFolder), its separators as given.
  std::string FolderBelowRoot(const std::string& folder, dsScriptType type) const;

  /// Stores `content` as `fileName` in `folder` below the root of `type`.
  /// Returns 0 when stored or already holding `content`; 1007 when refused
  /// (with a message), declined, or failed (with a message); 1008 when the
  /// user cancels. A file there is regenerated (UserRegions.h): its user
  /// regions are carried into `content`, and a file that then differs only
  /// in the texts `dates` (the generation date `content` holds) and in the
  /// user it names where `content` names `user` is left alone, unasked; replacing one whose regions would be lost asks
  /// even after "yes to all", naming them.
  int32_t Save(const std::string& fileName, const std::string& folder, dsScriptType type, const std::string& content,
               const std::vector<std::string>& dates = {}, const std::string& user = {});
  /// Does not store the script, telling `reason` as Save tells a failed
  /// write; kNotWritten.
  int32_t Refuse(const std::string& fileName, const std::string& folder, dsScriptType type, const std::string& reason);
  /// Whether the last Save that did not store refused or failed.
  bool LastSaveFailed() const { return lastSaveFailed_; }
  /// Deletes a script with the checks of Save (see DataStore::DeleteScript).
  int32_t Delete(const std::string& fileName, const std::string& folder, dsScriptType type);
  /// Whether a script is there as a file, with the checks of Save.
  bool Exists(const std::string& fileName, const std::string& folder, dsScriptType type);
  /// What the script holds, when it is there as a file (checks of Save, told nothing).
  std::optional<std::string> Read(const std::string& fileName, const std::string& folder, dsScriptType type);

  /// Writes `content` to a temporary file beside the script (see the file
  /// comment); nothing when the script holds `content` already. False after
  /// telling why (a refused path, a full disk), with nothing of it left.
  bool Stage(const std::string& fileName, const std::string& folder, dsScriptType type, const std::string& content);
  /// Gives every staged script its name; false after telling why, with
  /// every script as it was before.
  bool PlaceStaged();
  /// The placed scripts stay: what they replaced is dropped.
  void KeepPlaced();
  /// Puts back what PlaceStaged replaced, and removes what it added.
  void UndoPlaced();
  /// Removes what Stage wrote and PlaceStaged did not place.
  void DiscardStaged();

  /// While true, the replace question also offers "yes to all" and "no to all".
  void SetMultipleItems(bool multipleItems) { multipleItems_ = multipleItems; }
  /// The suffix that makes `baseName` unique in `folder` in this session.
  std::string SessionSuffix(const std::string& baseName, const std::string& folder, dsScriptType type) const;
  /// Forgets the names stored, the for-all answers and the failures.
  void ResetSession();
  /// Scripts refused, not written, not deleted or lost in this session, each
  /// told with a message (declined replacements do not count).
  int32_t Failures() const { return failures_; }
  /// Where each such message goes besides the console (the host's log, so
  /// that the log a run points to says why a test is missing), and so does
  /// the message of a script of a batch kept out when placed (KeptScripts).
  void SetFailureLog(std::function<void(const std::string&)> log) { failureLog_ = std::move(log); }

  /// Where what was generated is recorded (see the file comment); null:
  /// nowhere, and every changed file is asked about. Borrowed.
  void SetRecords(ScriptRecords* records) { records_ = records; }

  /// What scripts are written through (DiskFileSystem.h); empty, the start
  /// value: ::write.
  void SetWriteHook(WriteHook write) { write_ = std::move(write); }
  /// How paths below the roots are resolved (SafeFolders.h): a test
  /// switches openat2 off there.
  PathResolver& Resolver() { return resolver_; }

  /// Stores Java scripts in batches until EndBatch (see the file comment).
  void BeginBatch();
  /// What is stored from now on belongs to `operation`.
  void BeginOperation(int32_t operation) { operation_ = operation; }
  /// Gives the batch's scripts their names now; a batch that is on goes on.
  void Finish();
  /// Finishes the batch and stores script by script again; the operations
  /// that lost a script since BeginBatch.
  std::set<int32_t> EndBatch();
  /// The scripts lost since BeginBatch, each as messages name it, with its operation.
  const std::vector<std::pair<int32_t, std::string>>& LostScripts() const { return lostScripts_; }
  /// The scripts of the batch that were kept out when placed (another
  /// writer's file had taken the name meanwhile, and the user kept it).
  const std::vector<std::pair<int32_t, std::string>>& KeptScripts() const { return keptScripts_; }
  /// What becomes of the scripts an operation stored in a batch, once the
  /// operation is done and its datapool decided (see the file comment).
  enum class Verdict {
    kPlace,         ///< they are placed
    kKeepReplaced,  ///< as kPlace, but a script that was to replace a file
                    ///< unasked is not placed: the file stays, and that is told
    kRefuse,        ///< none is placed: each is told, with the reason, and lost
  };
  /// While true, the scripts of a batch wait for their operation's verdict
  /// before they are placed; at EndBatch those without one are placed, but
  /// for those that were to replace a file unasked (kept, as kKeepReplaced).
  void SetAwaitVerdicts(bool await) { awaitVerdicts_ = await; }
  /// The verdict on the scripts `operation` stored in the batch; `reason`
  /// tells a refusal.
  void Decide(int32_t operation, Verdict verdict, const std::string& reason = {});

  /// Asked before a batch's scripts are placed, by a store whose changes
  /// wait for the batch (PgStore.h): the operations whose changes were not
  /// made, each with the reason; their scripts are not placed, but told
  /// and lost. While it is set, the scripts of the operation in hand wait
  /// when a batch is finished for being due: a script is placed only once
  /// its operation is done, its datapool included.
  void SetBeforePlacing(std::function<std::map<int32_t, std::string>()> confirm) { confirm_ = std::move(confirm); }

 private:
  // What the user answered "for all" in this session.
  enum class ForAll { kAsk, kYes, kNo };
  // What to do with a script whose name holds other text.
  enum class Decision { kReplace, kKeep, kCancel };

  // The folders of a script below its root; nullopt when the path is
  // refused, told with the text `refusal` (WB_STORE_PATH_REFUSED or its
  // delete form) or, for a name that is no name, its own; 0: told nothing.
  std::optional<std::vector<std::string>> CheckedFolders(const std::string& fileName, const std::string& folder,
                                                         dsScriptType type, int16_t refusal);
  // Tells the failure Text(id, args) (Tell), marks the save failed and
  // returns kNotWritten.
  int32_t Fail(int16_t id, const std::vector<std::string>& args);
  // Tells the failure Text(id, args) on the console and in the failure log,
  // and counts it; its cause (Console::Tell) is the text without its first
  // argument, the script it is about.
  void Tell(int16_t id, const std::vector<std::string>& args);
  // Tells what the store did instead of what was asked, as Tell does, without
  // counting it as a failure.
  void Note(int16_t id, const std::vector<std::string>& args);
  // The replace question for `target` (or the for-all answer given); with
  // `loss` (what replacing loses, the question's text) it is asked after
  // "yes to all" too.
  Decision AskReplace(const std::string& target, const std::string& loss = {});
  // What a generated text holds besides what it says: its date texts and
  // the user it names (UserRegions.h). A file another writer gives the name
  // meanwhile that differs only there is the same test.
  struct GenerationMarks {
    std::vector<std::string> dates;
    std::string user;
  };
  // Writes `content` as the script (a fresh name, or one replaced); `mode`:
  // the permissions of the file it replaces. Once it is placed, `generated`
  // (the text as generated, in its own line ends) is recorded for it at
  // `path` (Remember): a script a batch does not place after all leaves the
  // record as it was.
  int32_t Write(int folderFd, const std::vector<std::string>& folders, const std::string& fileName,
                const std::string& target, const std::string& content, dsScriptType type, bool fresh,
                std::optional<mode_t> mode, bool unasked, const std::string& path, std::string_view generated,
                const GenerationMarks& marks);
  // Gives the temporary file `temporary` in `folderFd` the name `name`; when
  // `fresh`, only while the name is free, else as the replace question
  // decides, comparing `content` (null: read from the temporary file) but
  // for its `marks`. kStored, kNotWritten or kCancelled; failures are for
  // the caller to tell (errno set, -1 returned).
  int32_t Place(int folderFd, const std::string& temporary, const std::string& name, const std::string& target,
                const std::string* content, bool fresh, const GenerationMarks& marks);
  void MarkStored(const std::string& fileName, const std::string& folder, dsScriptType type);
  // Finishes the batch; unless `all`, the scripts of the operation in hand
  // wait (see SetBeforePlacing); unless `final`, those waiting for their
  // verdict do (SetAwaitVerdicts).
  void FinishBatch(bool all, bool final = false);
  // Records `text` as what the script at `path` holds as generated, unless
  // that is recorded already.
  void Remember(dsScriptType type, const std::string& path, std::string_view text);
  // Whether `stored` is the script at `path` as it was last generated.
  bool AsGenerated(dsScriptType type, const std::string& path, std::string_view stored);
  // The root of `type` (kept from Open on); raises error 5 for an unknown type.
  const std::filesystem::path& RootPath(dsScriptType type) const;
  // The longest file name the file system of the root of `type` takes, asked
  // once per root: a folder below it on a file system of its own that takes
  // shorter names refuses the temporary file at once.
  long LongestName(dsScriptType type, int folderFd);

  Console& console_;
  WriteHook write_;
  PathResolver resolver_;
  std::filesystem::path folder_;
  // Whether the scripts folder is one a team shares (see Open).
  bool groupShared_ = false;
  // While open: the scripts folder under its shared lock, and the root of
  // each script type.
  UniqueFd lock_;
  std::map<dsScriptType, UniqueFd> roots_;
  // The roots' paths and texts (with the trailing "/"), made once: a run
  // asks for them for every script.
  mutable std::map<dsScriptType, std::filesystem::path> rootPaths_;
  ScriptLayout layout_;
  mutable std::map<dsScriptType, std::string> rootTexts_;
  std::map<dsScriptType, long> longestNames_;
  bool multipleItems_ = false;
  int32_t failures_ = 0;
  std::function<void(const std::string&)> failureLog_;
  bool lastSaveFailed_ = false;
  ScriptRecords* records_ = nullptr;
  ForAll forAll_ = ForAll::kAsk;
  // (type, folder, base name) marked by Save in this session; a stored file
  // marks its folder and its folder without the first component. Kept as
  // 64-bit digests, so that a mark takes 8 to 16 bytes however long the run:
  // two names share a digest about once in 10^9 runs of 100,000 scripts,
  // and all that would do is number a script that needs no number.
  DigestSet stored_;
  // The folders (type and path below the root) that Save made in this
  // session, until a script is staged: what they hold was stored by Save and
  // is marked in stored_. (A digest another folder shares, about once in
  // 10^14 runs, would only have a file of that folder found when it is
  // placed rather than when it is saved.)
  DigestSet savedFolders_;
  // Between BeginBatch and EndBatch.
  bool batching_ = false;
  // Finish is at work (a question it asks must not finish again).
  bool finishing_ = false;
  // The folder of the batch's last script, open: the next script of the same
  // folder (most are) is written without opening it again, while the batch
  // holds scripts (batchStart_ is set). Shared, so that a batch finished
  // while a script is saved does not close it under that script. Only files
  // are written through it: FinishBatch opens each folder again by its path
  // before it places a file.
  struct OpenFolder {
    dsScriptType type;
    std::vector<std::string> folders;
    std::shared_ptr<const UniqueFd> fd;
  };
  std::optional<OpenFolder> batchFolder_;
  // When the current batch took its first script; unset while it holds none.
  std::optional<std::chrono::steady_clock::time_point> batchStart_;
  int32_t operation_ = 0;
  // The batch's scripts, in the order stored: their folders below the Java
  // root, temporary file and name there, the target as messages show it
  // (text: a path would hold each of its names apart, for thousands of
  // scripts), whether the name was free when compared, whether it replaces
  // a file unasked, and whether its operation's verdict allows placing it.
  // Scripts of one folder share its list of names.
  struct PendingScript {
    std::shared_ptr<const std::vector<std::string>> folders;
    std::string temporary, name;
    std::string target;
    int32_t operation;
    bool fresh;
    bool unasked = false;
    bool decided = false;
    // The record to make once it is placed: its path below the root and the
    // digest of what was generated; no digest: none.
    std::string path;
    std::optional<std::string> digest;
    GenerationMarks marks;
  };
  std::vector<PendingScript> pending_;
  // The batch's targets, as digests of their paths: two that share one only
  // finish the batch early.
  DigestSet pendingTargets_;
  std::set<int32_t> lostOperations_;
  std::vector<std::pair<int32_t, std::string>> lostScripts_;
  std::vector<std::pair<int32_t, std::string>> keptScripts_;
  std::function<std::map<int32_t, std::string>()> confirm_;
  bool awaitVerdicts_ = false;

  // A script staged to be placed (Stage): its folder below its root, the
  // temporary file there and its name; when it replaces a file, what that
  // held and the temporary name it is kept under while PlaceStaged works.
  struct StagedScript {
    dsScriptType type;
    std::vector<std::string> folders;
    std::string temporary, name, target;
    std::optional<std::string> replaced;
    std::string kept;
    bool placed = false;
  };
  // Puts a placed script's old file back (or removes a new one).
  void PutBack(const StagedScript& script);
  std::vector<StagedScript> staged_;
  // The folders Stage made, in the order made, by type.
  std::vector<std::pair<dsScriptType, std::vector<std::string>>> madeFolders_;
};

}  // namespace zt::wb
