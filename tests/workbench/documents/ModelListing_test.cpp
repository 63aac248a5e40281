// The model listing keeps one line per element whatever the text holds.
#include "workbench/documents/ModelListing.h"

#include <gtest/gtest.h>

namespace zt::wb {
namespace {

TEST(ModelListing, EscapesControlCharactersAndShowsEveryDetail) {
  Model model("M");
  Class& c = model.AddClass(model.Root(), "Two\nLines");
  c.SetStereotype("s");
  c.SetAbstract(true);
  c.AddLiteral("RED\tRUBY");
  Operation& o = model.AddOperation(c, "op");
  o.SetStereotype("finder");
  model.AddParameter(o, "p", "", "\t1");
  Operation& hidden = model.AddOperation(c, "count", "int");
  hidden.SetStatic(true);
  hidden.SetVisibility(OperationVisibility::kPrivate);
  model.AddAttribute(c, "untyped");
  c.SetToolProperty("T", "k", "a\"b\nc");
  EXPECT_EQ(ListModel(model),
            "Model M\n"
            "  Category Logical View\n"
            "    Class Logical View::Two\\nLines «s» abstract\n"
            "      literal RED\\tRUBY\n"
            "      property T.k = \"a\\\"b\\nc\"\n"
            "      Attribute Logical View::Two\\nLines::untyped\n"
            "      Operation Logical View::Two\\nLines::op(p) «finder»\n"
            "        Parameter Logical View::Two\\nLines::op::p = \\t1\n"
            "      Operation Logical View::Two\\nLines::count(): int static private\n");
}

}  // namespace
}  // namespace zt::wb
