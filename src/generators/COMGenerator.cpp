#include "generators/COMGenerator.h"

#include "generators/TemplatePaths.h"
#include "host/Components.h"
#include "host/FileSystem.h"
#include "host/ModelHelper.h"
#include "host/TesselModel.h"
#include "lang/TesselFunctions.h"
#include "lang/VBLang.h"
#include "support/CommonFunctions.h"
#include "support/DynamicResources.h"
#include "support/Text.h"
#include "support/modErrorHandling.h"

namespace zt {

namespace {

// The Visual Basic types that are values rather than objects.
bool IsValueType(const std::string& type) {
  for (int16_t id : {IDS_VB_INTEGER, IDS_VB_LONG, IDS_VB_SINGLE, IDS_VB_DOUBLE, IDS_VB_BYTE, IDS_VB_BOOLEAN,
                     IDS_VB_STRING, IDS_VB_VARIANT, IDS_VB_DATE, IDS_VB_CURRENCY}) {
    if (type == GetResString(id)) return true;
  }
  return false;
}

constexpr int32_t kShowMinimized = 2;
constexpr int32_t kShowMaximized = 3;

}  // namespace

COMGenerator::~COMGenerator() {
  if (processor_ != nullptr) processor_->RemoveListener(this);
}

std::string COMGenerator::TemplatePropertyName(OperationType) { return GetResString(IDS_PROP_VB_PROJECT); }
std::string COMGenerator::TemplatePropertyDefault(OperationType) { return GetResString(IDS_DEFAULT_VB_PROJECT); }
std::string COMGenerator::TemplateSelectionFilter() { return GetResString(IDS_FILTER_VB); }
std::string COMGenerator::TemplateSelectionCaption() { return GetResString(IDS_TEMPLATE_CAPTION); }
dsScriptType COMGenerator::GetDataStoreScriptType() { return dsVisualBasicScript; }

void COMGenerator::ResetMembers() {
  lastInterfaceName_.clear();
  coclassName_.clear();
}

void COMGenerator::Init(TesselApplication* TesselApp, TemplateProcessor* TProcessor) {
  try {
    if (!InitOnce(TesselApp, TProcessor)) return;
    if (processor_ != nullptr) processor_->AddListener(this);
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_INIT_COM));
  }
}

std::string COMGenerator::GetTemplatePath(TesselOperation* op) {
  try {
    return GetTemplateProperty(TemplatePropertyName(optBusiness), GetResString(IDS_KIND_OPERATION), op,
                               TemplatePropertyDefault(optBusiness));
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_TEMPLATE_PATH_COM));
    return {};
  }
}

std::optional<bool> COMGenerator::IsValidOperationForGeneration(TesselOperation* op) {
  try {
    TesselClass& cls = Ref(Ref(op).ParentClass());
    return cls.Stereotype() == GetResString(IDS_STEREO_INTERFACE) && cls.Language() == GetResString(IDS_LANG_COM);
  } catch (...) {
    return std::nullopt;
  }
}

std::string COMGenerator::GetTestCodePath(TesselOperation* op, DataStore* ds) {
  TesselOperation& operation = Ref(op);
  TesselClass& cls = Ref(operation.ParentClass());
  const std::string sep = GetResString(IDS_BACKSLASH);
  const std::string folder = GetPackagePath(&cls) + sep + coclassName_;
  const std::string name = VBLang().MakeValidObjectName(cls.Name() + operation.Name());
  const std::string suffix = Ref(ds).MakeScriptName(name, folder, dsVisualBasicScript);
  return GetResString(IDS_ROOT_PACKAGE) + sep + folder + sep + name + suffix + GetResString(IDS_EXT_VBP);
}

std::string COMGenerator::GetProjectReference(TesselClass* coclass) {
  if (coclass == nullptr) return {};
  const TesselComponentCollection components = coclass->GetAssignedComponents();
  TesselComponent& component = Ref(components.GetAt(1));
  const std::string tool = GetResString(IDS_COM_TOOL);
  const std::string uuid = component.GetPropertyValue(tool, GetResString(IDS_COMPONENT_UUID));
  const std::string lcid = component.GetPropertyValue(tool, GetResString(IDS_COMPONENT_LCID));
  const std::string fileName = component.GetPropertyValue(tool, GetResString(IDS_COMPONENT_FILENAME));
  const std::string helpString = component.GetPropertyValue(tool, GetResString(IDS_COMPONENT_HELPSTRING));
  const std::string file = GetBaseName(fileName) + GetResString(IDS_DOT) + GetExtensionName(fileName);
  const std::string hash = GetResString(IDS_HASH);
  return GetResString(IDS_PROJECT_REFERENCE) + GetResString(IDS_OPEN_BRACE) + uuid + GetResString(IDS_CLOSE_BRACE) +
         hash + GetResString(IDS_TYPELIB_VERSION) + hash + lcid + hash + file + hash + helpString;
}

