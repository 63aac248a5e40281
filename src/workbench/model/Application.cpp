// The workbench's application, add-in manager, add-in records and menu entries.
#include "workbench/model/Application.h"

namespace zt::wb {

MenuItem::MenuItem(int16_t itemType, std::string caption, std::string internalName)
    : itemType_(itemType), caption_(std::move(caption)), internalName_(std::move(internalName)) {}

AddInRecord::AddInRecord(std::string name) : name_(std::move(name)) {}

TesselContextMenuItemCollection AddInRecord::GetContextMenuItems(int16_t itemType) {
  TesselContextMenuItemCollection result;
  for (const auto& item : items_) {
    if (item->ItemType() == itemType) result.Add(item.get());
  }
  return result;
}

MenuItem& AddInRecord::AddMenuItem(int16_t itemType, std::string caption, std::string internalName) {
  return *items_.emplace_back(std::make_unique<MenuItem>(itemType, std::move(caption), std::move(internalName)));
}

MenuItem* AddInRecord::FindMenuItem(int16_t itemType, std::string_view internalName) const {
  for (const auto& item : items_) {
    if (item->ItemType() == itemType && item->InternalName() == internalName) return item.get();
  }
  return nullptr;
}

AddInRecord& AddInManager::AddAddIn(const std::string& name) {
  if (AddInRecord* existing = FindAddIn(name)) return *existing;
  AddInRecord& record = *records_.emplace_back(std::make_unique<AddInRecord>(name));
  Rebuild();
  return record;
}

bool AddInManager::RemoveAddIn(std::string_view name) {
  for (auto it = records_.begin(); it != records_.end(); ++it) {
    if ((*it)->Name() == name) {
      records_.erase(it);
      Rebuild();
      return true;
    }
  }
  return false;
}

AddInRecord* AddInManager::FindAddIn(std::string_view name) const {
  for (const auto& record : records_) {
    if (record->Name() == name) return record.get();
  }
  return nullptr;
}

void AddInManager::Rebuild() {
  collection_ = TesselAddInCollection();
  for (const auto& record : records_) collection_.Add(record.get());
}

Application::Application() = default;

Application::~Application() = default;

void Application::WriteLog(const std::string& text) {
  if (sink_) sink_(text);
}

void Application::AddContextMenuItem(int16_t itemType, const std::string& caption, const std::string& internalName,
                                     const std::string& addInName) {
  auto host = menuHosts_.find(addInName);
  const std::string& recordName = host == menuHosts_.end() ? addInName : host->second;
  if (AddInRecord* record = addIns_.FindAddIn(recordName)) record->AddMenuItem(itemType, caption, internalName);
}

void Application::HostMenuItemsOf(const std::string& addInName, const std::string& recordName) {
  menuHosts_[addInName] = recordName;
}

void Application::SetCurrentModel(std::unique_ptr<Model> model) {
  if (model_) model_->SetApplication(nullptr);
  model_ = std::move(model);
  if (model_) model_->SetApplication(this);
}

}  // namespace zt::wb
