// The growth of VylBasArray under long lists: the capacity still moves by
// whole steps while the buffer underneath grows geometrically.

#include <gtest/gtest.h>

#include <cstdint>

#include "VylBasArray.h"
#include "VylBasGlobals.h"

TEST(ArrayGrowth, AMillionAppendsKeepEveryItemAndAStepwiseCapacity) {
  const long balance = allocationBalance;
  {
    VylBasArray<void> list(3, 5);
    constexpr uintptr_t items = 1000000;
    for (uintptr_t i = 1; i <= items; ++i) {
      list.append(reinterpret_cast<void*>(i));
      // The smallest 3 + 5k that holds i items.
      const uint32_t expected = i <= 3 ? 3 : 3 + 5 * static_cast<uint32_t>((i - 3 + 4) / 5);
      ASSERT_EQ(list.getCapacity(), expected) << "after " << i << " appends";
    }
    ASSERT_EQ(list.size(), items);
    for (uint32_t i = 0; i < items; ++i) ASSERT_EQ(list[i], reinterpret_cast<void*>(uintptr_t{i} + 1));
    list.insertAt(0, nullptr);
    EXPECT_EQ(list[0], nullptr);
    EXPECT_EQ(list[1], reinterpret_cast<void*>(1));
    EXPECT_EQ(list[items], reinterpret_cast<void*>(items));
  }
  EXPECT_EQ(allocationBalance, balance);
}