std::unique_ptr<ParamMap> COMGenerator::CalculateTemplateParams(TesselOperation* aOperation, DataStore* ds) {
  std::unique_ptr<ParamMap> map;
  try {
    store_ = ds;
    VBLang vb;
    DataStore& store = Ref(ds);
    const std::string author = store.UserName();
    TesselOperation& op = Ref(aOperation);
    TesselClass* cls = op.ParentClass();
    const std::string className = Ref(cls).Name();
    const std::string operationName = op.Name();
    ModelHelper& helper = SharedModelHelper();

    // The coclass under test.
    bool changed = false;
    if (className != lastInterfaceName_) {
      lastInterfaceName_ = className;
      changed = true;
    }
    const std::string libraryName = helper.GetTypeLibraryName(cls);
    const std::string defaultCoclass = helper.GetDefaultCoclassName(cls);
    const TesselClassCollection coclasses = helper.GetCoclasses(cls);
    const int16_t n = coclasses.Count();
    TesselClass* underTest = nullptr;
    std::string progId;
    std::string projectReference;
    if (n > 1) {
      if (changed) {
        std::unique_ptr<ListSelectDialog> dialog = Components().CreateListSelectDialog();
        dialog->SetCaption(GetResString(IDS_COCLASS_CAPTION));
        dialog->SetPrompt(FormatResString1(IDS_COCLASS_PROMPT, className));
        TesselClass* chosen = dialog->SelectFromList(Run().ProgressWindow, coclasses);
        // Nothing chosen is remembered as well: no later operation of this
        // interface may take the coclass chosen for another one.
        chosenCoclass_ = chosen;
        coclassName_ = chosen != nullptr ? chosen->Name() : std::string();
      }
      // No choice is no object: the call ends as any call on nothing does.
      underTest = &Ref(chosenCoclass_);
    } else if (n == 1) {
      underTest = coclasses.GetAt(1);
      coclassName_ = defaultCoclass;
    } else {
      coclassName_ = defaultCoclass;
    }
    const auto noProgId = [&] {
      LogMessage(GetResString(IDS_LOG_NO_PROGID));
      progId = libraryName + GetResString(IDS_DOT) + coclassName_;
      projectReference.clear();
    };
    if (n < 1) {
      noProgId();
    } else {
      projectReference = GetProjectReference(underTest);
      try {
        progId = helper.GetProgID(underTest);
      } catch (const ZtError& e) {
        if (e.Number() != errc::kCannotCreateObject) throw;
        noProgId();
      }
    }

    // The values of the tags.
    const std::string sep = GetResString(IDS_BACKSLASH);
    const std::string crlf = GetResString(IDS_CRLF);
    const std::string interfaceName = vb.ToScriptDataType(className);
    const std::string packageName = GetPackagePath(cls) + sep + coclassName_;
    const std::string testName = vb.ToScriptDataType(className + operationName);
    std::string arraySuffix;
    const std::string returnType = GetReturnDataType(cls, aOperation, arraySuffix);
    std::string returnAssignment;
    if (!returnType.empty() && returnType != GetResString(IDS_VOID)) {
      returnAssignment = GetResString(IsValueType(returnType) ? IDS_VB_RETURN_ASSIGNMENT : IDS_VB_SET_RETURN_ASSIGNMENT);
    }
    const std::string check = vb.GetCheckExpectedResult(returnType, operationName);
    const std::string datapoolName = store.MakeDatapoolName(className, operationName, 0);
    const std::string index = store.MakeScriptName(testName, packageName, dsVisualBasicScript);
    SignatureArray types, names, arrayStrs, initialValues;
    BuildParamArrays(aOperation, types, names, arrayStrs, initialValues);
    VBResources resources;
    resources.Initialize(ds, datapoolName, className);
    const std::string datapoolFields = resources.AddFields(types, names, arrayStrs, initialValues);
    const std::string declaration = vb.DeclareOperation(returnType, operationName, types, names, arrayStrs);
    const std::string actRet = GetResString(IDS_VAR_ACT_RET);
    const std::string expRet = GetResString(IDS_VAR_EXP_RET);
    std::string parameterDeclarations = vb.DeclareOperationParameters(types, names, arrayStrs, {});
    if (!parameterDeclarations.empty()) parameterDeclarations += crlf;
    parameterDeclarations += vb.DeclareVariable(actRet, returnType, {}) + crlf + vb.DeclareVariable(expRet, returnType, {});
    std::string parameterInitialization = vb.DatapoolAssignParameters(types, names, arrayStrs, {});
    if (!parameterInitialization.empty()) parameterInitialization += crlf;
    parameterInitialization += vb.InitVariableWithDatapoolValue(expRet, returnType, GetResString(IDS_VAR_EXPECTED_RETURN));
    const std::string parameterList = vb.ParamList(names);
    const std::string argumentList = returnAssignment.empty() ? GetResString(IDS_BLANK) + parameterList
                                                              : FormatResString1(IDS_ARGLIST_PARENS, parameterList);

    map = std::make_unique<ParamMap>();
    map->Add(GenerationDate(), ResString(IDS_TAG_GENERATION_DATE));
    map->Add(testName, ResString(IDS_TAG_TEST_NAME));
    map->Add(datapoolName, ResString(IDS_TAG_DATAPOOL_NAME));
    map->Add(index, ResString(IDS_TAG_INDEX));
    map->Add(GetResString(IDS_ROOT_PACKAGE), ResString(IDS_TAG_ROOT_PACKAGE));
    map->Add(packageName, ResString(IDS_TAG_PACKAGE_NAME));
    map->Add(className, ResString(IDS_TAG_CLASS_NAME));
    map->Add(interfaceName, ResString(IDS_TAG_INTERFACE_NAME));
    map->Add(operationName, ResString(IDS_TAG_OPERATION_NAME));
    map->Add(libraryName, ResString(IDS_TAG_LIBRARY_NAME));
    map->Add(coclassName_, ResString(IDS_TAG_COCLASS_NAME));
    map->Add(std::string(), ResString(IDS_TAG_COCLASS_GUID));
    map->Add(progId, ResString(IDS_TAG_COCLASS_PROGID));
    map->Add(check, ResString(IDS_TAG_CHECK_EXPECTED_RESULT));
    map->Add(declaration, ResString(IDS_TAG_METHOD_DECLARATION));
    map->Add(parameterDeclarations, ResString(IDS_TAG_PARAMETER_DECLARATIONS));
    map->Add(parameterInitialization, ResString(IDS_TAG_PARAMETER_INITIALIZATION));
    map->Add(argumentList, ResString(IDS_TAG_OPERATION_ARGLIST));
    map->Add(returnAssignment, ResString(IDS_TAG_RETURN_VAL));
    map->Add(datapoolFields, ResString(IDS_TAG_DATAPOOL_FIELDS));
    map->Add(std::string(), ResString(IDS_TAG_SYNC_POINTS));
    map->Add(std::string(), ResString(IDS_TAG_SHARED_VARIABLES));
    map->Add(projectReference, ResString(IDS_TAG_PROJECT_REFERENCE));
    map->Add(author, ResString(IDS_TAG_AUTHOR_NAME));
    return map;
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, GetResString(IDS_ERR_PARAMS_COM));
    return map;
  }
}

