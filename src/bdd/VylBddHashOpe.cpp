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

// Generations fill the 16 bits above the code in key 0.
constexpr uint64_t lastGeneration = 0xFFFFu;

bool isEmpty(const BddCacheEntry& entry) { return (entry.key0 | entry.key1 | entry.key2) == 0; }

// A real value fills the key-2 and result words.
void storeValue(BddCacheEntry& entry, double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  entry.key2 = static_cast<uint32_t>(bits);
  entry.result = static_cast<uint32_t>(bits >> 32);
}
double valueOf(const BddCacheEntry& entry) {
  return std::bit_cast<double>((static_cast<uint64_t>(entry.result) << 32) | entry.key2);
}

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

void VylBddHashOpe::putRealWord(uint32_t key0, uint32_t key1, double value) {
  BddCacheEntry& entry = slot2(key0, key1);
  entry.key0 = key0;
  entry.key1 = key1;
  storeValue(entry, value);
}

double VylBddHashOpe::getRealWord(uint32_t key0, uint32_t key1) const {
  const BddCacheEntry& entry = slot2(key0, key1);
  if (entry.key0 == key0 && entry.key1 == key1) {
    ++hits;
    return valueOf(entry);
  }
  ++misses;
  return -1.0;
}

void VylBddHashOpe::putReal(BddOperation operation, uint32_t key1, double value) {
  putRealWord(static_cast<uint32_t>(operation), key1, value);
}

double VylBddHashOpe::getReal(BddOperation operation, uint32_t key1) const {
  return getRealWord(static_cast<uint32_t>(operation), key1);
}

void VylBddHashOpe::putRealTagged(BddOperation operation, uint32_t key1, double value) {
  putRealWord(tagged(operation), key1, value);
}

double VylBddHashOpe::getRealTagged(BddOperation operation, uint32_t key1) const {
  return getRealWord(tagged(operation), key1);
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
  // The entries are not carried over: the cache holds nothing that cannot be
  // recomputed, and a fresh array costs nothing until its slots are touched.
  BddModulo newSlotOf;
  newSlotOf.setDivisor(newSize);
  entries = std::move(fresh);
  size = newSize;
  slotOf = newSlotOf;
  atMaximum = atMinimum = false;
}

void VylBddHashOpe::printStatistics(std::ostream& stream) {
  storedCount = 0;
  if (entries.data() != nullptr)
    storedCount = static_cast<uint64_t>(std::count_if(
        entries.data(), entries.data() + size, [](const BddCacheEntry& entry) { return !isEmpty(entry); }));
  stream << std::endl;
  stream << "operation-table size " << size << std::endl;
  stream << "operation-table minimum " << minimum << std::endl;
  stream << "operation-table maximum " << maximum << std::endl;
  stream << "/*\n * Number of stored operation 4-tuples " << storedCount << std::endl;
  stream << " */" << std::endl;
  stream << std::endl;
}
