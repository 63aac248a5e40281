#include "addin/OLEServer.h"

#include "addin/TemplateSelection.h"
#include "driver/CodeFactory.h"
#include "driver/GenerationRun.h"
#include "driver/StatusForm.h"
#include "generators/COMGenerator.h"
#include "generators/EJBGenerator.h"
#include "host/TesselModel.h"
#include "support/DynamicResources.h"
#include "support/modErrorHandling.h"

namespace zt {

namespace {

struct MenuEntry {
  int16_t itemType;
  int16_t internalName;
  int16_t caption;
};

// The entries in the order they are added.
constexpr MenuEntry kMenu[] = {
    {item_type::kOperation, IDS_MENU_SELECT_OPERATION, IDS_CAPTION_SELECT_TEMPLATE},
    {item_type::kOperation, IDS_MENU_GENERATE_OPERATION, IDS_CAPTION_GENERATE},
    {item_type::kClass, IDS_MENU_GENERATE_CLASS, IDS_CAPTION_GENERATE},
    {item_type::kPackage, IDS_MENU_GENERATE_PACKAGE, IDS_CAPTION_GENERATE},
    {item_type::kModel, IDS_MENU_MODEL_EJB_BUSINESS, IDS_CAPTION_MODEL_EJB_BUSINESS},
    {item_type::kModel, IDS_MENU_MODEL_EJB_CREATE, IDS_CAPTION_MODEL_EJB_CREATE},
    {item_type::kModel, IDS_MENU_MODEL_EJB_FINDER, IDS_CAPTION_MODEL_EJB_FINDER},
    {item_type::kModel, IDS_MENU_MODEL_EJB_GETTER, IDS_CAPTION_MODEL_EJB_GETTER},
    {item_type::kModel, IDS_MENU_MODEL_EJB_SETTER, IDS_CAPTION_MODEL_EJB_SETTER},
    {item_type::kModel, IDS_MENU_MODEL_COM, IDS_CAPTION_MODEL_COM},
};

// The model-level template entries and the operation type each selects.
struct ModelEntry {
  int16_t internalName;
  OperationType type;
  bool com;
};

constexpr ModelEntry kModelEntries[] = {
    {IDS_MENU_MODEL_EJB_BUSINESS, optBusiness, false}, {IDS_MENU_MODEL_EJB_CREATE, optCreate, false},
    {IDS_MENU_MODEL_EJB_FINDER, optFinder, false},     {IDS_MENU_MODEL_EJB_GETTER, optGetter, false},
    {IDS_MENU_MODEL_EJB_SETTER, optSetter, false},     {IDS_MENU_MODEL_COM, optBusiness, true},
};

constexpr int16_t kEnabled = 1;
constexpr int16_t kDisabled = 0;

}  // namespace

OLEServer::OLEServer() = default;
OLEServer::~OLEServer() = default;

void OLEServer::AttachHost(TesselApplication* dispObj) {
  application_ = dispObj;
  addInHost_ = dynamic_cast<TesselAddInHost*>(dispObj);
  addIn_ = FindComponentAddIn();
  SetLogTarget(application_);
}

void OLEServer::ReleaseHost() {
  application_ = nullptr;
  addIn_ = nullptr;
  addInHost_ = nullptr;
  SetLogTarget(nullptr);
}

TesselAddIn* OLEServer::FindComponentAddIn() {
  TesselAddInCollection& addIns = Ref(Ref(Ref(application_).AddInManager()).AddIns());
  if (addIns.FindFirst(GetResString(IDS_ADDIN_RECORD_QK)) > 0) return addIns.GetFirst(GetResString(IDS_ADDIN_RECORD_PWT));
  if (addIns.FindFirst(GetResString(IDS_ADDIN_RECORD_PARTWISE)) > 0) {
    return addIns.GetFirst(GetResString(IDS_ADDIN_RECORD_PARTWISE));
  }
  return nullptr;
}

void OLEServer::SetMenuState(int16_t itemType, const std::string& internalName, int16_t state) {
  if (addIn_ == nullptr) return;
  const TesselContextMenuItemCollection items = addIn_->GetContextMenuItems(itemType);
  for (int16_t i = 1; i <= items.Count(); ++i) {
    TesselContextMenuItem* item = items.GetAt(i);
    if (item != nullptr && item->InternalName() == internalName) {
      item->SetMenuState(state);
      return;
    }
  }
}

void OLEServer::DisableAll() {
  SetMenuState(item_type::kClass, GetResString(IDS_MENU_GENERATE_CLASS), kDisabled);
  SetMenuState(item_type::kOperation, GetResString(IDS_MENU_GENERATE_OPERATION), kDisabled);
  SetMenuState(item_type::kPackage, GetResString(IDS_MENU_GENERATE_PACKAGE), kDisabled);
}

void OLEServer::CreateFactory() {
  processor_ = std::make_unique<TemplateProcessor>();
  factory_ = std::make_unique<CodeFactory>();
  factory_->Initialize(application_, processor_.get());
}

void OLEServer::OnActivate(TesselApplication* dispObj) {
  try {
    AttachHost(dispObj);
    CreateFactory();
    for (const MenuEntry& entry : kMenu) {
      Ref(addInHost_).AddContextMenuItem(entry.itemType, GetResString(entry.caption), GetResString(entry.internalName),
                                         GetResString(IDS_ADDIN_NAME));
    }
  } catch (...) {
  }
  ReleaseHost();
}

void OLEServer::OnDeactivate(TesselApplication* dispObj) {
  try {
    AttachHost(dispObj);
    ResetSharedDataStore();
    factory_.reset();
    processor_.reset();
  } catch (...) {
  }
  ReleaseHost();
}

void OLEServer::OnNewModel(TesselApplication*) {
  try {
    ResetSharedDataStore();
  } catch (...) {
  }
}

void OLEServer::OnOpenModel(TesselApplication*) {
  try {
    if (processor_ != nullptr && processor_->DataStore != nullptr) processor_->DataStore = nullptr;
    ResetSharedDataStore();
  } catch (...) {
  }
}

bool OLEServer::OperationHasGenerator(TesselOperation* op) {
  return Ref(factory_.get()).FindGeneratorForOperation(op) != nullptr;
}

bool OLEServer::ClassHasGenerator(TesselClass* cls) {
  TesselOperationCollection* operations = Ref(cls).Operations();
  return operations != nullptr && OperationHasGenerator(operations->GetAt(1));
}

bool OLEServer::OnEnableContextMenuItems(TesselApplication* dispObj, int16_t /*itemType*/) {
  try {
    AttachHost(dispObj);
    DisableAll();
    const TesselItemCollection selected = Ref(Ref(application_).CurrentModel()).GetSelectedItems();
    if (selected.Count() == 1) {
      TesselItem& item = Ref(selected.GetAt(1));
      const std::string kind = item.KindName();
      if (kind == GetResString(IDS_KIND_OPERATION)) {
        if (OperationHasGenerator(dynamic_cast<TesselOperation*>(&item))) {
          SetMenuState(item_type::kOperation, GetResString(IDS_MENU_SELECT_OPERATION), kEnabled);
          SetMenuState(item_type::kOperation, GetResString(IDS_MENU_GENERATE_OPERATION), kEnabled);
        } else {
          SetMenuState(item_type::kOperation, GetResString(IDS_MENU_SELECT_OPERATION), kDisabled);
        }
      } else if (kind == GetResString(IDS_KIND_CLASS)) {
        if (ClassHasGenerator(dynamic_cast<TesselClass*>(&item))) {
          SetMenuState(item_type::kClass, GetResString(IDS_MENU_GENERATE_CLASS), kEnabled);
        }
      } else if (kind == GetResString(IDS_KIND_CATEGORY)) {
        SetMenuState(item_type::kPackage, GetResString(IDS_MENU_GENERATE_PACKAGE), kEnabled);
      }
    }
  } catch (...) {
  }
  ReleaseHost();
  return true;
}

void OLEServer::SelectModelTemplate(const std::string& aInternalName) {
  TesselModel* model = Ref(application_).CurrentModel();
  if (model == nullptr) {
    ShowMessage(GetResString(IDS_MSG_NO_ITEMS_SELECTED), mb::kOkOnly | mb::kCritical);
    return;
  }
  for (const ModelEntry& entry : kModelEntries) {
    if (GetResString(entry.internalName) != aInternalName) continue;
    std::unique_ptr<CodeGenerator> generator;
    if (entry.com) {
      generator = std::make_unique<COMGenerator>();
    } else {
      generator = std::make_unique<EJBGenerator>();
    }
    SelectTemplate(generator->TemplatePropertyName(entry.type), GetResString(IDS_KIND_OPERATION),
                   generator->TemplateSelectionCaption(), generator->TemplateSelectionFilter(), model);
    return;
  }
}

void OLEServer::SelectOperationTemplate() {
  TesselModel* model = Ref(application_).CurrentModel();
  const TesselItemCollection selected = Ref(model).GetSelectedItems();
  TesselOperation* op = selected.Count() >= 1 ? dynamic_cast<TesselOperation*>(selected.GetAt(1)) : nullptr;
  if (op == nullptr) {
    ShowMessage(GetResString(IDS_MSG_NO_ITEMS_SELECTED), mb::kOkOnly | mb::kCritical);
    return;
  }
  if (!factory_) CreateFactory();
  CodeGenerator* generator = factory_->FindGeneratorForOperation(op);
  if (generator == nullptr) {
    ShowMessage(GetResString(IDS_MSG_NOT_VALID_FOR_TEMPLATE), mb::kOkOnly | mb::kExclamation);
    return;
  }
  OperationType type = optBusiness;
  if (auto* ejb = dynamic_cast<EJBGenerator*>(generator)) type = ejb->GetOperationType(op);
  SelectTemplate(generator->TemplatePropertyName(type), GetResString(IDS_KIND_OPERATION),
                 generator->TemplateSelectionCaption(), generator->TemplateSelectionFilter(), op);
}

void OLEServer::Generate() {
  StatusForm form;
  form.SetFactory(factory_.get());
  form.SetProcessor(processor_.get());
  form.SetApplication(application_);
  form.Show();
}

bool OLEServer::OnSelectedContextMenuItem(TesselApplication* dispObj, const std::string& aInternalName) {
  try {
    if (processor_) processor_->UserCanceled = false;
    AttachHost(dispObj);
    bool modelEntry = false;
    for (const ModelEntry& entry : kModelEntries) modelEntry = modelEntry || GetResString(entry.internalName) == aInternalName;
    if (modelEntry) {
      SelectModelTemplate(aInternalName);
    } else if (aInternalName == GetResString(IDS_MENU_SELECT_OPERATION)) {
      SelectOperationTemplate();
    } else if (aInternalName == GetResString(IDS_MENU_GENERATE_OPERATION) ||
               aInternalName == GetResString(IDS_MENU_GENERATE_CLASS) ||
               aInternalName == GetResString(IDS_MENU_GENERATE_PACKAGE)) {
      Generate();
    }
  } catch (...) {
  }
  ReleaseHost();
  return true;
}

}  // namespace zt
