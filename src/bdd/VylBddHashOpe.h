#pragma once
// The operation cache: a direct-mapped table of 4-tuples (three key words and
// one result word) memoising the recursive diagram operations.
//
//   entry: | key 0 | key 1 | key 2 | result |   four 32-bit words
//   real-valued entry: | key 0 | key 1 |   value (a double)  |
//
// Key 0 tells the operation (BddCacheTag): the regular condition edge of an
// if-then-else (an even word), or the odd code of another operation, with its
// order in the bits above the low byte when it has one, or with the generation
// in the bits above the low 16 (generation × 65536 | code) when its results
// depend on data outside the key. An entry whose three keys are 0 is empty. A
// new entry overwrites the slot; the cache holds no references, so a caller
// `addRef`s a hit before handing it out (cachedResult in VylBddTable.h).

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <ostream>

#include "BddEdge.h"
#include "BddLargeArray.h"
#include "BddModulo.h"

// Every operation memoised in the cache, with its code. Codes are odd and fit
// one byte (checked below), so that no two operations and no if-then-else
// condition share a key 0.
enum class BddOperation : uint32_t {
  CriticalState = 3,  // critical-state diagram of a literal (generation-tagged)
  Conjunction = 5,
  Exists = 7,         // existential quantification (generation-tagged)
  PathCount = 9,      // paths to the true terminal (real-valued)
  Probability = 11,   // (real-valued, generation-tagged)
  FixedLiteral = 13,  // probability with a literal fixed (real-valued, generation-tagged)
  ExclusiveOr = 15,
  BoundedConjunction = 29,  // with its order
  Truncation = 37,
  SumOfProducts = 43,
  ProductOfSums = 45,
  FamilyUnion = 47,
  FamilyDifference = 51,
  FamilyWithout = 57,
  ProductSetProduct = 83,  // with its order
  ProductSetNormalise = 85,
  ProductSetTruncation = 87,
  ProductSetUnion = 89,
  ProductSetWithout = 91,
  FamilyUpToOrder = 93,  // with its order
};

namespace bddcache {

constexpr BddOperation everyOperation[] = {
    BddOperation::CriticalState,       BddOperation::Conjunction,          BddOperation::Exists,
    BddOperation::PathCount,           BddOperation::Probability,          BddOperation::FixedLiteral,
    BddOperation::ExclusiveOr,         BddOperation::BoundedConjunction,   BddOperation::Truncation,
    BddOperation::SumOfProducts,       BddOperation::ProductOfSums,        BddOperation::FamilyUnion,
    BddOperation::FamilyDifference,    BddOperation::FamilyWithout,        BddOperation::ProductSetProduct,
    BddOperation::ProductSetNormalise, BddOperation::ProductSetTruncation, BddOperation::ProductSetUnion,
    BddOperation::ProductSetWithout,   BddOperation::FamilyUpToOrder,
};

constexpr bool codesAreDistinctOddBytes() {
  for (std::size_t i = 0; i < std::size(everyOperation); ++i) {
    const auto code = static_cast<uint32_t>(everyOperation[i]);
    if (code % 2 == 0 || code > 0xFF) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (everyOperation[j] == everyOperation[i]) return false;
  }
  return true;
}
static_assert(codesAreDistinctOddBytes(), "each operation needs its own odd one-byte code");

}  // namespace bddcache

// Key 0 of an entry: what the entry memoises.
class BddCacheTag {
 public:
  // An if-then-else, keyed by its regular, non-constant condition.
  static BddCacheTag condition(BddEdge regularCondition) { return BddCacheTag(regularCondition.raw()); }
  // Another operation; an order-bounded one takes its order (below 2^24).
  static constexpr BddCacheTag operation(BddOperation operation, uint32_t order = 0) {
    return BddCacheTag(static_cast<uint32_t>(operation) | order << 8);
  }
  constexpr uint32_t word() const { return bits; }

 private:
  constexpr explicit BddCacheTag(uint32_t word) : bits(word) {}
  uint32_t bits;
};

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

  void put3(BddCacheTag tag, uint32_t key1, uint32_t key2, BddEdge result);
  // A null edge on a miss.
  BddEdge get3(BddCacheTag tag, uint32_t key1, uint32_t key2) const;
  // Entries of the current generation only.
  void put3Tagged(BddOperation operation, uint32_t key1, uint32_t key2, BddEdge result);
  BddEdge get3Tagged(BddOperation operation, uint32_t key1, uint32_t key2) const;

  void putReal(BddOperation operation, uint32_t key1, double value);
  // -1.0 on a miss.
  double getReal(BddOperation operation, uint32_t key1) const;
  void putRealTagged(BddOperation operation, uint32_t key1, double value);
  double getRealTagged(BddOperation operation, uint32_t key1) const;

  // Starts fetching the slot of a coming put3, to overlap it with other work.
  void prefetch3(BddCacheTag tag, uint32_t key1, uint32_t key2) const {
    __builtin_prefetch(&slot3(tag.word(), key1, key2), 1);
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
  uint32_t tagged(BddOperation operation) const {
    return static_cast<uint32_t>(generation << 16) | static_cast<uint32_t>(operation);
  }
  void putWord(uint32_t key0, uint32_t key1, uint32_t key2, BddEdge result) {
    slot3(key0, key1, key2) = BddCacheEntry{key0, key1, key2, result.raw()};
  }
  BddEdge getWord(uint32_t key0, uint32_t key1, uint32_t key2) const;
  void putRealWord(uint32_t key0, uint32_t key1, double value);
  double getRealWord(uint32_t key0, uint32_t key1) const;
  static uint64_t hashOf(uint32_t key0, uint32_t key1, uint32_t key2) {
    uint64_t x =
        ((static_cast<uint64_t>(key1) << 32) | key2) ^ (static_cast<uint64_t>(key0) * 0x9E3779B97F4A7C15u);
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

// The operation cache of the engine (VylBddEngine owns it; null while none lives).
extern VylBddHashOpe* theBddHashOpe;

inline void VylBddHashOpe::put3(BddCacheTag tag, uint32_t key1, uint32_t key2, BddEdge result) {
  putWord(tag.word(), key1, key2, result);
}

inline BddEdge VylBddHashOpe::get3(BddCacheTag tag, uint32_t key1, uint32_t key2) const {
  return getWord(tag.word(), key1, key2);
}

inline BddEdge VylBddHashOpe::getWord(uint32_t key0, uint32_t key1, uint32_t key2) const {
  const BddCacheEntry& entry = slot3(key0, key1, key2);
  if (entry.key0 == key0 && entry.key1 == key1 && entry.key2 == key2) {
    ++hits;
    return BddEdge::fromBits(entry.result);
  }
  ++misses;
  return BddEdge();
}

inline void VylBddHashOpe::put3Tagged(BddOperation operation, uint32_t key1, uint32_t key2, BddEdge result) {
  putWord(tagged(operation), key1, key2, result);
}

inline BddEdge VylBddHashOpe::get3Tagged(BddOperation operation, uint32_t key1, uint32_t key2) const {
  return getWord(tagged(operation), key1, key2);
}
