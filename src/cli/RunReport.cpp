// What the command line makes of a generation run (see RunReport.h).
#include "cli/RunReport.h"

#include <map>

#include "cli/Commands.h"
#include "generators/GenericJavaGenerator.h"
#include "support/DynamicResources.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

using wb::json::Value;

// The start of a warning line of the add-in: its prefix and the word before
// the first "..." of its warning texts ("WARNING...").
const std::string& WarningStart() {
  static const std::string start = [] {
    const std::string text = GetResString(IDS_LOG_NO_PRIMARY_KEY_CLASS);
    const size_t dots = text.find("...");
    return GetResString(IDS_LOG_PREFIX) + (dots == std::string::npos ? text : text.substr(0, dots + 3));
  }();
  return start;
}

Value Strings(const std::vector<std::string>& texts) {
  Value array = Value::Array();
  for (const std::string& text : texts) array.Push(Value::String(text));
  return array;
}

Value OrNull(const std::string& text) { return text.empty() ? Value::Null() : Value::String(text); }

}  // namespace

int OperationsOfSelection(TesselModel& model) {
  int count = 0;
  const auto operationsOf = [](TesselClass* cls) {
    TesselOperationCollection* operations = cls != nullptr ? cls->Operations() : nullptr;
    return operations != nullptr ? operations->Count() : 0;
  };
  const TesselItemCollection selected = model.GetSelectedItems();
  for (int16_t i = 1; i <= selected.Count(); ++i) {
    TesselItem* item = selected.GetAt(i);
    if (dynamic_cast<TesselOperation*>(item) != nullptr) {
      ++count;
    } else if (auto* cls = dynamic_cast<TesselClass*>(item)) {
      count += operationsOf(cls);
    } else if (auto* package = dynamic_cast<TesselCategory*>(item)) {
      TesselClassCollection* classes = package->Classes();
      for (int16_t c = 1; classes != nullptr && c <= classes->Count(); ++c) count += operationsOf(classes->GetAt(c));
    }
  }
  return count;
}

void RunReport::Begin(int expected, bool details) {
  *this = RunReport();
  expected_ = expected;
  details_ = details;
}

NotTakenReason WhyNotTaken(TesselOperation& op, bool javaTest) {
  TesselClass* cls = op.ParentClass();
  const std::string className = cls != nullptr ? cls->GetQualifiedName() : std::string();
  const auto reason = [](const char* code, int16_t text, const std::vector<std::string>& args = {}) {
    return NotTakenReason{code, wb::Text(text, args)};
  };
  if (cls == nullptr) return reason("no-class", wb::WB_WHY_NO_CLASS);
  if (!javaTest) return reason("no-generator", wb::WB_WHY_NO_GENERATOR, {className});
  switch (WhyJavaTestNotTaken(&op)) {
    case JavaNotTaken::kConstructor:
      return reason("constructor", wb::WB_WHY_CONSTRUCTOR);
    case JavaNotTaken::kPrivate:
      return reason("private", wb::WB_WHY_PRIVATE);
    case JavaNotTaken::kNoPublicConstructor:
      return reason("no-public-constructor", wb::WB_WHY_NO_PUBLIC_CONSTRUCTOR, {className});
    case JavaNotTaken::kInterface:
      return reason("interface", wb::WB_WHY_INTERFACE, {className});
    case JavaNotTaken::kEnumeration:
      return reason("enumeration", wb::WB_WHY_ENUMERATION, {className});
    case JavaNotTaken::kBean:
      return reason("bean", wb::WB_WHY_BEAN, {className});
    case JavaNotTaken::kAbstractClass:
      return reason("abstract-class", wb::WB_WHY_ABSTRACT_CLASS, {className});
    case JavaNotTaken::kLanguage:
      return reason("language", wb::WB_WHY_LANGUAGE, {className, cls->Language()});
    case JavaNotTaken::kNoOperation:
    case JavaNotTaken::kTaken:
      break;
  }
  return reason("no-class", wb::WB_WHY_NO_CLASS);
}