void COMGenerator::TemplatePostProcessLine(const std::string& TemplatePath, const std::string& TestCodePath,
                                           ParamMap& TemplateParams, dsScriptType scriptType,
                                           std::string& TemplateLine, bool& bCancel, const std::string& sOperName) {
  try {
    VBLang vb;
    TemplateProcessor& processor = Ref(processor_);
    std::string fileTemp, fileOut;
    const std::string sep = GetResString(IDS_BACKSLASH);
    const std::string templateFolder = FileSystemObject::GetParentFolderName(TemplatePath);
    const std::string outputFolder = FileSystemObject::GetParentFolderName(TestCodePath);
    if (vb.IsProjectClassReference(TemplateLine, fileTemp, fileOut) ||
        vb.IsProjectModuleReference(TemplateLine, fileTemp, fileOut)) {
      processor.ProcessTemplate(templateFolder + sep + fileTemp, outputFolder + sep + fileOut, TemplateParams,
                                scriptType, sOperName);
      if (!processor.UserCanceled) ReplaceAll(TemplateLine, fileTemp, fileOut);
    } else if (vb.IsResourceReference(TemplateLine, fileTemp, fileOut)) {
      const std::string outputFile = outputFolder + sep + fileOut;
      processor.ProcessTemplate(templateFolder + sep + fileTemp, outputFile, TemplateParams, scriptType, sOperName);
      // A script the store refused or could not write is not compiled: no
      // compiler runs on, and nothing is deleted at, a path it refused.
      if (!processor.UserCanceled && Run().CompileResources && !Run().ScriptNotStored) {
        switch (CompileResourceFile(fileOut, outputFolder)) {
          case eRCCompilerNotFound:
            WriteLogLine(GetResString(IDS_DETAIL_INDENT) + Ref(processor.DataStore).ScriptRoot(scriptType) + outputFile);
            Run().NoResourceFile = true;
            break;
          case eRCFailed:
            Run().NoResourceFile = true;
            break;
          case eRCSuccess:
            break;
        }
      }
    }
  } catch (...) {
    bCancel = true;
    const ZtError error = CurrentError();
    ReportError(&error, {});
  }
}

