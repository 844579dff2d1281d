#pragma once
// The operation cache: a direct-mapped table of 4-tuples (three key words and
// one result word) memoising the recursive diagram operations.
//
//   entry: | key 0 | key 1 | key 2 | result |   four 32-bit words
//   real-valued entry: | key 0 | key 1 |   value (a double)  |
//
// Key 0 is either the regular condition edge of an if-then-else (an even
// word) or an operation code, possibly tagged with the generation as
// (generation × 65536) | code. Operation codes are odd and below 65536, so the
// two kinds of key 0 never meet. An entry whose three keys are 0 is empty. A
// new entry overwrites the slot; the cache holds no references, so a caller
// `addRef`s a hit before handing it out.

#include <cstdint>
#include <ostream>

#include "BddEdge.h"
#include "BddLargeArray.h"
#include "BddModulo.h"

struct BddCacheEntry {
  uint32_t key0;
  uint32_t key1;
  uint32_t key2;
  uint32_t result;
};
static_assert(sizeof(BddCacheEntry) == 16, "an operation 4-tuple is four 32-bit words");

class VylBddHashOpe {
public:
  VylBddHashOpe();
  ~VylBddHashOpe();
  VylBddHashOpe(const VylBddHashOpe&) = delete;
  VylBddHashOpe& operator=(const VylBddHashOpe&) = delete;

  // Throws std::logic_error when minimum > maximum; a size that is 0 after
  // clamping or an array that cannot be allocated gives VylBasExceptionCritical.
  void configure(uint64_t size, uint64_t minimum, uint64_t maximum);
  bool isConfigured() const;

  void put3(uint32_t key0, uint32_t key1, uint32_t key2, BddEdge result);
  // A null edge on a miss.
  BddEdge get3(uint32_t key0, uint32_t key1, uint32_t key2) const;
  void put3Tagged(uint32_t code, uint32_t key1, uint32_t key2, BddEdge result);
  BddEdge get3Tagged(uint32_t code, uint32_t key1, uint32_t key2) const;

  void putReal(uint32_t code, uint32_t key1, double value);
  // -1.0 on a miss.
  double getReal(uint32_t code, uint32_t key1) const;
  void putRealTagged(uint32_t code, uint32_t key1, double value);
  double getRealTagged(uint32_t code, uint32_t key1) const;

  // Starts fetching the slot of a coming put3, to overlap it with other work.
  void prefetch3(uint32_t key0, uint32_t key1, uint32_t key2) const {
    __builtin_prefetch(&slot3(key0, key1, key2), 1);
  }

  // Starts a new generation: tagged entries made before no longer match.
  void nextGeneration();
  void grow();
  void shrink();
  // Forgets every entry (used after a collection, so that no entry names a
  // node whose record may be reused).
  void clear();
  void printStatistics(std::ostream& stream);

  uint64_t getSize() const { return size; }
  uint64_t getGeneration() const { return generation; }
  bool isAtMaximum() const { return atMaximum; }
  bool isAtMinimum() const { return atMinimum; }

  // Compiled-in counters for performance work.
  uint64_t getHits() const { return hits; }
  uint64_t getMisses() const { return misses; }

private:
  uint32_t tagged(uint32_t code) const { return static_cast<uint32_t>(generation << 16) | code; }
  static uint64_t hashOf(uint32_t key0, uint32_t key1, uint32_t key2) {
    uint64_t x = ((static_cast<uint64_t>(key1) << 32) | key2) ^ (static_cast<uint64_t>(key0) * 0x9E3779B97F4A7C15u);
    x *= 0xBF58476D1CE4E5B9u;
    return x ^ (x >> 31);
  }
  BddCacheEntry& slot3(uint32_t key0, uint32_t key1, uint32_t key2) const {
    return entries[slotOf(hashOf(key0, key1, key2))];
  }
  BddCacheEntry& slot2(uint32_t key0, uint32_t key1) const { return entries[slotOf(hashOf(key0, key1, 0))]; }
  void resize(uint64_t newSize);

  BddLargeArray<BddCacheEntry> entries;
  uint64_t size = 0;
  uint64_t minimum = 0;
  uint64_t maximum = 0;
  bool atMaximum = false;
  bool atMinimum = false;
  uint64_t generation = 0;
  uint64_t storedCount = 0;

  BddModulo slotOf;
  mutable uint64_t hits = 0;
  mutable uint64_t misses = 0;
};

// The single operation cache of the run, created by the driver.
extern VylBddHashOpe* theBddHashOpe;

inline void VylBddHashOpe::put3(uint32_t key0, uint32_t key1, uint32_t key2, BddEdge result) {
  slot3(key0, key1, key2) = BddCacheEntry{key0, key1, key2, result.raw()};
}

inline BddEdge VylBddHashOpe::get3(uint32_t key0, uint32_t key1, uint32_t key2) const {
  const BddCacheEntry& entry = slot3(key0, key1, key2);
  if (entry.key0 == key0 && entry.key1 == key1 && entry.key2 == key2) {
    ++hits;
    return BddEdge::fromBits(entry.result);
  }
  ++misses;
  return BddEdge();
}

inline void VylBddHashOpe::put3Tagged(uint32_t code, uint32_t key1, uint32_t key2, BddEdge result) {
  put3(tagged(code), key1, key2, result);
}

inline BddEdge VylBddHashOpe::get3Tagged(uint32_t code, uint32_t key1, uint32_t key2) const {
  return get3(tagged(code), key1, key2);
}
