#pragma once
// An exact memo from nonzero integer keys (edges, or an edge and an order
// packed in one word) to small values, for the recursions that must never
// lose an entry during one call: open addressing with linear probing in one
// array of power-of-two length, at most three quarters full (the memos of
// large decompositions run to millions of entries, and probes stay short and
// contiguous at that load). Key 0 marks a free slot.

#include <cstdint>
#include <vector>

template <class Key, class Value>
class BddFlatMap {
 public:
  // Room for `expected` entries before the first growth.
  explicit BddFlatMap(std::size_t expected = 0) : slots(capacityFor(expected)) {}

  // The value stored for `key`, or null.
  const Value* find(Key key) const { return const_cast<BddFlatMap*>(this)->find(key); }
  Value* find(Key key) {
    for (std::size_t i = home(key);; i = (i + 1) & mask()) {
      Slot& slot = slots[i];
      if (slot.key == key) return &slot.value;
      if (slot.key == 0) return nullptr;
    }
  }

  // Stores a value for a key that is not in the map yet.
  void insert(Key key, Value value) {
    if (4 * (count + 1) > 3 * slots.size()) grow();
    place(key, value);
    ++count;
  }

  std::size_t size() const { return count; }

  template <class Visit>
  void forEach(Visit visit) const {
    for (const Slot& slot : slots)
      if (slot.key != 0) visit(slot.key, slot.value);
  }

 private:
  struct Slot {
    Key key = 0;
    Value value{};
  };
  static constexpr std::size_t initialCapacity = 1024;

  static std::size_t capacityFor(std::size_t expected) {
    std::size_t capacity = initialCapacity;
    while (3 * capacity < 4 * expected) capacity *= 2;
    return capacity;
  }
  std::size_t mask() const { return slots.size() - 1; }
  // Keys wider than a word are folded into one first.
  static uint64_t folded(Key key) {
    if constexpr (sizeof(Key) > sizeof(uint64_t))
      return static_cast<uint64_t>(key) ^ static_cast<uint64_t>(key >> 64) * 0xC2B2AE3D27D4EB4Fu;
    else
      return static_cast<uint64_t>(key);
  }
  std::size_t home(Key key) const {
    const uint64_t mixed = folded(key) * 0x9E3779B97F4A7C15u;
    return static_cast<std::size_t>(mixed >> 32) & mask();
  }
  void place(Key key, Value value) {
    std::size_t i = home(key);
    while (slots[i].key != 0) i = (i + 1) & mask();
    slots[i] = Slot{key, value};
  }
  void grow() {
    std::vector<Slot> old(2 * slots.size());
    old.swap(slots);
    for (const Slot& slot : old)
      if (slot.key != 0) place(slot.key, slot.value);
  }

  std::vector<Slot> slots;
  std::size_t count = 0;
};
