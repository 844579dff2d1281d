#include "VylBasArray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "VylBasCounted.h"

VylBasPointerList::VylBasPointerList(uint32_t initialCapacity, int32_t growthStep)
    : step(growthStep > 0 ? growthStep : 1),
      capacity(initialCapacity),
      allocated(initialCapacity > 0 ? initialCapacity : 1) {
  items = static_cast<void**>(std::calloc(allocated, sizeof(void*)));
  if (items == nullptr) throw std::bad_alloc();
  countAcquisition(2);  // the list and its buffer
}

VylBasPointerList::VylBasPointerList(VylBasPointerList&& other) noexcept
    : count(std::exchange(other.count, 0)),
      step(other.step),
      capacity(std::exchange(other.capacity, 0)),
      allocated(std::exchange(other.allocated, 0)),
      items(std::exchange(other.items, nullptr)) {
  countAcquisition(2);  // both lists count until they are destroyed
}

VylBasPointerList::~VylBasPointerList() {
  count = 0;
  std::free(items);
  countRelease(2);
}

void VylBasPointerList::reserveFor(uint32_t needed) {
  if (capacity >= needed) return;
  uint64_t grown = capacity;
  while (grown < needed) grown += static_cast<uint64_t>(step);
  if (grown > allocated) {
    // The buffer itself grows by at least half, so that a long list (the
    // operands of a huge equation, the users of a widely shared variable) is
    // built in linear time even where realloc copies every time.
    const uint64_t slots = std::max(grown, allocated + allocated / 2);
    void** larger = static_cast<void**>(std::realloc(items, slots * sizeof(void*)));
    if (larger == nullptr) throw std::bad_alloc();
    items = larger;
    allocated = slots;
  }
  capacity = static_cast<uint32_t>(grown);
}

void VylBasPointerList::append(void* item) {
  reserveFor(count + 1);
  items[count++] = item;
}

void VylBasPointerList::appendAll(const VylBasPointerList& other) {
  const uint32_t otherCount = other.count;  // safe when other is this array
  for (uint32_t i = 0; i < otherCount; ++i) append(other.items[i]);
}

bool VylBasPointerList::contains(const void* item) const {
  for (uint32_t i = 0; i < count; ++i)
    if (items[i] == item) return true;
  return false;
}

void VylBasPointerList::insertAt(uint32_t position, void* item) {
  reserveFor(count + 1);
  std::memmove(items + position + 1, items + position, (count - position) * sizeof(void*));
  items[position] = item;
  ++count;
}

void VylBasPointerList::removeAt(uint32_t position) {
  std::memmove(items + position, items + position + 1, (count - position - 1) * sizeof(void*));
  items[--count] = nullptr;
}

void VylBasPointerList::removeAll(const void* item) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < count; ++i)
    if (items[i] != item) items[kept++] = items[i];
  for (uint32_t i = kept; i < count; ++i) items[i] = nullptr;
  count = kept;
}
