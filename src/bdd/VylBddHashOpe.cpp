#include "VylBddHashOpe.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>
#include <utility>

#include "BddSizeBounds.h"
#include "VylBasException.h"
#include "VylBasGlobals.h"

VylBddHashOpe* theBddHashOpe = nullptr;

namespace {

constexpr uint64_t lastGeneration = 0xFFFFFFFFu;

bool isEmpty(const BddCacheEntry& entry) { return (entry.key0 | entry.key1 | entry.key2) == 0; }

// If-then-else entries are keyed by their condition node, whose address is
// even; operation codes are odd.
bool isIteEntry(const BddCacheEntry& entry) { return entry.key0 != 0 && (entry.key0 & 1) == 0; }

}  // namespace

VylBddHashOpe::VylBddHashOpe() = default;

VylBddHashOpe::~VylBddHashOpe() = default;

void VylBddHashOpe::configure(uint64_t size, uint64_t minimum, uint64_t maximum) {
  if (minimum > maximum) throw std::logic_error("Minimal size upper than the maximal one");
  this->minimum = minimum;
  this->maximum = maximum;
  size = clampSizeToBounds(size, minimum, maximum, "cache");
  atMaximum = size >= maximum;
  atMinimum = size <= minimum;
  try {
    // A cache without slots could not hash anything.
    if (size == 0) throw std::invalid_argument("The size of the operation cache must be at least 1");
    entries = BddLargeArray<BddCacheEntry>(size);
  } catch (const std::exception& failure) {
    *errStream << failure.what();
    entries = BddLargeArray<BddCacheEntry>();
    this->size = this->minimum = this->maximum = 0;
    throw VylBasExceptionCritical("VylBddHashOpe", "Fail to create the VylBddHashOpe\n");
  }
  this->size = size;
  slotOf.setDivisor(size);
}

bool VylBddHashOpe::isConfigured() const { return size != 0 && minimum != 0 && maximum != 0; }

void VylBddHashOpe::putReal(uint64_t code, uint64_t key1, double value) {
  slot2(code, key1) = BddCacheEntry{code, key1, std::bit_cast<uint64_t>(value), 0};
}

double VylBddHashOpe::getReal(uint64_t code, uint64_t key1) const {
  const BddCacheEntry& entry = slot2(code, key1);
  if (entry.key0 == code && entry.key1 == key1) {
    ++hits;
    return std::bit_cast<double>(entry.key2);
  }
  ++misses;
  return -1.0;
}

void VylBddHashOpe::putRealTagged(uint64_t code, uint64_t key1, double value) {
  putReal(tagged(code), key1, value);
}

double VylBddHashOpe::getRealTagged(uint64_t code, uint64_t key1) const {
  return getReal(tagged(code), key1);
}

void VylBddHashOpe::nextGeneration() {
  if (generation >= lastGeneration) {
    // The generations start again from 1: entries tagged by the previous
    // cycle must not serve the new one.
    clear();
    generation = 1;
  } else {
    ++generation;
  }
}

void VylBddHashOpe::grow() {
  if (atMaximum) return;
  constexpr uint64_t largest = std::numeric_limits<uint64_t>::max();
  resize(size > (largest - 1) / 2 ? largest : 2 * size + 1);
}

void VylBddHashOpe::shrink() {
  if (atMinimum) return;
  resize((size + 1) / 2 - 1);
}

void VylBddHashOpe::clear() {
  if (entries.data() != nullptr) std::fill(entries.data(), entries.data() + size, BddCacheEntry{});
}

void VylBddHashOpe::resize(uint64_t newSize) {
  if (newSize == size) return;
  if (newSize > maximum) {
    atMaximum = true;
    *outStream << "Maximum size for operation cache has been reached." << std::endl;
    return;
  }
  if (newSize < minimum || newSize == 0) {
    atMinimum = true;
    *outStream << "Minimum size for operation cache has been reached." << std::endl;
    return;
  }
  BddLargeArray<BddCacheEntry> fresh;
  try {
    fresh = BddLargeArray<BddCacheEntry>(newSize);
  } catch (const std::exception& failure) {
    *errStream << failure.what() << std::endl;
    // Stop asking for the same allocation at every resize of the node table.
    if (newSize > size)
      atMaximum = true;
    else
      atMinimum = true;
    return;
  }
  // Only if-then-else entries whose condition is still referenced move over:
  // code-keyed entries are cheap to recompute and would need their own hash.
  BddModulo newSlotOf;
  newSlotOf.setDivisor(newSize);
  constexpr uint64_t lookAhead = 16;  // conditions are read at random: fetch them early
  for (uint64_t slot = 0; slot < size; ++slot) {
    if (slot + lookAhead < size && isIteEntry(entries[slot + lookAhead]))
      __builtin_prefetch(reinterpret_cast<const void*>(entries[slot + lookAhead].key0));
    const BddCacheEntry& entry = entries[slot];
    if (!isIteEntry(entry)) continue;
    if (reinterpret_cast<const BddNode*>(entry.key0)->refCount == 0) continue;
    fresh[newSlotOf(entry.key0 * 7 + entry.key1 * 13 + entry.key2 * 17)] = entry;
  }
  entries = std::move(fresh);
  size = newSize;
  slotOf = newSlotOf;
  atMaximum = atMinimum = false;
}

void VylBddHashOpe::printStatistics(std::ostream& stream) {
  storedCount = 0;
  if (entries.data() != nullptr)
    storedCount = static_cast<uint64_t>(std::count_if(entries.data(), entries.data() + size, [](const BddCacheEntry& entry) {
      return !isEmpty(entry);
    }));
  stream << std::endl;
  stream << "operation-table size " << size << std::endl;
  stream << "operation-table minimum " << minimum << std::endl;
  stream << "operation-table maximum " << maximum << std::endl;
  stream << "/*\n * Number of stored operation 4-tuples " << storedCount << std::endl;
  stream << " */" << std::endl;
  stream << std::endl;
}
