// What every back-end of the store shares (see StoreBase.h).
#include "workbench/store/StoreBase.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "support/Error.h"
#include "support/Text.h"
#include "workbench/text/Texts.h"

namespace zt::wb {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : Trimmed(value);
}

// This machine and process, as a session records them: "host process 1234".
std::string Client() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return std::string(host) + " process " + std::to_string(::getpid());
}

// The statement that records `count` scripts.
std::string RecordStatement(size_t count) {
  std::string sql = "INSERT INTO generated_scripts (type, path, digest, recorded) VALUES ";
  for (size_t i = 0; i < count; ++i) sql += i == 0 ? "(?, ?, ?, datetime('now'))" : ", (?, ?, ?, datetime('now'))";
  return sql + " ON CONFLICT (type, path) DO UPDATE SET digest = excluded.digest, recorded = excluded.recorded";
}

// A record's key among the known names: "type\npath".
std::string KnownKey(int type, const std::string& path) { return std::to_string(type) + '\n' + path; }

}  // namespace

std::optional<std::string> GeneratedScripts::Recorded(dsScriptType type, const std::string& path) {
  if (const auto found = waiting_.find({type, path}); found != waiting_.end()) return found->second;
  Database* db = database_();
  if (db == nullptr) return std::nullopt;
  if (KnownNames* known = db->Known()) {
    const auto found = known->generated.find(KnownKey(type, path));
    if (found == known->generated.end()) return std::nullopt;
    return found->second;
  }
  try {
    Statement query(*db, "SELECT digest FROM generated_scripts WHERE type = ? AND path = ?");
    if (query.Bind(1, int64_t{type}).Bind(2, path).Step()) return query.ColumnText(0);
  } catch (const ZtError&) {
    // Not known: the file is asked about.
  }
  return std::nullopt;
}

void GeneratedScripts::Record(dsScriptType type, const std::string& path, const std::string& digest) {
  waiting_[{type, path}] = digest;
  if (!batching_ || waiting_.size() >= kRecordsAtOnce) Flush();
}

void GeneratedScripts::Flush() {
  if (waiting_.empty()) return;
  const std::map<std::pair<int, std::string>, std::string> records = std::move(waiting_);
  waiting_.clear();
  Database* db = database_();
  if (db == nullptr) return;
  try {
    Transaction transaction(*db);
    constexpr size_t kPerStatement = 64;
    auto next = records.begin();
    for (size_t left = records.size(); left > 0;) {
      const size_t count = std::min(left, kPerStatement);
      Statement insert(*db, RecordStatement(count).c_str());
      for (int i = 0; i < static_cast<int>(count); ++i, ++next) {
        insert.Bind(3 * i + 1, int64_t{next->first.first}).Bind(3 * i + 2, next->first.second);
        insert.Bind(3 * i + 3, next->second);
      }
      insert.Run();
      left -= count;
    }
    transaction.Commit();
  } catch (const ZtError&) {
    return;  // dropped: those files are asked about next time
  }
  if (KnownNames* known = db->Known()) {
    for (const auto& [key, digest] : records) known->generated[KnownKey(key.first, key.second)] = digest;
  }
}

StoreBase::StoreBase(StoreOptions options, const StoreEnv& env)
    : options_(std::move(options)),
      env_(env),
      console_(env_.console),
      scripts_(env_.console),
      generated_([this] { return Db(); }) {
  scripts_.SetRecords(&generated_);
}

StoreBase::~StoreBase() = default;

void StoreBase::Open() {
  if (Db() != nullptr) return;
  const std::string user = LogIn();
  OpenStore(user);
  Db()->SetSessionUser(user);
  userName_ = user;
  RecordSession();
}

void StoreBase::RecordSession() {
  try {
    Statement insert(*Db(),
                     "INSERT INTO sessions (\"user\", client, opened) VALUES (?, ?, datetime('now')) RETURNING id");
    insert.Bind(1, userName_).Bind(2, Client());
    if (insert.Step()) session_ = insert.ColumnInt(0);
  } catch (const ZtError& e) {
    RaiseError(errc::kPathFileAccessError, {}, Text(WB_STORE_CANNOT_OPEN, {Location(), e.Description()}));
  }
}