void RunReport::Starting(TesselOperation& op, bool taken, const std::string& reason) {
  ++reached_;
  taken_ += taken ? 1 : 0;
  takenNow_ = taken;
  if (!details_) return;
  Operation entry;
  entry.name = op.GetQualifiedName();
  entry.taken = taken;
  if (!taken) entry.notTakenReason = reason;
  // Lines before the first operation are the run's own heading.
  if (!operations_.empty()) entry.log = std::move(pending_);
  pending_.clear();
  for (const std::string& line : entry.log) {
    if (line.rfind(WarningStart(), 0) == 0) entry.warnings.push_back(line);
  }
  operations_.push_back(std::move(entry));
}

void RunReport::Finished(TesselOperation&, bool generated, const wb::RunJournal& journal) {
  generated_ += generated ? 1 : 0;
  failed_ += takenNow_ && !generated ? 1 : 0;
  if (generated && journal.operation > 0) {
    const auto number = static_cast<size_t>(journal.operation);
    if (generatedNumbers_.size() <= number) generatedNumbers_.resize(number + 1);
    generatedNumbers_[number] = true;
  }
  if (!details_ || operations_.empty()) return;
  Operation& entry = operations_.back();
  entry.generated = generated;
  entry.number = journal.operation;
  entry.scripts = journal.scripts;
  entry.datapool = journal.datapool;
  entry.datapoolOutcome = journal.datapoolOutcome;
  for (std::string& line : pending_) {
    if (line.rfind(WarningStart(), 0) == 0) entry.warnings.push_back(line);
    entry.log.push_back(std::move(line));
  }
  pending_.clear();
  for (const wb::RunJournal::Script& script : entry.scripts) {
    if (script.outcome == "not-stored") entry.warnings.push_back(wb::Text(wb::WB_RUN_NOT_STORED, {script.path}));
  }
  for (const std::string& warning : entry.warnings) warnings_.push_back(entry.name + ": " + warning);
}

void RunReport::Log(const std::string& line) {
  if (details_) pending_.push_back(line);
}

void RunReport::Warn(const std::string& warning) {
  if (details_ && !operations_.empty()) operations_.back().warnings.push_back(warning);
}

void RunReport::Late(const std::vector<wb::StoreBase::LateOutcome>& outcomes) {
  using Kind = wb::StoreBase::LateOutcome::Kind;
  std::map<int32_t, Operation*> entries;
  for (Operation& entry : operations_) {
    if (entry.number > 0) entries[entry.number] = &entry;
  }
  for (const wb::StoreBase::LateOutcome& late : outcomes) {
    const auto found = entries.find(late.operation);
    Operation* entry = found != entries.end() ? found->second : nullptr;
    // What it came to, as the summary names it.
    const char* outcome = late.kind == Kind::kUnchanged ? "unchanged"
                          : late.kind == Kind::kKept    ? "kept"
                          : late.kind == Kind::kUnknown ? "unknown"
                                                        : "not-stored";
    if (entry != nullptr && !late.datapool.empty() && late.datapool == entry->datapool) {
      entry->datapoolOutcome = outcome;
    }
    std::string subject = late.datapool;
    if (entry != nullptr && !late.script.empty()) {
      for (wb::RunJournal::Script& script : entry->scripts) {
        if (script.path != late.script) continue;
        script.outcome = late.kind == Kind::kUnknown ? "not-stored" : outcome;
        subject = script.path;
      }
    }
    if (late.kind == Kind::kUnchanged || late.kind == Kind::kKept) continue;
    // Not stored after all, or not known to be: the operation fails.
    const auto number = static_cast<size_t>(late.operation);
    if (late.operation > 0 && number < generatedNumbers_.size() && generatedNumbers_[number]) {
      generatedNumbers_[number] = false;
      --generated_;
      ++failed_;
      ++lostOperations_;
    }
    if (entry == nullptr) continue;
    entry->generated = false;
    if (subject.empty()) subject = late.script;
    const std::string warning =
        wb::Text(late.kind == Kind::kUnknown ? wb::WB_RUN_UNKNOWN : wb::WB_RUN_NOT_STORED, {subject});
    entry->warnings.push_back(warning);
    warnings_.push_back(entry->name + ": " + warning);
  }
}

