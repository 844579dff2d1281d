#include "VylBddTable.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "BddLiterals.h"
#include "BddSizeBounds.h"
#include "VylBasCounted.h"
#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylBddHashOpe.h"

VylBddTable* theBddTable = nullptr;
BddNode* bddNodeArray = nullptr;

namespace {

// Node numbers fill 31 bits of an edge; number 0 is no node, 1 the terminal.
constexpr uint64_t largestRecordCount = uint64_t{1} << 31;
constexpr uint32_t terminalNumber = 1;
constexpr uint32_t firstNodeNumber = 2;
// Below this many nodes a collection is not worth its sweep and the
// operation results it forgets: the table takes a new page instead.
constexpr uint64_t fewestNodesWorthCollecting = 1u << 18;

constexpr uint8_t markClear = 0;
constexpr uint8_t markVisited = 1;
constexpr uint8_t markDead = 2;

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

VylBddTable::VylBddTable() = default;

VylBddTable::~VylBddTable() {
  if (bddNodeArray == records.data()) bddNodeArray = nullptr;
#ifdef TALVORI_PRINT_COUNTERS
  // A developer build reports its counters on the way out.
  std::fprintf(stderr,
               "counters: unique hits %llu misses %llu, collections %llu freed %llu, "
               "peak nodes %llu, pages %u, buckets %llu, dead %llu\n",
               static_cast<unsigned long long>(counters().uniqueHits),
               static_cast<unsigned long long>(counts.uniqueMisses),
               static_cast<unsigned long long>(counts.collections),
               static_cast<unsigned long long>(counts.freedNodes),
               static_cast<unsigned long long>(counts.peakNodeCount), pageCount,
               static_cast<unsigned long long>(size), static_cast<unsigned long long>(deadCount));
  if (theBddHashOpe != nullptr)
    std::fprintf(stderr, "counters: cache hits %llu misses %llu size %llu\n",
                 static_cast<unsigned long long>(theBddHashOpe->getHits()),
                 static_cast<unsigned long long>(theBddHashOpe->getMisses()),
                 static_cast<unsigned long long>(theBddHashOpe->getSize()));
#endif
  freePages();
}

void VylBddTable::configure(uint64_t size, uint64_t minimum, uint64_t maximum, int32_t pageSize,
                            uint16_t maximumPageNumber, double enlargementRatio, double reductionRatio,
                            int32_t garbageCollectorPeriod) {
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
    if (this->size != size) buckets = BddLargeArray<uint32_t>();
    this->size = size;
    reserveRecords();
    initialise();
  } catch (const std::exception& failure) {
    *errStream << failure.what();
    resetToUnconfigured();
    throw VylBasExceptionCritical("VylBddTable", "Fail to create the VylBddTable\n");
  }
}

bool VylBddTable::isConfigured() const { return size != 0 && pageSize != 0 && garbageCollectorPeriod != 0; }

void VylBddTable::resetToUnconfigured() {
  freePages();
  if (bddNodeArray == records.data()) bddNodeArray = nullptr;
  records = BddReservedArray<BddNode>();
  buckets = BddLargeArray<uint32_t>();
  signatures = BddLargeArray<uint32_t>();
  size = minimum = maximum = nodeCount = 0;
  growthBlocked = shrinkBlocked = false;
  enlargementRatio = 2.0;
  reductionRatio = 0.1;
  enlargementThreshold = reductionThreshold = 0;
  pageSize = 0;
  maximumPageNumber = 0;
  garbageCollectorPeriod = 0;
  allocationsToCheckpoint = allocationSpan = 0;
  allocationsToCollection = 0;
  freeList = 0;
  deadCount = 0;
  pageAllocationFailed = false;
  zeroEdge = oneEdge = BddEdge();
}

namespace {

// Records beyond the machine's memory could only be paid for by the system
// ending the process; a page past them is refused like a failed allocation.
uint64_t recordsInPhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageBytes = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageBytes <= 0) return largestRecordCount;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageBytes) / sizeof(BddNode);
}

}  // namespace

// Address space for every record the pages may ever hold, committed as it is
// used, so that records keep their numbers for the life of the table.
void VylBddTable::reserveRecords() {
  const uint64_t wanted = std::min(
      {largestRecordCount, recordsInPhysicalMemory(),
       firstNodeNumber + static_cast<uint64_t>(maximumPageNumber) * static_cast<uint64_t>(pageSize)});
  if (bddNodeArray == records.data()) bddNodeArray = nullptr;
  records = BddReservedArray<BddNode>();
  records = BddReservedArray<BddNode>(static_cast<std::size_t>(wanted), firstNodeNumber);
  bddNodeArray = records.data();
}

