// The workbench's application: the modelling tool as the add-in sees it.
//
// One Application object is both the host application and the add-in host
// (the object the add-in receives at every entry call). It owns the open
// model, if any, and its add-in manager, whose records keep the context-menu
// entries that add-ins add. Log lines go to a sink the host sets (the
// command line prints them on stdout).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/TesselModel.h"
#include "workbench/model/Model.h"

namespace zt::wb {

/// One context-menu entry an add-in added for an item type.
class MenuItem final : public TesselContextMenuItem {
 public:
  MenuItem(int16_t itemType, std::string caption, std::string internalName);

  /// The caption the user sees.
  std::string Name() const override { return caption_; }
  std::string InternalName() const override { return internalName_; }
  void SetMenuState(int16_t state) override { state_ = state; }

  /// 1 enabled (the state of a new entry), 0 disabled.
  int16_t MenuState() const { return state_; }
  int16_t ItemType() const { return itemType_; }

 private:
  int16_t itemType_;
  std::string caption_;
  std::string internalName_;
  int16_t state_ = 1;
};

/// The host's record of one registered add-in and its menu entries.
class AddInRecord final : public TesselAddIn {
 public:
  explicit AddInRecord(std::string name);

  std::string Name() const override { return name_; }
  /// The entries for `itemType`, in the order they were added.
  TesselContextMenuItemCollection GetContextMenuItems(int16_t itemType) override;

  MenuItem& AddMenuItem(int16_t itemType, std::string caption, std::string internalName);
  /// Every entry of the record, in the order added.
  const std::vector<std::unique_ptr<MenuItem>>& MenuItems() const { return items_; }
  /// The first entry for `itemType` whose internal name is `internalName`, or nullptr.
  MenuItem* FindMenuItem(int16_t itemType, std::string_view internalName) const;

 private:
  std::string name_;
  std::vector<std::unique_ptr<MenuItem>> items_;
};

/// The add-in manager: the records of the registered add-ins, by name.
class AddInManager final : public TesselAddInManager {
 public:
  TesselAddInCollection* AddIns() override { return &collection_; }

  /// Registers an add-in named `name`; the record already there if there is one.
  AddInRecord& AddAddIn(const std::string& name);
  /// Drops the record named `name`; false when there was none.
  bool RemoveAddIn(std::string_view name);
  /// The record named `name`, or nullptr.
  AddInRecord* FindAddIn(std::string_view name) const;

 private:
  void Rebuild();

  std::vector<std::unique_ptr<AddInRecord>> records_;
  TesselAddInCollection collection_;
};

class Application final : public TesselApplication, public TesselAddInHost {
 public:
  using LogSink = std::function<void(const std::string& line)>;

  Application();
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // TesselApplication
  TesselModel* CurrentModel() override { return model_.get(); }
  TesselAddInManager* AddInManager() override { return &addIns_; }
  /// Hands `text` to the log sink; dropped when there is none.
  void WriteLog(const std::string& text) override;

  // TesselAddInHost
  /// Adds the entry to the record named `addInName` (or to the record that
  /// hosts that add-in's entries, see HostMenuItemsOf); nothing happens when
  /// no such record is registered.
  void AddContextMenuItem(int16_t itemType, const std::string& caption, const std::string& internalName,
                          const std::string& addInName) override;

  /// Puts the entries that the add-in `addInName` adds into the record
  /// `recordName`: a component add-in's entries live in the record of the
  /// tool that hosts it.
  void HostMenuItemsOf(const std::string& addInName, const std::string& recordName);

  /// Makes `model` the open model (nullptr closes the one that is open).
  void SetCurrentModel(std::unique_ptr<Model> model);
  /// The open model, or nullptr.
  Model* OpenModel() const { return model_.get(); }
  /// The add-in manager, with the workbench's own members.
  wb::AddInManager& AddIns() { return addIns_; }
  /// Where WriteLog sends its lines.
  void SetLogSink(LogSink sink) { sink_ = std::move(sink); }

 private:
  std::unique_ptr<Model> model_;
  wb::AddInManager addIns_;
  LogSink sink_;
  std::map<std::string, std::string> menuHosts_;
};

}  // namespace zt::wb
