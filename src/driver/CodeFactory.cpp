#include "driver/CodeFactory.h"

#include <utility>

#include "driver/GenerationRun.h"
#include "driver/StatusForm.h"
#include "generators/COMGenerator.h"
#include "generators/EJBGenerator.h"
#include "generators/InlineEJBGenerator.h"
#include "host/Components.h"
#include "lang/TesselFunctions.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/modErrorHandling.h"

namespace zt {

namespace {

// Tells the host when the run reaches an operation and when it is done with
// it (HostComponents::OperationStarting, OperationFinished); a host that
// handed in no components hears nothing.
class OperationNotice {
 public:
  explicit OperationNotice(TesselOperation* op) : op_(op) {}
  ~OperationNotice() {
    if (started_) Tell([this](HostComponents& host) { host.OperationFinished(*op_, generated_); });
  }
  OperationNotice(const OperationNotice&) = delete;
  OperationNotice& operator=(const OperationNotice&) = delete;

  void Starting(bool taken) {
    if (op_ == nullptr) return;
    started_ = true;
    Tell([this, taken](HostComponents& host) { host.OperationStarting(*op_, taken); });
  }
  void Generated() { generated_ = true; }

 private:
  template <class F>
  static void Tell(F&& call) {
    try {
      call(Components());
    } catch (...) {
      // No components: nobody to tell.
    }
  }