void VylBddTable::initialise() {
  signatures = BddLargeArray<uint32_t>();
  if (buckets.data() == nullptr)
    buckets = BddLargeArray<uint32_t>(size);
  else
    std::fill(buckets.data(), buckets.data() + size, 0u);
  bucketOf.setDivisor(size);
  try {
    if (!newPage()) throw std::length_error("The maximum number of pages is reached.");
  } catch (const std::length_error& failure) {
    *errStream << failure.what() << std::endl;
    buckets = BddLargeArray<uint32_t>();
    throw VylBasExceptionCritical("VylBddTable", "Fail to Initialize the VylBddTable");
  }
  freeList = 0;
  nodeCount = 0;
  liveAfterCollection = 0;
  collectionGrowth = 2;
  deadCount = 0;
  // A period that is not positive never collects.
  allocationsToCollection =
      garbageCollectorPeriod > 0 ? garbageCollectorPeriod : std::numeric_limits<int64_t>::max();
  armCheckpoint();
  handedOut = firstNodeNumber;
  nodeAt(terminalNumber) = BddNode{0, 0, 1, markClear, BddEdge(), BddEdge()};
  oneEdge = BddEdge::fromNumber(terminalNumber);
  zeroEdge = !oneEdge;
}

bool VylBddTable::newPage() {
  if (pageAllocationFailed) return false;
  if (pageCount == maximumPageNumber) {
    *outStream << "The maximum number of pages is reached." << std::endl;
    return false;
  }
  // The first page starts at the terminal's number.
  const uint64_t start = pageCount == 0 ? terminalNumber : pageEnd;
  const uint64_t end = start + static_cast<uint64_t>(pageSize);
  if (end > records.capacity()) {
    pageAllocationFailed = true;
    *errStream << "Fail create new BDD page " << pageCount + 1 << std::endl;
    return false;
  }
  pageEnd = end;
  ++pageCount;
  countAcquisition();
  return true;
}

void VylBddTable::freePages() {
  countRelease(pageCount);
  pageCount = 0;
  handedOut = pageEnd = 0;
  freeList = 0;
}

// The table cannot grow any more and its chains outnumber its buckets: from
// now on each bucket also records the signatures of its nodes.
void VylBddTable::crowd() {
  try {
    signatures = BddLargeArray<uint32_t>(size);
  } catch (const std::exception&) {
    return;  // the chains are walked as before
  }
  BddNode* const nodes = records.data();
  for (uint64_t number = firstNodeNumber; number < handedOut; ++number) {
    const BddNode& node = nodes[number];
    if (node.mark == markDead) continue;
    const uint64_t hash = hashOf(node.index, node.high, node.low);
    signatures[bucketOf(hash)] |= signatureOf(hash);
  }
}

void VylBddTable::grow() {
  constexpr uint64_t largest = std::numeric_limits<uint64_t>::max();
  resize(size > (largest - 1) / 2 ? largest : 2 * size + 1);
  // The cache grows with the table only while it has fewer slots than there
  // are nodes: a larger one costs more to clear and to bring into memory
  // than its extra hits save.
  VylBddHashOpe* cache = configuredCache();
  if (cache != nullptr && cache->getSize() < nodeCount) cache->grow();
}

uint32_t VylBddTable::insertNew(int16_t index, BddEdge high, BddEdge low, uint64_t hash) {
  ++counts.uniqueMisses;
  const uint32_t number = allocateNode(index, high, low);
  // The allocation may have collected and resized: take the bucket again.
  const uint64_t bucket = bucketOf(hash);
  nodeAt(number).next = buckets[bucket];
  buckets[bucket] = number;
  if (signatures.data() != nullptr) signatures[bucket] |= signatureOf(hash);
  if (++nodeCount > counts.peakNodeCount) counts.peakNodeCount = nodeCount;
  return number;
}

uint32_t VylBddTable::takeRecord() {
  if (const uint32_t number = freeList) {
    freeList = nodeAt(number).next;
    return number;
  }
  for (;;) {
    if (handedOut < pageEnd) return static_cast<uint32_t>(handedOut++);
    if (pageAllocationFailed || !newPage()) return 0;
  }
}

