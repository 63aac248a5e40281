// The application as the add-in uses it: its add-in records and their
// context-menu entries, the log, and the open model.
#include "workbench/model/Application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt::wb {
namespace {

std::vector<std::string> InternalNames(const TesselContextMenuItemCollection& items) {
  std::vector<std::string> names;
  for (int16_t i = 1; i <= items.Count(); ++i) names.push_back(items.GetAt(i)->InternalName());
  return names;
}

TEST(AddInManager, MenuEntriesGoToTheNamedRecordByItemTypeInOrder) {
  Application app;
  AddInRecord& pwt = app.AddIns().AddAddIn("PWT");
  AddInRecord& other = app.AddIns().AddAddIn("QK");
  TesselAddInHost& host = app;
  host.AddContextMenuItem(item_type::kClass, "Generate tests", "GENERATE_CLASS", "PWT");
  host.AddContextMenuItem(item_type::kOperation, "Select", "SELECT_OPERATION", "PWT");
  host.AddContextMenuItem(item_type::kClass, "Other", "OTHER_CLASS", "PWT");
  host.AddContextMenuItem(item_type::kClass, "Quick", "QUICK", "QK");
  host.AddContextMenuItem(item_type::kClass, "Lost", "LOST", "Nobody");

  EXPECT_EQ(InternalNames(pwt.GetContextMenuItems(item_type::kClass)),
            (std::vector<std::string>{"GENERATE_CLASS", "OTHER_CLASS"}));
  EXPECT_EQ(InternalNames(pwt.GetContextMenuItems(item_type::kOperation)),
            (std::vector<std::string>{"SELECT_OPERATION"}));
  EXPECT_EQ(pwt.GetContextMenuItems(item_type::kPackage).Count(), 0);
  EXPECT_EQ(InternalNames(other.GetContextMenuItems(item_type::kClass)), (std::vector<std::string>{"QUICK"}));
  EXPECT_EQ(pwt.MenuItems().size() + other.MenuItems().size(), 4u);  // "Nobody"'s entry went nowhere

  // The add-in sets a state through the interface; the host reads it back.
  TesselContextMenuItem* entry = pwt.GetContextMenuItems(item_type::kClass).GetAt(1);
  EXPECT_EQ(entry->Name(), "Generate tests");
  MenuItem* mine = pwt.FindMenuItem(item_type::kClass, "GENERATE_CLASS");
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(mine->MenuState(), 1);
  entry->SetMenuState(0);
  EXPECT_EQ(mine->MenuState(), 0);
}

TEST(AddInManager, RecordsCanBeAddedFoundAndRemoved) {
  Application app;
  TesselAddInManager* manager = app.AddInManager();
  AddInRecord& first = app.AddIns().AddAddIn("PWT");
  EXPECT_EQ(&app.AddIns().AddAddIn("PWT"), &first);  // one record per name
  app.AddIns().AddAddIn("Partwise");
  EXPECT_EQ(manager->AddIns()->Count(), 2);
  EXPECT_EQ(manager->AddIns()->GetFirst("Partwise")->Name(), "Partwise");

  EXPECT_TRUE(app.AddIns().RemoveAddIn("PWT"));
  EXPECT_FALSE(app.AddIns().RemoveAddIn("PWT"));
  EXPECT_TRUE(app.AddIns().RemoveAddIn("Partwise"));
  // Neither record exists: lookups find nothing and adding entries is harmless.
  EXPECT_EQ(manager->AddIns()->Count(), 0);
  EXPECT_EQ(manager->AddIns()->FindFirst("PWT"), 0);
  app.AddContextMenuItem(item_type::kModel, "Caption", "INTERNAL", "PWT");
  EXPECT_EQ(app.AddIns().FindAddIn("PWT"), nullptr);
}

TEST(Application, LogLinesGoToTheSinkInOrder) {
  Application app;
  app.WriteLog("dropped: no sink yet");
  std::vector<std::string> lines;
  app.SetLogSink([&](const std::string& line) { lines.push_back(line); });
  TesselApplication& host = app;
  host.WriteLog("one");
  host.WriteLog("two");
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace zt::wb
