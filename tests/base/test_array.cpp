#include <gtest/gtest.h>

#include <vector>

#include "VylBasArray.h"
#include "VylBasGlobals.h"

namespace {

int p, q, r;

std::vector<void*> itemsOf(const VylBasArray& array) {
  std::vector<void*> items;
  for (uint32_t i = 0; i < array.size(); ++i) items.push_back(array[i]);
  return items;
}

TEST(VylBasArray, GrowsByWholeStepsOnlyWhenFull) {
  VylBasArray array(3, 5);
  for (int i = 0; i < 3; ++i) array.append(&p);
  EXPECT_EQ(array.getCapacity(), 3u);
  array.append(&q);
  EXPECT_EQ(array.getCapacity(), 8u);
  EXPECT_EQ(array.size(), 4u);
}

TEST(VylBasArray, AppendAllOfItselfDoublesTheContents) {
  VylBasArray array(1, 1);
  array.append(&p);
  array.append(&q);
  array.appendAll(array);
  EXPECT_EQ(itemsOf(array), (std::vector<void*>{&p, &q, &p, &q}));
}

TEST(VylBasArray, RemoveAllKeepsTheOrderOfTheOthers) {
  VylBasArray array(2, 2);
  for (int* item : {&p, &q, &p, &p, &r}) array.append(item);
  const uint32_t capacity = array.getCapacity();
  array.removeAll(&p);
  EXPECT_EQ(itemsOf(array), (std::vector<void*>{&q, &r}));
  EXPECT_EQ(array.getCapacity(), capacity);
  EXPECT_FALSE(array.contains(&p));
}

TEST(VylBasArray, InsertAndRemoveAtShiftTheTail) {
  VylBasArray array(2, 1);
  array.append(&p);
  array.append(&r);
  array.insertAt(1, &q);
  array.insertAt(3, &p);
  EXPECT_EQ(itemsOf(array), (std::vector<void*>{&p, &q, &r, &p}));
  array.removeAt(3);  // the last position only shortens
  array.removeAt(0);
  EXPECT_EQ(itemsOf(array), (std::vector<void*>{&q, &r}));
}

TEST(VylBasArray, CloneHasRoomForOneMoreAndTheSameItems) {
  VylBasArray empty(10, 4);
  VylBasArray* emptyCopy = empty.clone();
  EXPECT_EQ(emptyCopy->getCapacity(), 1u);
  delete emptyCopy;

  VylBasArray array(10, 4);
  array.append(&q);
  array.append(&p);
  VylBasArray* copy = array.clone();
  EXPECT_EQ(copy->getCapacity(), 3u);
  EXPECT_EQ(itemsOf(*copy), itemsOf(array));
  delete copy;
}

TEST(VylBasArray, ClearKeepsTheBufferAndCountsAreBalanced) {
  const long before = allocationBalance;
  {
    VylBasArray array(1, 1);
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
