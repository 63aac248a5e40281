#include "cli/Host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <vector>

#include "addin/OLEServer.h"
#include "cli/Commands.h"
#include "driver/GenerationRun.h"
#include "support/DynamicResources.h"
#include "support/Error.h"
#include "workbench/components/TemplateProperties.h"
#include "workbench/components/WorkbenchComponents.h"
#include "workbench/documents/ModelDocument.h"
#include "workbench/documents/ModelFile.h"
#include "workbench/model/Application.h"
#include "workbench/model/Model.h"
#include "workbench/store/StoreBase.h"
#include "workbench/store/StoreLocation.h"
#include "workbench/store/ToolOptions.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/Outputs.h"
#include "workbench/system/ProcessLauncher.h"
#include "workbench/terminal/Console.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace fs = std::filesystem;

namespace {

// Shows a closing text as the progress window does after a run.
void PrintClosingText(const std::string& text) { std::cerr << text << std::endl; }

// Whether the descriptors `a` and `b` are one terminal.
bool SameTerminal(int a, int b) {
  struct stat first {};
  struct stat second {};
  return ::isatty(a) != 0 && ::isatty(b) != 0 && ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 &&
         first.st_rdev == second.st_rdev;
}

// The first bytes of a file, enough to tell its format.
std::string ReadHead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

// The terminal of a --quiet run: a failure whose cause was told already
// is counted, not shown again; the counts are told once the run is over.
class QuietConsole final : public wb::TerminalConsole {
 public:
  void Tell(const std::string& message, const std::string& cause) override {
    auto [known, fresh] = causes_.try_emplace(cause, 0);
    if (fresh) {
      order_.push_back(cause);
      Write(message + "\n");
    } else {
      ++known->second;
    }
  }
  /// One line for each cause told more than once, after its count.
  std::vector<std::string> Counts() const {
    std::vector<std::string> lines;
    for (const std::string& cause : order_) {
      if (const int more = causes_.at(cause); more > 0) {
        lines.push_back(wb::Text(wb::WB_RUN_SAME_CAUSE, {std::to_string(more), cause}));
      }
    }
    return lines;
  }

 private:
  std::map<std::string, int> causes_;  // how many more each cause was told
  std::vector<std::string> order_;     // the causes in the order first told
};

}  // namespace

void AddHostOptions(CLI::App& command, HostOptions& options, bool withSelection) {
  options.command = command.get_name();
  command.add_option("model", options.model, wb::Text(wb::WB_HELP_MODEL_FILE))->required();
  if (withSelection) {
    command.add_option("--select", options.select, wb::Text(wb::WB_HELP_SELECT));
    command.add_flag("--recursive", options.recursive, wb::Text(wb::WB_HELP_RECURSIVE));
  }
  command.add_option("--store", options.store, wb::Text(wb::WB_HELP_STORE))
      ->capture_default_str()
      ->each([&options](const std::string&) { options.storeGiven = true; });
  command.add_option("--templates", options.templates, wb::Text(wb::WB_HELP_TEMPLATES));
  command.add_option("--user", options.user, wb::Text(wb::WB_HELP_USER));
  command.add_option("--log", options.log, wb::Text(wb::WB_HELP_LOG));
  command.add_option("--language", options.language, wb::Text(wb::WB_HELP_LANGUAGE));
  command.add_flag("-q,--quiet", options.quiet, wb::Text(wb::WB_HELP_QUIET));
}

void AddRunOptions(CLI::App& command, HostOptions& options, bool generation) {
  command.add_option("--answer", options.answers, wb::Text(wb::WB_HELP_ANSWER))->type_name("KEY=VALUE");
  if (generation) {
    command.add_flag("--strict", options.strict, wb::Text(wb::WB_HELP_STRICT));
    // An empty name would silently write no summary at all.
    command.add_option("--summary-json", options.summaryJson, wb::Text(wb::WB_HELP_SUMMARY_JSON))
        ->check(
            [](const std::string& file) { return file.empty() ? wb::Text(wb::WB_RUN_SUMMARY_EMPTY) : std::string(); });
  }
  command.footer(AnswerKeysHelp());
}

std::string AnswerKeysHelp() {
  std::string help = wb::Text(wb::WB_ANSWER_KEYS_HEADER);
  for (const wb::AnswerKey& key : wb::AnswerKeys()) {
    std::string words;
    for (const std::string& word : key.words) {
      words += (words.empty() ? "" : wb::Text(wb::WB_ANSWER_WORD_SEPARATOR)) + word;
    }
    help +=
        "\n" + wb::Text(wb::WB_ANSWER_KEY_LINE, {key.key, words.empty() ? key.placeholder : words, wb::Text(key.help)});
  }
  return help;
}

Host::Host(HostOptions options) : options_(std::move(options)) {}