void StoreBase::Close() {
  EndBatch();
  if (session_ == 0 || Db() == nullptr) return;
  try {
    Statement update(*Db(), "UPDATE sessions SET closed = datetime('now') WHERE id = ?");
    update.Bind(1, session_).Run();
  } catch (const ZtError&) {
    // A session left open says only that the store was not closed cleanly.
  }
  session_ = 0;
}

bool StoreBase::AsksForLogin() const {
  return (!options_.userName || Trimmed(*options_.userName).empty()) && Environment("ZTUNITTEST_USER").empty();
}

std::string StoreBase::LogIn() {
  if (options_.loginRefusal) throw *options_.loginRefusal;
  if (options_.userName) {
    const std::string given = Trimmed(*options_.userName);
    if (!given.empty()) return given;
  }
  if (std::string fromEnvironment = Environment("ZTUNITTEST_USER"); !fromEnvironment.empty()) return fromEnvironment;
  std::optional<std::string> answer = AskUserName().text;
  if (!answer) RaiseError(errc::kStoreCancelled, {}, Text(WB_STORE_LOGIN_CANCELLED));
  return *answer;
}

TextAnswer StoreBase::AskUserName() {
  TextQuestion question;
  question.defaultText = Environment("USER");
  question.cancelWord = Text(WB_STORE_LOGIN_CANCEL_WORD);
  question.key = answer_key::kUser;
  question.prompt = question.defaultText.empty()
                        ? Text(WB_STORE_LOGIN_PROMPT_NO_DEFAULT, {Location(), question.cancelWord})
                        : Text(WB_STORE_LOGIN_PROMPT, {Location(), question.defaultText, question.cancelWord});
  TextAnswer answer = AskTextAnswer(console_, question);
  // With a default, only the end of input leaves the question unanswered:
  // the default is then taken, as every other question takes its own.
  if (!answer.text && answer.unanswered && !question.defaultText.empty()) {
    console_.Write(Text(WB_ASK_TAKING_DEFAULT, {question.defaultText}) + "\n");
    answer = {question.defaultText};
  }
  return answer;
}

void StoreBase::ResetSession() {
  scripts_.ResetSession();
  lastDatapoolName_.reset();
  lastScriptName_.reset();
  ResetDatabaseSession();
}

int32_t StoreBase::SaveScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                              const std::string& content) {
  return SaveGeneratedScript(fileName, folder, type, content, {});
}

int32_t StoreBase::SaveGeneratedScript(const std::string& fileName, const std::string& folder, dsScriptType type,
                                       const std::string& content, const std::vector<std::string>& dates) {
  if (Db() == nullptr) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_NOT_OPEN));
  // A script stored at once (not one the batch places) is stored once what
  // its operation changed is made.
  if (DefersChanges() && !(batching_ && type == dsJavaScript)) {
    const std::map<int32_t, std::string> failed = ConfirmChanges();
    if (const auto refused = failed.find(operation_); refused != failed.end()) {
      return scripts_.Refuse(fileName, folder, type, refused->second);
    }
  }
  return scripts_.Save(fileName, folder, type, content, dates, userName_);
}

int32_t StoreBase::DeleteScript(const std::string& fileName, const std::string& folder, dsScriptType type) {
  if (Db() == nullptr) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_NOT_OPEN));
  return scripts_.Delete(fileName, folder, type);
}

bool StoreBase::ScriptExists(const std::string& fileName, const std::string& folder, dsScriptType type) {
  if (Db() == nullptr) RaiseError(errc::kInvalidCall, {}, Text(WB_STORE_NOT_OPEN));
  return scripts_.Exists(fileName, folder, type);
}