int RunExitStatus(const RunTally& tally) {
  if (tally.cancelled) return kExitCancelled;
  if (tally.taken == 0 || tally.failed > 0 || tally.storeFailures > 0) return kExitFailed;
  if (tally.strict && tally.notTaken > 0) return kExitFailed;
  return kExitOk;
}

int RunReport::ExitStatus(bool cancelled, bool strict, int storeFailures) const {
  return RunExitStatus({cancelled, strict, Taken(), Failed(), NotTaken(), storeFailures});
}

std::string RunReport::NotTakenLine(bool strict, bool javaTest) const {
  const int notTaken = NotTaken();
  if (notTaken == 0) return {};
  const int16_t text = javaTest ? (strict ? wb::WB_RUN_NOT_TAKEN_JAVA_STRICT : wb::WB_RUN_NOT_TAKEN_JAVA)
                                : (strict ? wb::WB_RUN_NOT_TAKEN_STRICT : wb::WB_RUN_NOT_TAKEN);
  return wb::Text(text, {std::to_string(notTaken), std::to_string(Reached())});
}

Value RunReport::Summary(const std::string& command, const std::string& model, const std::string& store, int status,
                         bool cancelled, int addInGenerated, int addInTotal) const {
  Value counts = Value::Object();
  counts.Add("selected", Value::Number(expected_))
      .Add("reached", Value::Number(Reached()))
      .Add("taken", Value::Number(Taken()))
      .Add("generated", Value::Number(Generated()))
      .Add("failed", Value::Number(Failed()))
      .Add("notTaken", Value::Number(NotTaken()))
      .Add("addInGenerated", Value::Number(addInGenerated))
      .Add("addInTotal", Value::Number(addInTotal));
  Value operations = Value::Array();
  for (size_t i = 0; i < operations_.size(); ++i) {
    const Operation& o = operations_[i];
    const char* outcome = !o.taken ? "not-taken" : o.generated ? "generated" : "failed";
    const wb::RunJournal::Script* test = o.scripts.empty() ? nullptr : &o.scripts.back();
    Value files = Value::Array();
    for (const wb::RunJournal::Script& script : o.scripts) {
      files.Push(Value::Object().Add("path", Value::String(script.path)).Add("outcome", Value::String(script.outcome)));
    }
    operations.Push(Value::Object()
                        .Add("index", Value::Number(static_cast<int64_t>(i) + 1))
                        .Add("operation", Value::String(o.name))
                        .Add("outcome", Value::String(outcome))
                        .Add("notTakenReason", OrNull(o.notTakenReason))
                        .Add("test", test != nullptr ? Value::String(test->path) : Value::Null())
                        .Add("testOutcome", test != nullptr ? Value::String(test->outcome) : Value::Null())
                        .Add("files", std::move(files))
                        .Add("datapool", OrNull(o.datapool))
                        .Add("datapoolOutcome", OrNull(o.datapoolOutcome))
                        .Add("warnings", Strings(o.warnings))
                        .Add("log", Strings(o.log)));
  }
  Value summary = Value::Object();
  summary.Add("command", Value::String(command))
      .Add("model", Value::String(model))
      .Add("store", Value::String(store))
      .Add("status", Value::Number(status))
      .Add("cancelled", Value::Bool(cancelled))
      .Add("counts", std::move(counts))
      .Add("operations", std::move(operations))
      .Add("warnings", Strings(warnings_));
  return summary;
}

}  // namespace zt::cli