Host::~Host() {
  if (active_) addIn_->OnDeactivate(application_.get());
  SetHostComponents(nullptr);
}

void Host::WriteLog(const std::string& line) {
  if (!options_.quiet) {
    // On the screen of the status line, the log line goes above it: the
    // line is erased, the log line written, and the line put back below.
    wb::TerminalWindowSystem* windows = logOnScreen_ && components_ ? &components_->Windows() : nullptr;
    if (windows != nullptr) windows->ClearProgress();
    std::cout << line << '\n';
    if (windows != nullptr) {
      std::cout.flush();
      windows->RestoreProgress();
    }
  }
  if (logCopy_) *logCopy_ << line << '\n' << std::flush;  // a failure stops the copy; Generate tells it
  report_.Log(line);
}

int Host::Start() {
  for (const std::string& answer : options_.answers) {
    if (const std::optional<std::string> fault = presets_.Add(answer)) {
      PrintError(*fault);
      return kExitUsage;
    }
  }
  if (const std::optional<std::string> fault = GivenUserFault()) {
    PrintError(*fault);
    return kExitUsage;
  }
  std::unique_ptr<wb::Model> model;
  try {
    wb::ModelFileOptions fileOptions;
    fileOptions.language = options_.language;
    fileOptions.warn = [](const wb::LoadWarning& warning) { PrintError(warning.Format()); };
    model = wb::LoadModelFile(options_.model, fileOptions);
  } catch (const wb::DocumentError& e) {
    PrintError(e.what());
    return kExitUsage;
  }

  std::string templates = options_.templates.empty() ? wb::DefaultTemplatesDir() : options_.templates;
  std::error_code ec;
  if (!fs::is_directory(templates, ec)) {
    PrintError(wb::Text(wb::WB_HOST_NO_TEMPLATES, {templates}));
    return kExitUsage;
  }
  try {
    location_ = wb::ParseStoreLocation(options_.store);
  } catch (const ZtError& e) {
    PrintError(e.Description());
    return kExitUsage;
  }
  if (!options_.log.empty()) {
    logFile_.Reset(::open(options_.log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666));
    if (!logFile_) {
      PrintError(wb::Text(wb::WB_HOST_LOG_NOT_WRITABLE, {options_.log}));
      return kExitFailed;
    }
    logBuffer_ = std::make_unique<wb::FdOutputBuffer>(logFile_.Get());
    logCopy_ = std::make_unique<std::ostream>(logBuffer_.get());
  }

  logOnScreen_ = SameTerminal(STDOUT_FILENO, STDERR_FILENO);
  application_ = std::make_unique<wb::Application>();
  application_->SetCurrentModel(std::move(model));
  application_->SetLogSink([this](const std::string& line) { WriteLog(line); });
  // The add-in's entries live in the record of the tool that hosts it.
  application_->AddIns().AddAddIn(GetResString(IDS_ADDIN_RECORD_QK));
  application_->AddIns().AddAddIn(GetResString(IDS_ADDIN_RECORD_PWT));
  application_->HostMenuItemsOf(GetResString(IDS_ADDIN_NAME), GetResString(IDS_ADDIN_RECORD_PWT));

  if (options_.quiet) {
    auto quiet = std::make_unique<QuietConsole>();
    quietCounts_ = [console = quiet.get()] { return console->Counts(); };
    console_ = std::move(quiet);
  } else {
    console_ = std::make_unique<wb::TerminalConsole>();
  }
  console_->SetPresets(&presets_);
  wb::StoreOptions storeOptions;
  storeOptions.location = location_;
  storeOptions.userName = options_.user;
  components_ = std::make_unique<wb::WorkbenchComponents>(templates, storeOptions, *console_);
  components_->SetApplication(application_.get());
  if (IsModelDocument()) {
    const std::string path = options_.model;
    wb::ModelSaver save = wb::DocumentSaver(path);
    components_->SetModelSaver([save, path](const wb::PropertyChange& change) {
      save(change);
      std::cerr << wb::Text(wb::WB_TMPL_SAVED,
                            {path, change.name, Ref(change.element).GetQualifiedName(), change.value})
                << std::endl;
    });
  } else {
    components_->SetModelSaver(wb::XmiRefusingSaver(options_.model));
  }
  components_->SetRunObserver(
      {[this](TesselOperation& op, bool taken) {
         NotTakenReason reason;
         if (!taken) {
           // The add-in's log says that it is not taken; the host says why.
           const auto refused = refusals_.find(&op);
           reason = refused != refusals_.end() ? refused->second : WhyNotTaken(op, options_.command == "java-test");
           PrintError(wb::Text(wb::WB_RUN_WHY_NOT_TAKEN, {op.GetQualifiedName(), reason.text}));
         }
         report_.Starting(op, taken, reason.code);
         if (taken) {
           for (const std::string& hint : components_->Hints(op)) {
             // Said once a run; the summary keeps it with every operation.
             if (hinted_.insert(hint).second) PrintError(hint);
             report_.Warn(hint);
           }
         }
         components_->Windows().SetRunProgress(report_.Reached(), report_.Expected());
       },
       [this](TesselOperation& op, bool generated) {
         report_.Finished(op, generated, components_->Journal());
         components_->Windows().SetRunDone(++operationsDone_);
       }});
  if (!options_.templateFile.empty()) components_->SetPresetTemplatePath(options_.templateFile);
  SetHostComponents(components_.get());

  addIn_ = std::make_unique<OLEServer>();
  addIn_->OnActivate(application_.get());
  active_ = true;
  return SetSelection();
}

