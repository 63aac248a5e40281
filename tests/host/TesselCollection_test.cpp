#include <gtest/gtest.h>

#include "TestUtil.h"
#include "fakes/FakeHost.h"
#include "host/TesselModel.h"

namespace zt {
namespace {

// Small and large collections search the same way; large ones by an index.
TEST(TesselCollectionSearch, FindFirstNextAndGetFirstAtEverySize) {
  for (int size : {5, 100}) {
    std::vector<std::unique_ptr<test::NamedItem>> items;
    TesselItemCollection collection;
    for (int i = 0; i < size; ++i) {
      items.push_back(std::make_unique<test::NamedItem>(i % 3 == 0 ? "create" : "op" + std::to_string(i)));
      collection.Add(items.back().get());
    }
    std::vector<int> creates;
    for (int16_t at = collection.FindFirst("create"); at != 0; at = collection.FindNext("create", at)) creates.push_back(at);
    std::vector<int> expected;
    for (int i = 0; i < size; i += 3) expected.push_back(i + 1);
    EXPECT_EQ(creates, expected) << size;
    EXPECT_EQ(collection.FindFirst("nothing"), 0);
    EXPECT_EQ(collection.GetFirst("op1"), items[1].get());
    EXPECT_EQ(collection.FindNext("create", static_cast<int16_t>(size)), 0);

    // Adding after a search is seen by the next one.
    items.push_back(std::make_unique<test::NamedItem>("late"));
    collection.Add(items.back().get());
    EXPECT_EQ(collection.FindFirst("late"), size + 1);
    EXPECT_EQ(test::ErrorNumberOf([&] { collection.GetAt(static_cast<int16_t>(size + 2)); }),
              errc::kSubscriptOutOfRange);
  }
}

}  // namespace
}  // namespace zt