std::string StoreBase::MakeScriptName(const std::string& baseName, const std::string& folder, dsScriptType type) {
  const OperationIdentity* operation = operationInHand_ != nullptr ? operationInHand_->Current() : nullptr;
  if (operation == nullptr || Db() == nullptr) return scripts_.SessionSuffix(baseName, folder, type);
  const std::string folderKey = Joined(PathComponents(folder), '\\');
  std::string key = std::to_string(type) + '\n' + folderKey + '\n' + baseName + '\n' + operation->Key();
  if (lastScriptName_ && lastScriptName_->first == key) return lastScriptName_->second;
  // A Java test class never hides a class of its package: such a name is
  // passed over, and the user told which name the test got instead.
  std::string hidden;
  const auto reserved = [&](const std::string& name) {
    TesselClassCollection* classes = operation->package != nullptr ? operation->package->Classes() : nullptr;
    if (classes == nullptr || classes->GetFirst(name) == nullptr) return false;
    if (hidden.empty()) hidden = name;
    return true;
  };
  bool chosen = false;
  std::string suffix =
      RecordedScriptSuffix(*Db(), {type, folderKey, baseName}, *operation,
                           type == dsJavaScript ? reserved : std::function<bool(const std::string&)>(), &chosen);
  if (chosen && !hidden.empty()) {
    console_.Write(Text(WB_STORE_NAME_OF_A_CLASS, {operation->Key(), hidden, baseName + suffix}) + "\n");
  }
  lastScriptName_.emplace(std::move(key), suffix);
  return suffix;
}

std::string StoreBase::MakeDatapoolName(const std::string& className, const std::string& operationName, int32_t) {
  const OperationIdentity* operation =
      operationInHand_ != nullptr ? operationInHand_->Matching(className, operationName) : nullptr;
  if (operation == nullptr || Db() == nullptr) return className + "_" + operationName;
  std::string key = operation->Key();
  if (lastDatapoolName_ && lastDatapoolName_->first == key) return lastDatapoolName_->second;
  std::string name = RecordedDatapoolName(*Db(), *operation);
  lastDatapoolName_.emplace(std::move(key), name);
  return name;
}

void StoreBase::BeginBatch() {
  if (Db() == nullptr) return;
  batching_ = true;
  generated_.SetBatching(true);
  if (DefersChanges()) scripts_.SetBeforePlacing([this] { return ConfirmChanges(); });
  scripts_.BeginBatch();
  BeginDatabaseBatch();
}

void StoreBase::BeginOperation(int32_t operation) {
  operation_ = operation;
  if (Db() != nullptr) Db()->SetOperation(operation);
  scripts_.BeginOperation(operation);
}

void StoreBase::Flush() {
  scripts_.Finish();
  generated_.Flush();
  if (batching_) FlushDatabase();
}

std::vector<int32_t> StoreBase::EndBatch() {
  if (!batching_) return {};
  Flush();
  std::set<int32_t> lost = scripts_.EndBatch();
  using Kind = LateOutcome::Kind;
  lateOutcomes_.clear();
  const auto datapool = [this](int32_t operation, Kind kind, std::string name) {
    lateOutcomes_.push_back({.operation = operation, .kind = kind, .datapool = std::move(name), .script = {}});
  };
  const auto script = [this](int32_t operation, Kind kind, std::string file) {
    lateOutcomes_.push_back({.operation = operation, .kind = kind, .datapool = {}, .script = std::move(file)});
  };
  for (const auto& [operation, file] : scripts_.LostScripts()) script(operation, Kind::kNotStored, file);
  for (auto& [operation, name] : EndDatabaseBatch()) {
    lost.insert(operation);
    datapool(operation, Kind::kNotStored, std::move(name));
  }
  for (auto& [operation, name] : TakeUnknown()) {
    lost.insert(operation);
    datapool(operation, Kind::kUnknown, std::move(name));
  }
  for (auto& [operation, name] : TakeThereAlready()) datapool(operation, Kind::kUnchanged, std::move(name));
  for (const auto& [operation, file] : scripts_.KeptScripts()) script(operation, Kind::kKept, file);
  scripts_.SetBeforePlacing({});
  batching_ = false;
  generated_.SetBatching(false);
  operation_ = 0;
  return {lost.begin(), lost.end()};
}

}  // namespace zt::wb