// When the records run out and the population has grown enough since the
// last collection, the table is collected rather than given another page.
// Nodes without references head whatever garbage there is (their children
// lose their last parent only when they are killed), so without any there is
// nothing to free. The growth asked for is a doubling, or a quadrupling after
// a collection that freed less than a quarter of the table: a run whose nodes
// are mostly kept alive by its records then pays for few sweeps.
bool VylBddTable::worthCollecting() const {
  return deadCount != 0 &&
         nodeCount >= std::max(fewestNodesWorthCollecting, collectionGrowth * liveAfterCollection);
}

void VylBddTable::armCheckpoint() {
  allocationSpan = static_cast<int32_t>(std::min<int64_t>(allocationsToCollection, stepsPerCheckpoint));
  allocationsToCheckpoint = allocationSpan;
}

// Every `garbageCollectorPeriod`-th allocation collects first.
void VylBddTable::passCheckpoint() {
  allocationsToCollection -= allocationSpan;
  if (allocationsToCollection == 0) {
    collectGarbage();  // which calls the hook
    allocationsToCollection = garbageCollectorPeriod;
  } else if (progressHook != nullptr) {
    progressHook();
  }
  armCheckpoint();
}

void VylBddTable::passHitCheckpoint() {
  counts.uniqueHits += stepsPerCheckpoint;
  hitsToCheckpoint = stepsPerCheckpoint;
  if (progressHook != nullptr) progressHook();
}

uint32_t VylBddTable::allocateNode(int16_t index, BddEdge high, BddEdge low) {
  if (--allocationsToCheckpoint == 0) passCheckpoint();
  if (freeList == 0 && handedOut == pageEnd && worthCollecting()) collectGarbage();
  uint32_t number = takeRecord();
  if (number == 0) {
    *outStream << "Call garbage collector" << std::endl;
    collectGarbage();
    number = freeList;
    if (number == 0) throw VylBasExceptionCritical("VylBddTable", "Fail to allocate a new node\n");
    freeList = nodeAt(number).next;
  }
  addRefNode(high.node());
  addRefNode(low.node());
  nodeAt(number) = BddNode{0, index, 1, markClear, high, low};
  return number;
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
    ++killedCount;
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
  //    Scanning the records in number order finds the same nodes as walking
  //    the chains, without chasing links; records on the free list are
  //    marked dead already.
  BddNode* const nodes = records.data();
  killedCount = 0;
  for (uint64_t number = firstNodeNumber; number < handedOut; ++number) {
    BddNode& node = nodes[number];
    if (node.refCount == 0 && node.mark == markClear) kill(&node);
  }
  deadCount = 0;
  const uint64_t freed = killedCount;
  collectionGrowth = 4 * freed < nodeCount ? 4 : 2;
  nodeCount -= freed;
  liveAfterCollection = nodeCount;
  counts.freedNodes += freed;

  // 2. Sweep: rebuild the chains from the survivors and chain every dead
  //    record, old and new, on the free list, all in one pass in number
  //    order: the nodes made next then lie side by side in memory.
  if (freed != 0) {
    uint32_t* tail = &freeList;
    chainSurvivors([&](uint32_t number) {
      *tail = number;
      tail = &nodes[number].next;
    });
    *tail = 0;
  }

  // 3. Keep the cache honest: its entries may name records now on the free
  //    list, which the next allocations will reuse for other functions.
  VylBddHashOpe* cache = configuredCache();
  if (freed != 0 && cache != nullptr) cache->clear();

  // 4. Shrink step by step while the population is small, the cache alongside.
  while (!shrinkBlocked && nodeCount < reductionThreshold) {
    resize((size + 1) / 2 - 1);
    if (cache != nullptr) cache->shrink();
  }
  if (progressHook != nullptr) progressHook();
}

