// The commands that run the add-in as the modelling tool would:
//
//   ztunittest generate MODEL --select NAME...   the generation entry for the selection
//   ztunittest menu MODEL --select NAME... [--json]   the entries and their state for the selection
//   ztunittest invoke MODEL --entry NAME [--select NAME...]   any entry
//
// Stdout carries the host log (or menu's listing); questions, message boxes,
// progress and the closing text go to stderr.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "addin/OLEServer.h"
#include "cli/Commands.h"
#include "cli/Host.h"
#include "host/TesselModel.h"
#include "support/DynamicResources.h"
#include "workbench/model/Application.h"
#include "workbench/system/DiskFileSystem.h"
#include "workbench/text/Json.h"
#include "workbench/text/Texts.h"

namespace zt::cli {

namespace {

using wb::json::Value;

int RunGenerate(const HostOptions& options) {
  Host host(options);
  if (const int status = host.Start(); status != kExitOk) return status;
  host.OpenStoreFirst();
  return host.Generate([&host] {
    host.AddIn().OnSelectedContextMenuItem(&host.Application(), GetResString(IDS_MENU_GENERATE_OPERATION));
  });
}

int RunMenu(const HostOptions& options, bool asJson) {
  Host host(options);
  if (const int status = host.Start(); status != kExitOk) return status;
  host.AddIn().OnEnableContextMenuItems(&host.Application(), item_type::kOperation);
  wb::AddInRecord* record = host.Application().AddIns().FindAddIn(GetResString(IDS_ADDIN_RECORD_PWT));
  if (record == nullptr) return kExitFailed;
  Value entries = Value::Array();
  for (const auto& item : record->MenuItems()) {
    const bool enabled = item->MenuState() == 1;
    if (asJson) {
      entries.Push(Value::Object()
                       .Add("itemType", Value::Number(item->ItemType()))
                       .Add("entry", Value::String(item->InternalName()))
                       .Add("enabled", Value::Bool(enabled))
                       .Add("caption", Value::String(item->Name())));
      continue;
    }
    std::cout << item->ItemType() << '\t' << item->InternalName() << '\t'
              << wb::Text(enabled ? wb::WB_MENU_ENABLED : wb::WB_MENU_DISABLED) << '\t' << item->Name() << '\n';
  }
  if (asJson) std::cout << wb::json::Format(Value::Object().Add("entries", std::move(entries))) << std::flush;
  return kExitOk;
}

int RunInvoke(const HostOptions& options, const std::string& entry) {
  Host host(options);
  if (const int status = host.Start(); status != kExitOk) return status;
  wb::AddInRecord* record = host.Application().AddIns().FindAddIn(GetResString(IDS_ADDIN_RECORD_PWT));
  bool known = false;
  bool generation = false;
  if (record != nullptr) {
    for (const auto& item : record->MenuItems()) {
      if (item->InternalName() != entry) continue;
      known = true;
      generation = item->Name() == GetResString(IDS_CAPTION_GENERATE);
    }
  }
  if (!known) {
    PrintError(wb::Text(wb::WB_HOST_UNKNOWN_ENTRY, {entry}));
    return kExitUsage;
  }
  const auto select = [&host, &entry] { host.AddIn().OnSelectedContextMenuItem(&host.Application(), entry); };
  if (generation) {
    host.OpenStoreFirst();
    return host.Generate(select);
  }
  // A template entry: a choice that could not be kept is refused before the
  // dialog, not after it (the add-in drops a failed choice without a word).
  if (!host.IsModelDocument()) {
    PrintError(wb::Text(wb::WB_TMPL_XMI_ENTRY, {options.model}));
    return kExitUsage;
  }
  if (options.templateFile.find('"') != std::string::npos) {
    PrintError(wb::Text(wb::WB_TMPL_QUOTE_IN_PATH, {options.templateFile}));
    return kExitUsage;
  }
  if (!options.templateFile.empty() && !host.Components().CreateFileSystemObject()->FileExists(options.templateFile)) {
    PrintError(wb::Text(wb::WB_TMPL_FILE_MISSING, {options.templateFile}));
    return kExitUsage;
  }
  select();
  return host.TemplateEntryStatus(entry);
}

}  // namespace

void RegisterRunCommands(CLI::App& app, Action& chosen) {
  auto generateOptions = std::make_shared<HostOptions>();
  CLI::App* generate = app.add_subcommand("generate", wb::Text(wb::WB_HELP_GENERATE));
  AddHostOptions(*generate, *generateOptions, true);
  AddRunOptions(*generate, *generateOptions, true);
  generate->callback([generateOptions, &chosen] { chosen = [generateOptions] { return RunGenerate(*generateOptions); }; });

  auto menuOptions = std::make_shared<HostOptions>();
  auto menuJson = std::make_shared<bool>(false);
  CLI::App* menu = app.add_subcommand("menu", wb::Text(wb::WB_HELP_MENU));
  AddHostOptions(*menu, *menuOptions, true);
  menu->add_flag("--json", *menuJson, wb::Text(wb::WB_HELP_JSON));
  menu->callback([menuOptions, menuJson, &chosen] {
    chosen = [menuOptions, menuJson] { return RunMenu(*menuOptions, *menuJson); };
  });

  auto invokeOptions = std::make_shared<HostOptions>();
  auto entry = std::make_shared<std::string>();
  CLI::App* invoke = app.add_subcommand("invoke", wb::Text(wb::WB_HELP_INVOKE));
  AddHostOptions(*invoke, *invokeOptions, true);
  invoke->add_option("--entry", *entry, wb::Text(wb::WB_HELP_ENTRY))->required();
  invoke->add_option("--file", invokeOptions->templateFile, wb::Text(wb::WB_HELP_TEMPLATE_FILE));
  AddRunOptions(*invoke, *invokeOptions, true);
  invoke->callback([invokeOptions, entry, &chosen] {
    chosen = [invokeOptions, entry] { return RunInvoke(*invokeOptions, *entry); };
  });
}

}  // namespace zt::cli