  TesselOperation* op_;
  bool started_ = false;
  bool generated_ = false;
};

}  // namespace

void CodeFactory::Initialize(TesselApplication* TesselApp, TemplateProcessor* TProcessor) {
  processor_ = TProcessor;
  // The processor carries the add-in's run to the generators.
  if (processor_ != nullptr) processor_->SetRun(CurrentRun());
  registry_.push_back(std::make_unique<COMGenerator>());
  registry_.push_back(std::make_unique<InlineEJBGenerator>());
  registry_.push_back(std::make_unique<EJBGenerator>());
  for (const auto& generator : registry_) generator->Init(TesselApp, TProcessor);
}

void CodeFactory::InitializeWith(TesselApplication* TesselApp, TemplateProcessor* TProcessor,
                                 std::vector<std::unique_ptr<CodeGenerator>> generators) {
  processor_ = TProcessor;
  if (processor_ != nullptr) processor_->SetRun(CurrentRun());
  for (auto& generator : generators) registry_.push_back(std::move(generator));
  for (const auto& generator : registry_) generator->Init(TesselApp, TProcessor);
}

CodeGenerator* CodeFactory::FindGeneratorForOperation(TesselOperation* op) {
  for (const auto& generator : registry_) {
    if (generator->IsValidOperationForGeneration(op).value_or(false)) return generator.get();
  }
  return nullptr;
}

bool CodeFactory::GenerateTestForOperation(TesselOperation* op) {
  OperationNotice notice(op);
  try {
    CodeGenerator* generator = FindGeneratorForOperation(op);
    notice.Starting(generator != nullptr);
    TemplateProcessor& processor = Ref(processor_);
    if (generator == nullptr) {
      LetWindowEventsRun();
      if (!processor.UserCanceled) LogMessage(FormatResString1(IDS_LOG_NOT_VALID_OPERATION, Ref(op).GetQualifiedName()));
      return false;
    }

    RunState& run = CurrentRun();
    run.SourceHeaderLogged = false;
    run.DatapoolHeaderLogged = false;
    run.CompileResources = true;
    run.EjbOperationFlag = false;
    run.ScriptNotStored = false;
    ++operationNumber_;
    if (processor.DataStore != nullptr) processor.DataStore->BeginOperation(operationNumber_);

    const dsScriptType scriptType = generator->GetDataStoreScriptType();
    std::string templatePath = generator->GetTemplatePath(op);
    if (!FileExists(templatePath)) {
      LogMessage(FormatResString1(IDS_LOG_TEMPLATE_NOT_FOUND, templatePath));
      return false;
    }
    if (processor.UserCanceled) return false;

    std::unique_ptr<ParamMap> params = generator->CalculateTemplateParams(op, processor.DataStore);
    const std::string testCodePath = generator->GetTestCodePath(op, processor.DataStore);
    if (!params) return false;

    const std::string operationName = Ref(op).GetQualifiedName();
    processor.StatusLine = FormatResString1(IDS_STATUS_PROCESSING, operationName);
    processor.ProcessTemplate(templatePath, testCodePath, *params, scriptType, operationName);
    if (processor.UserCanceled) {
      LogMessage(GetResString(IDS_LOG_USER_CANCELED_SCRIPTS));
      return false;
    }
    // The store said which script it could not store and why; an operation
    // without its test gets no datapool.
    if (run.ScriptNotStored) return false;
    GenerateDatapoolForOperation(op, processor.DataStore);
    notice.Generated();
    return true;
  } catch (...) {
    const ZtError error = CurrentError();
    std::string operationName;
    try {
      if (op != nullptr) operationName = op->GetQualifiedName();
    } catch (...) {
    }
    ReportError(&error, FormatResString1(IDS_ERR_GENERATE_OPERATION, operationName));
    return false;
  }
}

int32_t CodeFactory::GenerateTestForOperations(TesselOperationCollection* OpColl) {
  TesselOperationCollection& operations = Ref(OpColl);
  const int16_t n = operations.Count();
  if (n > 1) CurrentRun().RunHasMultipleItems = true;
  int32_t count = 0;
  for (int16_t i = 1; i <= n; ++i) {
    if (Ref(processor_).UserCanceled) break;
    TesselOperation* op = operations.GetAt(i);
    if (op != nullptr && GenerateTestForOperation(op)) {
      ++count;
      if (generated_.size() <= static_cast<size_t>(operationNumber_)) generated_.resize(operationNumber_ + 1);
      generated_[operationNumber_] = true;
      WriteLogLine({});
    }
  }
  return count;
}

int32_t CodeFactory::GenerateTestForClass(TesselClass* cls) {
  if (cls == nullptr || cls->Operations() == nullptr) return 0;
  return GenerateTestForOperations(cls->Operations());
}

int32_t CodeFactory::GenerateTestForClasses(TesselClassCollection* clsColl) {
  TesselClassCollection& classes = Ref(clsColl);
  int32_t count = 0;
  for (int16_t i = 1; i <= classes.Count(); ++i) {
    if (Ref(processor_).UserCanceled) break;
    if (TesselClass* cls = classes.GetAt(i)) count += GenerateTestForClass(cls);
  }
  return count;
}

int32_t CodeFactory::GenerateTestForCategory(TesselCategory* cat) {
  if (cat == nullptr || cat->Classes() == nullptr) return 0;
  return GenerateTestForClasses(cat->Classes());
}

int32_t CodeFactory::GenerateTestForCategories(TesselCategoryCollection* catColl) {
  CurrentRun().RunHasMultipleItems = true;
  TesselCategoryCollection& categories = Ref(catColl);
  int32_t count = 0;
  for (int16_t i = 1; i <= categories.Count(); ++i) {
    if (Ref(processor_).UserCanceled) break;
    if (TesselCategory* cat = categories.GetAt(i)) count += GenerateTestForCategory(cat);
  }
  return count;
}

void CodeFactory::GenerateDatapoolForOperation(TesselOperation* op, DataStore* ds) {
  TesselOperation& operation = Ref(op);
  const std::string className = Ref(operation.ParentClass()).Name();
  const std::string operationName = operation.Name();
  RunState& run = CurrentRun();

  std::unique_ptr<OverwritePrompt> prompt = Components().CreateOverwritePrompt();
  prompt->SetPromptSetting(false);
  if (!run.RunHasMultipleItems) prompt->SetForAllAnswers(false);
  if (ds == nullptr) return;

  DatapoolTool& tool = SharedDatapoolTool();
  const std::string name = ds->MakeDatapoolName(className, operationName, 0);
  const std::string fields = SharedModelHelper().GetDatapoolFields(op);
  const std::string description = GetResString(IDS_DATAPOOL_DESCRIPTION);
  const int32_t code = tool.CreateDatapool(ds->Connection(), name, description, fields);

  auto record = [&run, &name] {
    if (!run.DatapoolHeaderLogged) {
      LogMessage(GetResString(IDS_LOG_DATAPOOL_CREATED));
      run.DatapoolHeaderLogged = true;
    }
    WriteLogLine(GetResString(IDS_DETAIL_INDENT) + name);
    ++run.DatapoolsCreated;
    if (run.FirstDatapoolName.empty()) run.FirstDatapoolName = name;
  };

  if (code == datapool_result::kCreated) {
    record();
    return;
  }
  if (code == datapool_result::kNothingToReport) return;

  if (run.DatapoolOverwriteAnswer == overwrite_answer::kYes || run.DatapoolOverwriteAnswer == overwrite_answer::kNo) {
    run.DatapoolOverwriteAnswer = prompt->Ask(GetResString(IDS_WINDOW_TITLE) + GetResString(IDS_CONFIRM_OVERWRITE_TITLE),
                                              name, GetResString(IDS_MSG_OVERWRITE_DATAPOOLS));
  }
  switch (run.DatapoolOverwriteAnswer) {
    case overwrite_answer::kYes:
    case overwrite_answer::kYesForAll:
      if (!run.DatapoolHeaderLogged) {
        LogMessage(GetResString(IDS_LOG_DATAPOOL_CREATED));
        run.DatapoolHeaderLogged = true;
      }
      tool.SetOverwrite(true);
      tool.CreateDatapool(ds->Connection(), name, description, fields);
      tool.SetOverwrite(false);
      record();
      return;
    case overwrite_answer::kNo:
    case overwrite_answer::kNoForAll:
      tool.SetOverwrite(false);
      return;
    default:
      Ref(processor_).UserCanceled = true;
      LogMessage(GetResString(IDS_LOG_USER_CANCELED_DATAPOOLS));
      return;
  }
}

bool CodeFactory::GenerateSelectedItems(TesselModel* aTesselModel, int32_t& TotalGen, int32_t& TotalOps) {
  bool result = false;
  try {
    TemplateProcessor& processor = Ref(processor_);
    DataStore* ds = GetSharedDataStore();
    if (ds == nullptr) {
      LogMessage(GetResString(IDS_LOG_USER_CANCELED_LOGIN));
      processor.UserCanceled = true;
      return false;
    }
    processor.Initialize(ds);
    store_ = ds;

    const std::string language = GetSelectionLanguage(aTesselModel);
    if (language.empty()) return false;
    const bool isCom = language == GetResString(IDS_LANG_COM);
    if (isCom) {
      RunState& run = CurrentRun();
      run.ResourceCompilerPath = FindResourceCompiler(ds);
      std::string compiler = run.ResourceCompilerPath;
      if (!FileExists(compiler) &&
          ShowMessage(GetResString(IDS_MSG_RC_NOT_FOUND), mb::kYesNo | mb::kExclamation, mb::kIdYes) == mb::kIdNo) {
        return false;
      }
    }
    result = GenerateTestScripts(aTesselModel, TotalGen, TotalOps);
    if (isCom && result && CurrentRun().NoResourceFile) {
      WriteLogLine({});
      LogMessage(GetResString(IDS_LOG_NO_RES_FILE));
    }
    return result;
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, {});
    return result;
  }
}

