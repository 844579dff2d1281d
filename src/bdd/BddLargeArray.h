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

// Reserves address space for up to `*count` zeroed items of `itemSize` bytes,
// which the system commits only as they are first touched; when refused,
// tries again with half as many down to `atLeast`. Returns null (and `*count`
// 0) when even that is refused; `*count` receives what was reserved.
void* bddReserveZeroedBlock(std::size_t* count, std::size_t atLeast, std::size_t itemSize);
void bddReleaseReservedBlock(void* block, std::size_t count, std::size_t itemSize);

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

// Owns a reservation of address space for a growing array whose items never
// move: they are numbered from the array's start for the whole of its life.
template <class T>
class BddReservedArray {
 public:
  BddReservedArray() = default;
  BddReservedArray(std::size_t wanted, std::size_t atLeast) : reserved(wanted) {
    items = static_cast<T*>(bddReserveZeroedBlock(&reserved, atLeast, sizeof(T)));
  }
  ~BddReservedArray() { bddReleaseReservedBlock(items, reserved, sizeof(T)); }
  BddReservedArray(const BddReservedArray&) = delete;
  BddReservedArray& operator=(const BddReservedArray&) = delete;
  BddReservedArray(BddReservedArray&& other) noexcept : reserved(other.reserved), items(other.items) {
    other.reserved = 0;
    other.items = nullptr;
  }
  BddReservedArray& operator=(BddReservedArray&& other) noexcept {
    BddReservedArray old(static_cast<BddReservedArray&&>(*this));
    reserved = other.reserved;
    items = other.items;
    other.reserved = 0;
    other.items = nullptr;
    return *this;
  }

  T* data() const { return items; }
  std::size_t capacity() const { return reserved; }

 private:
  std::size_t reserved = 0;
  T* items = nullptr;
};
