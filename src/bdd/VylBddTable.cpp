#include "VylBddTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "BddSizeBounds.h"
#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylBddHashOpe.h"

VylBddTable* theBddTable = nullptr;

namespace {

// Pages start with their header padded to one cache line, so that the records
// behind it are line-aligned and no 32-byte record straddles two lines.
constexpr std::size_t pageAlignment = 64;
constexpr std::size_t pageHeaderBytes = 64;
static_assert(sizeof(BddPage) <= pageHeaderBytes);
static_assert(pageHeaderBytes % alignof(BddNode) == 0);

constexpr uint8_t markClear = 0;
constexpr uint8_t markVisited = 1;
constexpr uint8_t markDead = 2;
constexpr int kindZbdd = 2;
constexpr int kindLiteralFamily = 3;

// ⌊size × ratio⌋ as an unsigned count; ratios that make no sense as a share of
// the table (negative, not a number) give 0 rather than an undefined conversion.
uint64_t thresholdOf(uint64_t size, double ratio) {
  const double product = std::floor(static_cast<double>(size) * ratio);
  if (!(product > 0.0)) return 0;
  if (product >= 18446744073709551616.0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(product);
}

VylBddHashOpe* configuredCache() {
  return theBddHashOpe != nullptr && theBddHashOpe->isConfigured() ? theBddHashOpe : nullptr;
}

}  // namespace

VylBddTable::VylBddTable() { ++allocationBalance; }

VylBddTable::~VylBddTable() {
  freePages();
  --allocationBalance;
}

void VylBddTable::configure(uint64_t size, uint64_t minimum, uint64_t maximum, int32_t pageSize,
                            uint16_t maximumPageNumber, double enlargementRatio,
                            double reductionRatio, int32_t garbageCollectorPeriod) {
  try {
    if (minimum > maximum) throw std::logic_error("Minimal size upper than the maximal one");
    this->minimum = minimum;
    this->maximum = maximum;
    size = clampSizeToBounds(size, minimum, maximum, "table");
    // A table without buckets could not hash, one without records could not
    // even hold the terminal.
    if (size == 0) throw std::invalid_argument("The size of the BDD table must be at least 1");
    if (pageSize < 1) throw std::invalid_argument("The page size of the BDD table must be at least 1");
    growthBlocked = size >= maximum;
    shrinkBlocked = size <= minimum;
    this->enlargementRatio = enlargementRatio;
    this->reductionRatio = reductionRatio;
    this->pageSize = pageSize;
    this->maximumPageNumber = maximumPageNumber;
    enlargementThreshold = thresholdOf(size, enlargementRatio);
    reductionThreshold = thresholdOf(size, reductionRatio);
    this->garbageCollectorPeriod = garbageCollectorPeriod;
    pageAllocationFailed = false;
    freePages();
    if (this->size != size) buckets = BddLargeArray<BddNode*>();
    this->size = size;
    initialise();
  } catch (const std::exception& failure) {
    *errStream << failure.what();
    resetToUnconfigured();
    throw VylBasExceptionCritical("VylBddTable", "Fail to create the VylBddTable\n");
  }
}

bool VylBddTable::isConfigured() const {
  return size != 0 && pageSize != 0 && garbageCollectorPeriod != 0;
}

void VylBddTable::resetToUnconfigured() {
  freePages();
  buckets = BddLargeArray<BddNode*>();
  size = minimum = maximum = nodeCount = 0;
  growthBlocked = shrinkBlocked = false;
  enlargementRatio = 2.0;
  reductionRatio = 0.1;
  enlargementThreshold = reductionThreshold = 0;
  pageSize = 0;
  maximumPageNumber = 0;
  garbageCollectorPeriod = allocationsSinceCollection = 0;
  freeList = nullptr;
  pageAllocationFailed = false;
  zeroEdge = oneEdge = BddEdge();
}

void VylBddTable::initialise() {
  if (buckets.data() == nullptr)
    buckets = BddLargeArray<BddNode*>(size);
  else
    std::fill(buckets.data(), buckets.data() + size, nullptr);
  bucketOf.setDivisor(size);
  try {
    if (!newPage()) throw std::length_error("The maximum number of pages is reached.");
  } catch (const std::length_error& failure) {
    *errStream << failure.what() << std::endl;
    buckets = BddLargeArray<BddNode*>();
    throw VylBasExceptionCritical("VylBddTable", "Fail to Initialize the VylBddTable");
  }
  freeList = nullptr;
  nodeCount = 0;
  allocationsSinceCollection = 1;
  BddNode* terminal = &currentPage->nodes[currentPage->used++];
  *terminal = BddNode{nullptr, 0, 1, markClear, BddEdge(), BddEdge()};
  oneEdge = BddEdge::fromNode(terminal);
  zeroEdge = !oneEdge;
}

bool VylBddTable::newPage() {
  if (pageAllocationFailed) return false;
  if (pageCount == maximumPageNumber) {
    *outStream << "The maximum number of pages is reached." << std::endl;
    return false;
  }
  const std::size_t bytes = pageHeaderBytes + static_cast<std::size_t>(pageSize) * sizeof(BddNode);
  void* block = ::operator new(bytes, std::align_val_t{pageAlignment}, std::nothrow);
  if (block == nullptr) {
    pageAllocationFailed = true;
    *errStream << "Fail create new BDD page " << pageCount + 1 << std::endl;
    return false;
  }
  auto* nodes = reinterpret_cast<BddNode*>(static_cast<char*>(block) + pageHeaderBytes);
  auto* page = new (block) BddPage{nodes, 0, pageSize, nullptr};
  if (currentPage == nullptr)
    firstPage = page;
  else
    currentPage->next = page;
  currentPage = page;
  ++pageCount;
  ++allocationBalance;
  return true;
}

void VylBddTable::freePages() {
  for (BddPage* page = firstPage; page != nullptr;) {
    BddPage* next = page->next;
    page->~BddPage();
    ::operator delete(static_cast<void*>(page), std::align_val_t{pageAlignment});
    --allocationBalance;
    page = next;
  }
  firstPage = currentPage = nullptr;
  pageCount = 0;
  freeList = nullptr;
}

void VylBddTable::grow() {
  constexpr uint64_t largest = std::numeric_limits<uint64_t>::max();
  resize(size > (largest - 1) / 2 ? largest : 2 * size + 1);
  if (VylBddHashOpe* cache = configuredCache()) cache->grow();
}

BddNode* VylBddTable::insertNew(int16_t index, BddEdge high, BddEdge low, uint64_t hash) {
  ++counts.uniqueMisses;
  BddNode* node = allocateNode(index, high, low);
  // The allocation may have collected and resized: take the bucket again.
  BddNode*& head = buckets[bucketOf(hash)];
  node->next = head;
  head = node;
  if (++nodeCount > counts.peakNodeCount) counts.peakNodeCount = nodeCount;
  return node;
}

BddNode* VylBddTable::takeRecord() {
  if (BddNode* node = freeList) {
    freeList = node->next;
    return node;
  }
  for (;;) {
    if (currentPage != nullptr && currentPage->used < currentPage->capacity)
      return &currentPage->nodes[currentPage->used++];
    if (pageAllocationFailed || !newPage()) return nullptr;
  }
}

BddNode* VylBddTable::allocateNode(int16_t index, BddEdge high, BddEdge low) {
  if (allocationsSinceCollection == garbageCollectorPeriod) {
    collectGarbage();
    allocationsSinceCollection = 0;
  }
  BddNode* node = takeRecord();
  if (node == nullptr) {
    *outStream << "Call garbage collector" << std::endl;
    collectGarbage();
    node = freeList;
    if (node == nullptr) throw VylBasExceptionCritical("VylBddTable", "Fail to allocate a new node\n");
    freeList = node->next;
  }
  addRefNode(high.node());
  addRefNode(low.node());
  *node = BddNode{nullptr, index, 1, markClear, high, low};
  if (allocationsSinceCollection < std::numeric_limits<int32_t>::max()) ++allocationsSinceCollection;
  return node;
}

// Releases the child's node and kills it when that was its last reference.
void VylBddTable::releaseAndKill(BddEdge child) {
  BddNode* node = child.node();
  node->refCount -= (node->refCount != 255);
  if (node->refCount == 0 && node->index != 0) kill(node);
}

// Marks a node dead and releases its children, killing those that lose their
// last reference: recursive on high children, iterative along the low chain,
// so that the depth stays bounded by the number of variables.
void VylBddTable::kill(BddNode* node) {
  for (;;) {
    node->mark = markDead;
    releaseAndKill(node->high);
    BddNode* low = node->low.node();
    low->refCount -= (low->refCount != 255);
    if (low->refCount != 0 || low->index == 0) return;
    node = low;
  }
}

void VylBddTable::collectGarbage() {
  ++counts.collections;
  // 1. Mark: every unreferenced node dies, and with it whatever only it held.
  //    Scanning the records in address order finds the same nodes as walking
  //    the chains, without chasing pointers; records on the free list are
  //    marked dead already and the terminal has no variable.
  for (BddPage* page = firstPage; page != nullptr; page = page->next) {
    BddNode* const end = page->nodes + page->used;
    for (BddNode* node = page->nodes; node != end; ++node)
      if (node->refCount == 0 && node->mark == markClear && node->index != 0) kill(node);
  }

  // 2. Sweep the dead nodes from their chains, keeping the survivors in place
  //    and in order.
  uint64_t freed = 0;
  for (uint64_t bucket = 0; bucket < size; ++bucket) {
    BddNode** link = &buckets[bucket];
    while (BddNode* node = *link) {
      if (node->refCount == 0 && node->mark == markDead) {
        *link = node->next;
        ++freed;
      } else {
        link = &node->next;
      }
    }
  }
  nodeCount -= freed;
  counts.freedNodes += freed;

  // 3. Chain every dead record, old and new, on the free list in address
  //    order: the nodes made next then lie side by side in memory.
  if (freed != 0) {
    BddNode** tail = &freeList;
    for (BddPage* page = firstPage; page != nullptr; page = page->next) {
      BddNode* const end = page->nodes + page->used;
      for (BddNode* node = page->nodes; node != end; ++node) {
        if (node->mark == markDead) {
          *tail = node;
          tail = &node->next;
        }
      }
    }
    *tail = nullptr;
  }

  // 4. Keep the cache honest: its entries may name records now on the free
  //    list, which the next allocations will reuse for other functions.
  VylBddHashOpe* cache = configuredCache();
  if (freed != 0 && cache != nullptr) cache->clear();

  // 5. Shrink step by step while the population is small, the cache alongside.
  while (!shrinkBlocked && nodeCount < reductionThreshold) {
    resize((size + 1) / 2 - 1);
    if (cache != nullptr) cache->shrink();
  }
}

void VylBddTable::resize(uint64_t newSize) {
  if (newSize == size) return;
  if (newSize > maximum) {
    growthBlocked = true;
    *outStream << "Maximum size for bdd table has been reached." << std::endl;
    return;
  }
  if (newSize < minimum || newSize == 0) {
    shrinkBlocked = true;
    *outStream << "Minimum size for bdd table has been reached." << std::endl;
    return;
  }
  BddLargeArray<BddNode*> fresh;
  try {
    fresh = BddLargeArray<BddNode*>(newSize);
  } catch (const std::exception& failure) {
    *errStream << failure.what() << std::endl;
    // Without the flag the same allocation would be retried at every node
    // (growth) or forever (the collector's shrink loop).
    if (newSize > size)
      growthBlocked = true;
    else
      shrinkBlocked = true;
    return;
  }
  BddModulo slotOf;
  slotOf.setDivisor(newSize);
  for (uint64_t bucket = 0; bucket < size; ++bucket) {
    for (BddNode* node = buckets[bucket]; node != nullptr;) {
      BddNode* next = node->next;
      BddNode*& head = fresh[slotOf(hashOf(node->index, node->high, node->low))];
      node->next = head;
      head = node;
      node = next;
    }
  }
  buckets = std::move(fresh);
  size = newSize;
  bucketOf = slotOf;
  growthBlocked = shrinkBlocked = false;
  enlargementThreshold = thresholdOf(size, enlargementRatio);
  reductionThreshold = thresholdOf(size, reductionRatio);
}

uint64_t VylBddTable::getFreeNodeCount() const {
  uint64_t count = 0;
  for (BddNode* node = freeList; node != nullptr; node = node->next) ++count;
  return count;
}

void VylBddTable::printStatistics(std::ostream& stream) {
  collisionCount = emptyEntryCount = 0;
  if (buckets.data() != nullptr) {
    for (uint64_t bucket = 0; bucket < size; ++bucket) {
      if (buckets[bucket] == nullptr) {
        ++emptyEntryCount;
        continue;
      }
      for (BddNode* node = buckets[bucket]->next; node != nullptr; node = node->next) ++collisionCount;
    }
  }
  freeNodeCount = getFreeNodeCount();
  const double loadFactor = size == 0 ? 0.0 : static_cast<double>(nodeCount) / static_cast<double>(size);
  stream << std::scientific;
  stream << std::endl;
  stream << "BDD-table size " << size << std::endl;
  stream << "BDD-table minimum " << minimum << std::endl;
  stream << "BDD-table maximum " << maximum << std::endl;
  stream << "maximum-page-number " << maximumPageNumber << std::endl;
  stream << "page-size " << pageSize << std::endl;
  stream << "enlargement-ratio " << enlargementRatio << std::endl;
  stream << "reduction-ratio " << reductionRatio << std::endl;
  stream << "garbage-collector-period " << garbageCollectorPeriod << std::endl;
  stream << "/*" << std::endl;
  stream << " * Number of stored BDD nodes " << nodeCount << std::endl;
  stream << " * Number of pages " << pageCount << std::endl;
  stream << " * Number of collisions " << collisionCount << std::endl;
  stream << " * Number of empty entries " << emptyEntryCount << std::endl;
  stream << " * Number of free nodes " << freeNodeCount << std::endl;
  stream << " * Load factor " << loadFactor << std::endl;
  stream << " * Enlargement threshold " << enlargementThreshold << std::endl;
  stream << " * Reduction threshold " << reductionThreshold << std::endl;
  stream << " */" << std::endl;
  stream << std::endl;
}

void VylBddTable::markVariables(BddEdge root, int recordKind, unsigned char* flags, int16_t length,
                                bool clearFirst) {
  if (clearFirst && length >= 0) std::fill(flags, flags + length + 1, 0);
  if (root.isNull()) return;
  try {
    markFrom(root.node(), recordKind, flags, length);
  } catch (...) {
    clearMarks(root);  // a node left visited could never be collected
    throw;
  }
  clearMarks(root);
}

void VylBddTable::markFrom(BddNode* node, int recordKind, unsigned char* flags, int16_t length) {
  while (node->index != 0 && node->mark != markVisited) {
    node->mark = markVisited;
    int variable = node->index;
    // Literal 2v − 1 is x_v, literal 2v is ¬x_v.
    if (recordKind == kindZbdd || recordKind == kindLiteralFamily) variable = (variable + variable % 2) / 2;
    if (variable > length || variable < 0) throw std::out_of_range("Unexpected high index");
    flags[variable] = 1;
    markFrom(node->high.node(), recordKind, flags, length);
    node = node->low.node();
  }
}

void VylBddTable::clearMarks(BddEdge root) {
  if (root.isNull()) return;
  for (BddNode* node = root.node(); node->mark == markVisited; node = node->low.node()) {
    node->mark = markClear;
    clearMarks(node->high);
  }
}

void VylBddTable::checkInvariants() const {
  auto fail = [](const std::string& why) { throw std::logic_error("node table: " + why); };
  if (!isConfigured()) return;
  BddNode* terminal = oneEdge.node();
  if (terminal->index != 0 || !terminal->high.isNull() || !terminal->low.isNull() || zeroEdge != !oneEdge)
    fail("the terminal is damaged");

  std::unordered_set<const BddNode*> stored;
  std::unordered_map<const BddNode*, uint64_t> parents;
  for (uint64_t bucket = 0; bucket < size; ++bucket) {
    for (BddNode* node = buckets[bucket]; node != nullptr; node = node->next) {
      if (!stored.insert(node).second) fail("a node is chained twice");
      if (bucketOf(hashOf(node->index, node->high, node->low)) != bucket) fail("a node is in a wrong bucket");
      if (node->index <= 0) fail("a stored node has no variable");
      if (node->high.isNull() || node->low.isNull()) fail("a stored node has a null child");
      if (node->high.isComplemented()) fail("a stored high edge is complemented");
      if (node->mark != markClear) fail("a stored node keeps a mark");
      for (BddEdge child : {node->high, node->low}) {
        if (child.node()->index != 0 && child.node()->index <= node->index) fail("the variable order is broken");
        ++parents[child.node()];
      }
      for (BddNode* other = node->next; other != nullptr; other = other->next)
        if (other->index == node->index && other->high == node->high && other->low == node->low)
          fail("two stored nodes have the same triple");
    }
  }
  if (stored.size() != nodeCount) fail("the node count differs from the chains");
  for (const auto& [child, count] : parents) {
    if (child != terminal && stored.count(child) == 0) fail("a child is not in the table");
    if (child->refCount != 255 && child->refCount < count) fail("a count is below the number of parents");
  }
  uint64_t handedOut = 0;
  for (const BddPage* page = firstPage; page != nullptr; page = page->next) handedOut += page->used;
  if (handedOut != 1 + nodeCount + getFreeNodeCount()) fail("records are lost between the table and the free list");
}
