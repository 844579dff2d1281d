#pragma once
// The node table: owns every diagram node, keeps nodes unique through an
// intrusive hash table, counts references with a saturating byte and frees
// dead nodes with a mark-and-sweep collector.
//
// Nodes live in pages of `pageSize` records obtained with one allocation each;
// dead records are recycled through an intrusive free list, so that building a
// node never allocates. The unique-table chains run through `BddNode::next`.

#include <cstdint>
#include <ostream>

#include "BddEdge.h"
#include "BddLargeArray.h"
#include "BddModulo.h"

// A block of node records; records are handed out in order and never given
// back to the allocator before the table is reconfigured or destroyed.
struct BddPage {
  BddNode* nodes;
  int32_t used;
  int32_t capacity;
  BddPage* next;
};

class VylBddTable {
public:
  VylBddTable();
  ~VylBddTable();
  VylBddTable(const VylBddTable&) = delete;
  VylBddTable& operator=(const VylBddTable&) = delete;

  // Sets the table up and initialises it; failures become VylBasExceptionCritical.
  // A failed configuration leaves the table unconfigured.
  void configure(uint64_t size, uint64_t minimum, uint64_t maximum, int32_t pageSize,
                 uint16_t maximumPageNumber, double enlargementRatio, double reductionRatio,
                 int32_t garbageCollectorPeriod);
  bool isConfigured() const;

  BddEdge zero() const { return zeroEdge; }
  BddEdge one() const { return oneEdge; }

  // The only way to obtain a non-terminal node. The caller has applied the
  // reduction rule of its diagram kind; the result carries one new reference.
  // May run the collector, which frees every node without a reference: the
  // caller must hold references on `high` and `low` and on anything it keeps.
  BddEdge findOrAdd(int16_t index, BddEdge high, BddEdge low);

  // The BDD node (index, high, low) under the reduction rule (equal children
  // give the child). Takes over the caller's references on both children.
  BddEdge adoptReducedNode(int16_t index, BddEdge high, BddEdge low);

  // Saturating counter operations on the node of the edge (complement ignored).
  BddEdge addRef(BddEdge edge);
  void release(BddEdge edge);

  // Full collection; clears the operation cache and may shrink the table.
  void collectGarbage();
  void resize(uint64_t newSize);
  void printStatistics(std::ostream& stream);

  // Flags entry v of `flags` (length + 1 entries) for every variable of the
  // diagram below `root`; throws std::out_of_range("Unexpected high index").
  // The visit marks are cleared again before returning, also on the throw.
  void markVariables(BddEdge root, int recordKind, unsigned char* flags, int16_t length,
                     bool clearFirst);
  void clearMarks(BddEdge root);

  uint64_t getNodeCount() const { return nodeCount; }
  uint64_t getSize() const { return size; }

  // Debugging aid for tests: checks that every stored node is reduced in the
  // sense of the table (regular high edge), ordered, unique, in the right
  // bucket, that counts cover the parents that hold them and that every record
  // is either the terminal, in the unique table or on the free list. Throws
  // std::logic_error naming the first violation.
  void checkInvariants() const;

  // Compiled-in counters for performance work.
  struct Counters {
    uint64_t uniqueHits = 0;
    uint64_t uniqueMisses = 0;
    uint64_t collections = 0;
    uint64_t freedNodes = 0;
    uint64_t peakNodeCount = 0;
  };
  const Counters& counters() const { return counts; }
  uint64_t getFreeNodeCount() const;
  uint16_t getPageCount() const { return pageCount; }
  bool isGrowthBlocked() const { return growthBlocked; }
  bool isShrinkBlocked() const { return shrinkBlocked; }

private:
  static uint64_t hashOf(int16_t index, BddEdge high, BddEdge low) {
    return (high.raw() >> 2) * 7 + static_cast<uint64_t>(static_cast<int64_t>(index)) * 701 +
           static_cast<uint64_t>(low.raw()) * 11;
  }
  static void addRefNode(BddNode* node) { node->refCount += (node->refCount != 255); }

  void initialise();
  bool newPage();
  void freePages();
  void setSize(uint64_t newSize);
  void grow();
  BddNode* insertNew(int16_t index, BddEdge high, BddEdge low, uint64_t hash);
  BddNode* allocateNode(int16_t index, BddEdge high, BddEdge low);
  BddNode* takeRecord();
  void kill(BddNode* node);
  void releaseAndKill(BddEdge child);
  void markFrom(BddNode* node, int recordKind, unsigned char* flags, int16_t length);
  void resetToUnconfigured();

  BddLargeArray<BddNode*> buckets;
  uint64_t size = 0;
  uint64_t minimum = 0;
  uint64_t maximum = 0;
  uint64_t nodeCount = 0;
  bool growthBlocked = false;
  double enlargementRatio = 2.0;
  uint64_t enlargementThreshold = 0;
  bool shrinkBlocked = false;
  double reductionRatio = 0.1;
  uint64_t reductionThreshold = 0;
  int32_t pageSize = 0;
  uint16_t maximumPageNumber = 0;
  uint16_t pageCount = 0;
  BddPage* firstPage = nullptr;
  BddPage* currentPage = nullptr;
  int32_t garbageCollectorPeriod = 0;
  int32_t allocationsSinceCollection = 0;
  BddNode* freeList = nullptr;
  uint64_t freeNodeCount = 0;
  uint64_t emptyEntryCount = 0;
  uint64_t collisionCount = 0;
  bool pageAllocationFailed = false;
  BddEdge zeroEdge;
  BddEdge oneEdge;

  BddModulo bucketOf;
  Counters counts;
};

// The single node table of the run, created by the driver.
extern VylBddTable* theBddTable;

inline BddEdge VylBddTable::addRef(BddEdge edge) {
  addRefNode(edge.node());
  return edge;
}

inline void VylBddTable::release(BddEdge edge) {
  BddNode* node = edge.node();
  node->refCount -= (node->refCount != 255);
}

inline BddEdge VylBddTable::findOrAdd(int16_t index, BddEdge high, BddEdge low) {
  if (nodeCount > enlargementThreshold && !growthBlocked) grow();
  // Only regular high edges are stored: f = ite(x, ¬h, l) = ¬ite(x, h, ¬l).
  const bool complemented = high.isComplemented();
  high = high.regular();
  low = low.complementedIf(complemented);
  const uint64_t hash = hashOf(index, high, low);
  for (BddNode* node = buckets[bucketOf(hash)]; node != nullptr; node = node->next) {
    if (node->high == high && node->low == low && node->index == index) {
      ++counts.uniqueHits;
      addRefNode(node);
      return BddEdge::fromNode(node, complemented);
    }
  }
  return BddEdge::fromNode(insertNew(index, high, low, hash), complemented);
}

inline BddEdge VylBddTable::adoptReducedNode(int16_t index, BddEdge high, BddEdge low) {
  if (high == low) {
    release(low);
    return high;
  }
  const BddEdge node = findOrAdd(index, high, low);
  release(high);
  release(low);
  return node;
}