std::optional<std::string> Host::GivenUserFault() const {
  for (const std::string& answer : presets_.Values(wb::answer_key::kUser)) {
    if (auto fault = UserNameFault(answer, "--answer " + std::string(wb::answer_key::kUser) + "=")) return fault;
  }
  if (options_.user) {
    if (auto fault = UserNameFault(*options_.user, "--user")) return fault;
  }
  // $ZTUNITTEST_USER where the store's login takes it: --user gives no name.
  const char* environment = std::getenv("ZTUNITTEST_USER");
  const bool named = options_.user && options_.user->find_first_not_of(" \t") != std::string::npos;
  if (named || environment == nullptr) return std::nullopt;
  return UserNameFault(environment, "$ZTUNITTEST_USER");
}


bool Host::IsModelDocument() const {
  return wb::SniffModelFile(ReadHead(options_.model), options_.model) == wb::ModelFileFormat::kJson;
}

void Host::OpenStoreFirst() {
  // A selection without operations needs no store: it is told so before
  // anyone is asked for a login.
  if (selectionOfPackages_ && OperationsOfSelection(*application_->OpenModel()) == 0) {
    nothingSelected_ = true;
    return;
  }
  if (const std::optional<std::string> problem = wb::StoreProblem(location_)) {
    login_ = {kExitFailed, *problem, true};
    return;
  }
  std::unique_ptr<wb::StoreBase> store = wb::MakeStore({location_, options_.user}, components_->StoreEnvironment());
  if (store->AsksForLogin()) {
    // Asked here, where input that gives no name can be told from a cancel;
    // the add-in takes both for a cancelled login.
    const wb::TextAnswer answer = store->AskUserName();
    const std::optional<std::string>& user = answer.text;
    if (!user) {
      RefuseLogin(answer.unanswered ? kExitUsage : kExitCancelled,
                  answer.unanswered ? wb::Text(wb::WB_HOST_NO_USER) : "");
      return;
    }
    // Typed, or $USER taken as the answer's default.
    if (const std::optional<std::string> fault = UserNameFault(*user, wb::Text(wb::WB_HOST_USER_ASKED))) {
      RefuseLogin(kExitUsage, *fault);
      return;
    }
    options_.user = *user;
    components_->SetStoreUser(*user);
    store = wb::MakeStore({location_, options_.user}, components_->StoreEnvironment());
  }
  try {
    store->Open();
  } catch (const ZtError& e) {
    // A store that cannot be opened is no login cancelled: the run does not
    // start, and the one line says which store and why.
    login_ = {kExitFailed, e.Description(), true};
    return;
  }
  if (DataStoreConnection* connection = store->Connection()) {
    storedClassPath_ = wb::WorkbenchToolOptions(*connection).StoredOption(wb::kClassPathOption).value_or("");
  }
  // The run goes on in this store: one login, one session.
  components_->AdoptOpenStore(std::move(store));
}

void Host::RefuseLogin(int status, const std::string& reason) {
  login_ = {status, reason, false};
  components_->RefuseStoreLogin(
      ZtError(errc::kStoreCancelled, {}, reason.empty() ? wb::Text(wb::WB_STORE_LOGIN_CANCELLED) : reason));
}

