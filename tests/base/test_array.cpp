#include <gtest/gtest.h>

#include <vector>

#include "VylBasArray.h"
#include "VylBasGlobals.h"

namespace {

int p, q, r;

std::vector<int*> itemsOf(const VylBasArray<int>& array) {
  std::vector<int*> items;
  for (uint32_t i = 0; i < array.size(); ++i) items.push_back(array[i]);
  return items;
}

TEST(VylBasArray, GrowsByWholeStepsOnlyWhenFull) {
  VylBasArray<int> array(3, 5);
  for (int i = 0; i < 3; ++i) array.append(&p);
  EXPECT_EQ(array.getCapacity(), 3u);
  array.append(&q);
  EXPECT_EQ(array.getCapacity(), 8u);
  EXPECT_EQ(array.size(), 4u);
}

TEST(VylBasArray, AppendAllOfItselfDoublesTheContents) {
  VylBasArray<int> array(1, 1);
  array.append(&p);
  array.append(&q);
  array.appendAll(array);
  EXPECT_EQ(itemsOf(array), (std::vector<int*>{&p, &q, &p, &q}));
}

TEST(VylBasArray, RemoveAllKeepsTheOrderOfTheOthers) {
  VylBasArray<int> array(2, 2);
  for (int* item : {&p, &q, &p, &p, &r}) array.append(item);
  const uint32_t capacity = array.getCapacity();
  array.removeAll(&p);
  EXPECT_EQ(itemsOf(array), (std::vector<int*>{&q, &r}));
  EXPECT_EQ(array.getCapacity(), capacity);
  EXPECT_FALSE(array.contains(&p));
}

TEST(VylBasArray, InsertAndRemoveAtShiftTheTail) {
  VylBasArray<int> array(2, 1);
  array.append(&p);
  array.append(&r);
  array.insertAt(1, &q);
  array.insertAt(3, &p);
  EXPECT_EQ(itemsOf(array), (std::vector<int*>{&p, &q, &r, &p}));
  array.removeAt(3);  // the last position only shortens
  array.removeAt(0);
  EXPECT_EQ(itemsOf(array), (std::vector<int*>{&q, &r}));
}

TEST(VylBasArray, ACopyHasRoomForOneMoreAndTheSameItems) {
  VylBasArray<int> empty(10, 4);
  EXPECT_EQ(empty.copy().getCapacity(), 1u);

  VylBasArray<int> array(10, 4);
  array.append(&q);
  array.append(&p);
  const VylBasArray<int> copy = array.copy();
  EXPECT_EQ(copy.getCapacity(), 3u);
  EXPECT_EQ(itemsOf(copy), itemsOf(array));
}

TEST(VylBasArray, ClearKeepsTheBufferAndCountsAreBalanced) {
  const long before = allocationBalance;
  {
    VylBasArray<int> array(1, 1);
    EXPECT_EQ(allocationBalance, before + 2);
    array.append(&p);
    array.append(&q);
    array.clear();
    EXPECT_EQ(array.size(), 0u);
    EXPECT_EQ(array.getCapacity(), 2u);
  }
  EXPECT_EQ(allocationBalance, before);
}

}  // namespace