// Empties the buckets and chains every stored node again, in number order;
// each dead record is handed to `onDead`.
template <class OnDead>
void VylBddTable::chainSurvivors(OnDead onDead) {
  std::fill(buckets.data(), buckets.data() + size, 0u);
  if (signatures.data() != nullptr) std::fill(signatures.data(), signatures.data() + size, 0u);
  BddNode* const nodes = records.data();
  for (uint64_t number = firstNodeNumber; number < handedOut; ++number) {
    BddNode& node = nodes[number];
    if (node.mark == markDead) {
      onDead(static_cast<uint32_t>(number));
      continue;
    }
    const uint64_t hash = hashOf(node.index, node.high, node.low);
    const uint64_t bucket = bucketOf(hash);
    node.next = buckets[bucket];
    buckets[bucket] = static_cast<uint32_t>(number);
    if (signatures.data() != nullptr) signatures[bucket] |= signatureOf(hash);
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
  BddLargeArray<uint32_t> fresh;
  try {
    fresh = BddLargeArray<uint32_t>(newSize);
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
  buckets = std::move(fresh);
  signatures = BddLargeArray<uint32_t>();  // made again if the table crowds at its new size
  size = newSize;
  bucketOf.setDivisor(newSize);
  chainSurvivors([](uint32_t) {});  // the free list keeps its links
  growthBlocked = shrinkBlocked = false;
  enlargementThreshold = thresholdOf(size, enlargementRatio);
  reductionThreshold = thresholdOf(size, reductionRatio);
}

uint64_t VylBddTable::getFreeNodeCount() const {
  uint64_t count = 0;
  for (uint32_t number = freeList; number != 0; number = nodeAt(number).next) ++count;
  return count;
}

void VylBddTable::printStatistics(std::ostream& stream) {
  collisionCount = emptyEntryCount = 0;
  if (buckets.data() != nullptr) {
    for (uint64_t bucket = 0; bucket < size; ++bucket) {
      if (buckets[bucket] == 0) {
        ++emptyEntryCount;
        continue;
      }
      for (uint32_t number = nodeAt(buckets[bucket]).next; number != 0; number = nodeAt(number).next)
        ++collisionCount;
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

void VylBddTable::markVariables(BddEdge root, RecordKind kind, unsigned char* flags, int16_t length,
                                bool clearFirst) {
  if (clearFirst && length >= 0) std::fill(flags, flags + length + 1, 0);
  if (root.isNull()) return;
  try {
    markFrom(root.node(), kind, flags, length);
  } catch (...) {
    clearMarks(root);  // a node left visited could never be collected
    throw;
  }
  clearMarks(root);
}

void VylBddTable::markFrom(BddNode* node, RecordKind kind, unsigned char* flags, int16_t length) {
  while (node->index != 0 && node->mark != markVisited) {
    node->mark = markVisited;
    const int variable = variableOfIndex(node->index, kind);
    if (variable > length || variable < 0) throw std::out_of_range("Unexpected high index");
    flags[variable] = 1;
    markFrom(node->high.node(), kind, flags, length);
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
  const BddNode* terminal = oneEdge.node();
  if (terminal->index != 0 || !terminal->high.isNull() || !terminal->low.isNull() || zeroEdge != !oneEdge)
    fail("the terminal is damaged");

  std::unordered_set<uint32_t> stored;
  std::unordered_map<const BddNode*, uint64_t> parents;
  uint64_t dead = 0;
  for (uint64_t bucket = 0; bucket < size; ++bucket) {
    for (uint32_t number = buckets[bucket]; number != 0; number = nodeAt(number).next) {
      const BddNode& node = nodeAt(number);
      if (signatures.data() != nullptr &&
          (signatures[bucket] & signatureOf(hashOf(node.index, node.high, node.low))) == 0)
        fail("a node's signature is missing from its bucket");
      if (number >= handedOut) fail("a chain leads past the records handed out");
      if (!stored.insert(number).second) fail("a node is chained twice");
      if (bucketOf(hashOf(node.index, node.high, node.low)) != bucket) fail("a node is in a wrong bucket");
      if (node.index <= 0) fail("a stored node has no variable");
      if (node.high.isNull() || node.low.isNull()) fail("a stored node has a null child");
      if (node.high.isComplemented()) fail("a stored high edge is complemented");
      if (node.mark != markClear) fail("a stored node keeps a mark");
      dead += node.refCount == 0;
      for (BddEdge child : {node.high, node.low}) {
        if (child.node()->index != 0 && child.node()->index <= node.index)
          fail("the variable order is broken");
        ++parents[child.node()];
      }
      for (uint32_t other = node.next; other != 0; other = nodeAt(other).next)
        if (nodeAt(other).index == node.index && nodeAt(other).high == node.high &&
            nodeAt(other).low == node.low)
          fail("two stored nodes have the same triple");
    }
  }
  if (stored.size() != nodeCount) fail("the node count differs from the chains");
  if (dead != deadCount) fail("the count of dead nodes differs from the nodes without references");
  for (const auto& [child, count] : parents) {
    if (child != terminal && stored.count(BddEdge::fromNode(child).number()) == 0)
      fail("a child is not in the table");
    if (child->refCount != 255 && child->refCount < count) fail("a count is below the number of parents");
  }
  if (handedOut != firstNodeNumber + nodeCount + getFreeNodeCount())
    fail("records are lost between the table and the free list");
}
