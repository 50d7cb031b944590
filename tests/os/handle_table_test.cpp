#include "handle_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using os::hid::HandleTable;

constexpr std::uint64_t kLastHandle = std::numeric_limits<io_object_t>::max();

TEST(OsHandleTable, HandlesStartAtOneAndAreNeverReused) {
  HandleTable<std::string> table;
  const io_object_t first = table.add("first");
  const io_object_t second = table.add("second");
  EXPECT_EQ(first, 1u);
  EXPECT_EQ(second, 2u);
  EXPECT_TRUE(table.remove(first));
  EXPECT_FALSE(table.remove(first));
  EXPECT_EQ(table.find(first), nullptr);
  EXPECT_EQ(table.add("third"), 3u);
  EXPECT_EQ(*table.find(second), "second");
}

TEST(OsHandleTable, RunningOutRefusesInsteadOfWrapping) {
  HandleTable<std::string> table(kLastHandle - 2);
  const io_object_t early = table.add("early");
  EXPECT_EQ(table.add("last"), kLastHandle);
  EXPECT_EQ(table.add("too many"), 0u) << "0 is no object, and 1 may still be alive";
  EXPECT_EQ(table.find(0), nullptr);
  EXPECT_TRUE(table.remove(early));
  EXPECT_EQ(table.add("after a release"), 0u) << "a released number is not handed out again";
  EXPECT_EQ(*table.find(kLastHandle), "last");
}

}  // namespace
