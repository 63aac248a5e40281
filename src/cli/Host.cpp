#include "cli/Host.h"

#include <CLI/CLI.hpp>
#include <fcntl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

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
#include "workbench/store/SqliteStore.h"
#include "workbench/store/ToolOptions.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/system/ProcessLauncher.h"
#include "workbench/terminal/Console.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace fs = std::filesystem;

namespace {

// The first bytes of a file, enough to tell its format.
std::string ReadHead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

}  // namespace

void AddHostOptions(CLI::App& command, HostOptions& options, bool withSelection) {
  command.add_option("model", options.model, wb::Text(wb::WB_HELP_MODEL_FILE))->required();
  if (withSelection) command.add_option("--select", options.select, wb::Text(wb::WB_HELP_SELECT));
  command.add_option("--store", options.store, wb::Text(wb::WB_HELP_STORE))->capture_default_str();
  command.add_option("--templates", options.templates, wb::Text(wb::WB_HELP_TEMPLATES));
  command.add_option("--user", options.user, wb::Text(wb::WB_HELP_USER));
  command.add_option("--log", options.log, wb::Text(wb::WB_HELP_LOG));
  command.add_option("--language", options.language, wb::Text(wb::WB_HELP_LANGUAGE));
}

Host::Host(HostOptions options) : options_(std::move(options)) {}

Host::~Host() {
  if (active_) addIn_->OnDeactivate(application_.get());
  SetHostComponents(nullptr);
}

void Host::WriteLog(const std::string& line) {
  // A log line must not end up on the progress line of stderr.
  if (components_) components_->Windows().ClearProgress();
  std::cout << line << '\n';
  if (logCopy_) *logCopy_ << line << '\n' << std::flush;  // a failure stops the copy; RunStatus tells it
}

int Host::Start() {
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
  const fs::path store = fs::absolute(options_.store, ec);
  // The add-in takes any store that fails to open for a cancelled login; the
  // reason is told here, before the add-in runs.
  if (const std::optional<std::string> problem = wb::StoreFolderProblem(store.string())) {
    PrintError(*problem);
    return kExitFailed;
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

  application_ = std::make_unique<wb::Application>();
  application_->SetCurrentModel(std::move(model));
  application_->SetLogSink([this](const std::string& line) { WriteLog(line); });
  // The add-in's entries live in the record of the tool that hosts it.
  application_->AddIns().AddAddIn(GetResString(IDS_ADDIN_RECORD_QK));
  application_->AddIns().AddAddIn(GetResString(IDS_ADDIN_RECORD_PWT));
  application_->HostMenuItemsOf(GetResString(IDS_ADDIN_NAME), GetResString(IDS_ADDIN_RECORD_PWT));

  // Option 3 defaults to the rc.exe wrapper installed beside this program.
  wb::SetDefaultResourceCompiler(wb::BundledResourceCompiler());
  console_ = std::make_unique<wb::TerminalConsole>();
  wb::StoreOptions storeOptions;
  storeOptions.folder = store.string();
  storeOptions.userName = options_.user;
  components_ = std::make_unique<wb::WorkbenchComponents>(templates, storeOptions, *console_);
  components_->SetApplication(application_.get());
  if (wb::SniffModelFile(ReadHead(options_.model), options_.model) == wb::ModelFileFormat::kJson) {
    components_->SetModelSaver(wb::DocumentSaver(*application_, options_.model));
  } else {
    components_->SetModelSaver(wb::XmiRefusingSaver(options_.model));
  }
  if (!options_.templateFile.empty()) components_->SetPresetTemplatePath(options_.templateFile);
  SetHostComponents(components_.get());

  addIn_ = std::make_unique<OLEServer>();
  addIn_->OnActivate(application_.get());
  active_ = true;
  return SetSelection();
}

int Host::OpenStoreFirst() {
  std::error_code ec;
  wb::SqliteStore store({fs::absolute(options_.store, ec).string(), options_.user}, *console_);
  if (store.AsksForLogin()) return kExitOk;
  try {
    store.Open();
  } catch (const ZtError& e) {
    PrintError(e.Description());
    return kExitFailed;
  }
  return kExitOk;
}

int Host::SetSelection() {
  wb::Model& model = *application_->OpenModel();
  std::vector<TesselItem*> items;
  std::set<const wb::Element*> selected;
  std::vector<std::string> faults;
  for (const std::string& name : options_.select) {
    const std::vector<wb::Element*> found = model.Find(name);
    if (found.empty()) faults.push_back(wb::Text(wb::WB_HOST_UNKNOWN_SELECTION, {name, options_.model}));
    bool selectable = false;
    for (wb::Element* element : found) {
      const std::string kind = element->KindName();
      if (kind != wb::kind::kCategory && kind != wb::kind::kClass && kind != wb::kind::kOperation) continue;
      selectable = true;
      // An element named twice (or by two names) is selected once.
      if (selected.insert(element).second) items.push_back(element);
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

int Host::RunStatus() {
  int status = ExitStatusOfLastRun();
  if (status == kExitOk && components_ && components_->StoreFailures() > 0) status = kExitFailed;
  if (logCopy_) logCopy_->flush();
  if (logBuffer_ && logBuffer_->Error() != 0) {
    PrintError(wb::Text(wb::WB_OUT_LOG_FAILED, {options_.log, std::strerror(logBuffer_->Error())}));
    if (status == kExitOk) status = kExitFailed;
  }
  return status;
}

int ExitStatusOfLastRun() {
  const RunOutcome& outcome = LastRunOutcome();
  if (outcome.canceled) return kExitCancelled;
  return outcome.ran && outcome.result ? kExitOk : kExitFailed;
}

}  // namespace zt::cli