ERCReturnTypes COMGenerator::CompileResourceFile(const std::string& sFileName, const std::string& sDirectory) {
  std::string scriptPath, compilerName, parameters, workingFolder, options;
  // The script and its ".res" as the store knows them: a file in a folder
  // below its Visual Basic root. Every delete and every test for the ".res"
  // goes through the store, with the checks of its writes.
  std::string scriptFolder, scriptName, resourceName;
  RunState& run = Run();
  int32_t show = 0;
  try {
    const std::string root = Ref(store_).ScriptRoot(dsVisualBasicScript);
    const std::string sep = GetResString(IDS_BACKSLASH);
    const std::string quote = GetResString(IDS_QUOTE);
    scriptPath = root + sDirectory + sep + sFileName;
    const std::string relative = sDirectory + sep + sFileName;
    scriptFolder = FileSystemObject::GetParentFolderName(relative);
    scriptName = FileSystemObject::GetFileName(relative);
    resourceName = ReplaceExtension(scriptName, GetResString(IDS_EXT_RC), GetResString(IDS_EXT_RES));
    std::string compilerPath = run.ResourceCompilerPath;
    if (!FileExists(compilerPath)) return eRCCompilerNotFound;
    const std::string compiler = TrimBlanks(run.ResourceCompilerPath);
    compilerName = FileSystemObject::GetFileName(compiler);
    if (compiler.find(GetResString(IDS_EXT_EXE)) == std::string::npos) {
      LogMessage(FormatResString1(IDS_LOG_RC_FAILED, compilerName));
      WriteLogLine(GetResString(IDS_DETAIL_INDENT) + scriptPath);
      return eRCFailed;
    }
    show = compiler.find(GetResString(IDS_RC_EXE)) != std::string::npos ? kShowMinimized : kShowMaximized;
    workingFolder = root + sDirectory + sep;
    std::unique_ptr<ToolOptions> toolOptions = Components().CreateToolOptions();
    options = toolOptions->GetOption(tool_option::kResourceCompilerOptions);
    // What the log shows; the program gets the script's path as one
    // argument of its own (lpArguments), whatever the path holds.
    parameters = options + GetResString(IDS_BLANK) + quote + scriptPath + quote;
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, {});
    return eRCFailed;
  }

  // From here on, failures are not reported as errors: the result tells.
  ShellExecuteInfo info;
  info.fMask = kSeeMaskNoCloseProcess;
  info.hwnd = Run().ProgressWindow;
  info.lpVerb = GetResString(IDS_VERB_OPEN);
  info.lpFile = run.ResourceCompilerPath;
  info.lpParameters = options;
  info.lpArguments = {scriptPath};
  info.lpDirectory = workingFolder;
  info.nShow = show;

  // The ".res" beside the script: its extension replaced, nothing else.
  const std::string resourcePath = ReplaceExtension(scriptPath, GetResString(IDS_EXT_RC), GetResString(IDS_EXT_RES));
  DataStore& store = *store_;
  const auto failed = [&] {
    LogMessage(FormatResString1(IDS_LOG_RC_FAILED, compilerName + GetResString(IDS_BLANK) + parameters));
    WriteLogLine(GetResString(IDS_DETAIL_INDENT) + scriptPath);
  };
  const auto removeResource = [&] {
    try {
      return store.DeleteScript(resourceName, scriptFolder, dsVisualBasicScript) != delete_result::kNotDeleted;
    } catch (...) {
      return false;
    }
  };
  // A ".res" of an earlier run that cannot be removed (or lies where the
  // store refuses to go) would pass for this run's result: nothing is run.
  if (!removeResource()) {
    failed();
    return eRCFailed;
  }

  std::optional<int64_t> process;
  try {
    process = Components().Processes().ShellExecuteEx(info);
  } catch (...) {
    const ZtError error = CurrentError();
    ReportError(&error, {});
    return eRCFailed;
  }
  if (!process) return eRCFailed;

  int32_t exitStatus = -1;
  try {
    exitStatus = Components().Processes().WaitForSingleObject(*process);
  } catch (...) {
  }
  bool produced = false;
  try {
    produced = store.ScriptExists(resourceName, scriptFolder, dsVisualBasicScript);
  } catch (...) {
  }
  const auto close = [&] {
    try {
      Components().Processes().CloseHandle(*process);
    } catch (...) {
    }
  };
  // A compiler that fails may leave a partial ".res": only its success counts.
  if (produced && exitStatus == 0) {
    try {
      store.DeleteScript(scriptName, scriptFolder, dsVisualBasicScript);
    } catch (...) {
    }
    WriteLogLine(GetResString(IDS_DETAIL_INDENT) + resourcePath);
    close();
    return eRCSuccess;
  }
  if (produced) removeResource();
  failed();
  close();
  return eRCFailed;
}

}  // namespace zt
