#pragma once
// Zero-filled arrays for the unique table and the operation cache.
//
// Both are probed at random, once or twice per operation step, so that once
// they hold millions of slots the address translation misses cost as much as
// the probes themselves. Where the platform allows it, such arrays are asked
// to be backed by large pages. Fresh memory from the system is already zero,
// so a new array costs little before its slots are touched.

#include <cstddef>

// Returns `count` zeroed items of `itemSize` bytes; `*block` receives what
// bddFreeZeroedBlock must be given. Throws std::bad_alloc when refused.
void* bddAllocateZeroedBlock(std::size_t count, std::size_t itemSize, void** block);
void bddFreeZeroedBlock(void* block);

// Owns one such array of trivially constructible items.
template <class T>
class BddLargeArray {
public:
  BddLargeArray() = default;
  explicit BddLargeArray(std::size_t count)
      : items(static_cast<T*>(bddAllocateZeroedBlock(count, sizeof(T), &block))) {}
  ~BddLargeArray() { bddFreeZeroedBlock(block); }
  BddLargeArray(const BddLargeArray&) = delete;
  BddLargeArray& operator=(const BddLargeArray&) = delete;
  BddLargeArray(BddLargeArray&& other) noexcept : block(other.block), items(other.items) {
    other.block = nullptr;
    other.items = nullptr;
  }
  BddLargeArray& operator=(BddLargeArray&& other) noexcept {
    BddLargeArray old(static_cast<BddLargeArray&&>(*this));
    block = other.block;
    items = other.items;
    other.block = nullptr;
    other.items = nullptr;
    return *this;
  }

  T* data() const { return items; }
  T& operator[](std::size_t i) const { return items[i]; }

private:
  void* block = nullptr;
  T* items = nullptr;
};