bool CodeFactory::GenerateTestScripts(TesselModel* aTesselModel, int32_t& TotalGen, int32_t& TotalOps) {
  bool result = false;
  try {
    const TesselItemCollection selected = Ref(aTesselModel).GetSelectedItems();
    TesselCategoryCollection packages;
    TesselClassCollection classes;
    TesselOperationCollection operations;
    const std::string categoryKind = GetResString(IDS_KIND_CATEGORY);
    const std::string classKind = GetResString(IDS_KIND_CLASS);
    const std::string operationKind = GetResString(IDS_KIND_OPERATION);
    for (int16_t i = 1; i <= selected.Count(); ++i) {
      TesselItem& item = Ref(selected.GetAt(i));
      const std::string kind = item.KindName();
      if (kind == categoryKind) {
        packages.Add(dynamic_cast<TesselCategory*>(&item));
      } else if (kind == classKind) {
        classes.Add(dynamic_cast<TesselClass*>(&item));
      } else if (kind == operationKind) {
        operations.Add(dynamic_cast<TesselOperation*>(&item));
      } else {
        ShowMessage(FormatResString1(IDS_MSG_NOT_VALID_COMPONENT, item.Name()), mb::kOkOnly | mb::kCritical);
        return false;
      }
    }

    for (const auto& generator : registry_) generator->ResetMembers();
    SharedDatapoolTool().PrepareRun(0);
    RunState& run = CurrentRun();
    run.DatapoolOverwriteAnswer = overwrite_answer::kNo;
    run.RunHasMultipleItems = false;
    if (IsSharedDataStoreOpen()) GetSharedDataStore()->ResetSession();
    run.NoResourceFile = false;

    WriteLogLine({});
    WriteLogLine(GetResString(IDS_LOG_GENERATING));

    // The walk stores in batches; the last one is finished however the walk ends.
    struct Batch {
      DataStore* store;
      explicit Batch(DataStore* s) : store(s) {
        if (store != nullptr) store->BeginBatch();
      }
      // The operations of which the batch lost something.
      std::vector<int32_t> End() {
        DataStore* ending = std::exchange(store, nullptr);
        return ending != nullptr ? ending->EndBatch() : std::vector<int32_t>();
      }
      ~Batch() { End(); }
      Batch(const Batch&) = delete;
      Batch& operator=(const Batch&) = delete;
    } batch(Ref(processor_).DataStore);
    operationNumber_ = 0;
    generated_.clear();

    TotalGen = GenerateTestForOperations(&operations);
    TotalGen += GenerateTestForClasses(&classes);
    TotalGen += GenerateTestForCategories(&packages);
    // What the store could not make durable after all (it said what) was not generated.
    for (const int32_t lost : batch.End()) {
      if (lost < 0 || static_cast<size_t>(lost) >= generated_.size() || !generated_[lost]) continue;
      generated_[lost] = false;
      --TotalGen;
    }

    TotalOps = operations.Count() + CountClassesOperations(&classes);
    if (!Ref(processor_).UserCanceled) TotalOps += CountCategoriesOperations(&packages);
    result = TotalGen == TotalOps && TotalOps > 0;
  } catch (...) {
    // The run ends quietly with what it reached.
  }
  return result;
}

void CodeFactory::GenerateAll(TesselModel* aTesselModel) {
  StatusForm form;
  form.SetFactory(this);
  if (processor_ == nullptr) {
    ownProcessor_ = std::make_unique<TemplateProcessor>();
    processor_ = ownProcessor_.get();
  }
  form.SetProcessor(processor_);
  TesselApplication* application = Ref(aTesselModel).Application();
  Initialize(application, processor_);
  form.SetApplication(application);
  form.Show();
}

}  // namespace zt