int Host::SetSelection() {
  wb::Model& model = *application_->OpenModel();
  std::vector<TesselItem*> items;
  std::set<const wb::Element*> selected;
  std::vector<std::string> faults;
  // With --recursive a package stands for the packages nested in it too,
  // depth first in model order; those without classes of their own are
  // left out: they hold no operation, and as the last item of a selection
  // they would leave the run without a language.
  const std::function<void(wb::Package&)> addNested = [&](wb::Package& package) {
    if (package.ClassList().begin() != package.ClassList().end() && selected.insert(&package).second) {
      items.push_back(&package);
    }
    for (wb::Package* nested : package.PackageList()) addNested(*nested);
  };
  for (const std::string& name : options_.select) {
    std::vector<wb::Element*> found = model.Find(name);
    // Components live beside the packages, known by their own names.
    if (found.empty()) {
      if (wb::Component* component = model.FindComponent(name)) found.push_back(component);
    }
    if (found.empty()) faults.push_back(wb::Text(wb::WB_HOST_UNKNOWN_SELECTION, {name, options_.model}));
    bool selectable = false;
    for (wb::Element* element : found) {
      const std::string kind = element->KindName();
      // Attributes and components are selectable as in the modelling tool;
      // the add-in itself tells what it makes of them. Parameters are not.
      if (kind != wb::kind::kCategory && kind != wb::kind::kClass && kind != wb::kind::kOperation &&
          kind != wb::kind::kAttribute && kind != wb::kind::kComponent) {
        continue;
      }
      selectable = true;
      if (options_.recursive && kind == wb::kind::kCategory) {
        addNested(static_cast<wb::Package&>(*element));
        continue;
      }
      // An element named twice (or by two names) is selected once.
      if (selected.insert(element).second) items.push_back(element);
      // Nothing, or packages only: without operations the run has nothing
      // to say but that (the add-in speaks of other elements itself).
      if (kind != wb::kind::kCategory) selectionOfPackages_ = false;
    }
    if (!found.empty() && !selectable) faults.push_back(wb::Text(wb::WB_HOST_NOT_SELECTABLE, {name, options_.model}));
  }
  if (!faults.empty()) {
    for (const std::string& fault : faults) PrintError(fault);
    return kExitUsage;
  }
  try {
    model.SetSelection(items);
  } catch (const ZtError& e) {
    PrintError(e.Description());
    return kExitUsage;
  }
  return kExitOk;
}

int Host::Generate(const std::function<void()>& run) {
  report_.Begin(OperationsOfSelection(*application_->OpenModel()), !options_.summaryJson.empty());
  components_->Windows().SetRunProgress(0, report_.Expected());
  SetLastRunOutcome(RunOutcome{});
  if (nothingSelected_) {
    // What the add-in's run would have come to, without a login and a store.
    PrintClosingText(GetResString(IDS_CLOSING_NO_OPERATIONS));
  } else if (!login_.unopened) {
    run();
  }
  // What the store lost after the add-in was done with an operation is
  // counted from what the store said, not from what the add-in heard.
  report_.Late(components_->StoreLateOutcomes());
  if (report_.LostOperations() > 0) PrintError(wb::Text(wb::WB_RUN_LOST, {std::to_string(report_.LostOperations())}));
  const RunOutcome& outcome = LastRunOutcome();
  int status = login_.status != kExitOk ? login_.status
               : nothingSelected_       ? kExitFailed
                                  : report_.ExitStatus(outcome.canceled, options_.strict, components_->StoreFailures());
  // Failures told once (--quiet): how many more each cause had.
  if (quietCounts_) {
    for (const std::string& line : quietCounts_()) PrintError(line);
  }
  // The add-in has told of the failed login as a cancel; what it was comes last.
  if (!login_.reason.empty()) PrintError(login_.reason);
  if (logCopy_) logCopy_->flush();
  if (logBuffer_ && logBuffer_->Error() != 0) {
    PrintError(wb::Text(wb::WB_OUT_LOG_FAILED, {options_.log, std::strerror(logBuffer_->Error())}));
    if (status == kExitOk) status = kExitFailed;
  }
  if (const std::string line = report_.NotTakenLine(options_.strict, options_.command == "java-test");
      !line.empty() && !outcome.canceled && !login_.unopened && !nothingSelected_) {
    PrintError(line);
  }
  if (!options_.summaryJson.empty()) {
    std::error_code ec;
    const std::string document =
        wb::json::Format(report_.Summary(options_.command, options_.model, location_.text, status, outcome.canceled,
                                         outcome.totalGen, outcome.totalOps));
    try {
      // The user's own file: a symbolic link is followed and a pipe or
      // /dev/stdout written to, never replaced by a file of their name.
      wb::WriteOutputFile(options_.summaryJson, document);
    } catch (const ZtError& e) {
      PrintError(wb::Text(wb::WB_RUN_SUMMARY_NOT_WRITTEN, {options_.summaryJson, e.Description()}));
      return status == kExitOk ? kExitFailed : status;
    }
  }
  return status;
}

int Host::TemplateEntryStatus(const std::string& entry) {
  const wb::TemplateChoices& record = components_->TemplateRecord();
  if (record.stored > 0) return kExitOk;
  for (const std::string& failure : record.failures) PrintError(failure);
  if (!record.failures.empty()) return kExitFailed;
  // The dialog has said that nothing was chosen.
  if (record.dialogs > 0 && record.confirmed == 0) return kExitCancelled;
  PrintError(wb::Text(wb::WB_TMPL_ENTRY_NOT_RUN, {entry}));
  return kExitFailed;
}

}  // namespace zt::cli
