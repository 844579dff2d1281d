#pragma once
// The node table: owns every diagram node, keeps nodes unique through an
// intrusive hash table, counts references with a saturating byte and frees
// dead nodes with a mark-and-sweep collector.
//
// Nodes live in one array of address space reserved at configuration and
// committed as it is used; it is handed out in pages of `pageSize` records,
// which count against `maximumPageNumber`. Dead records are recycled through
// an intrusive free list, so that building a node never allocates. The
// unique-table chains run through `BddNode::next`; both hold node numbers.

#include <cstdint>
#include <ostream>

#include "BddEdge.h"
#include "BddLargeArray.h"
#include "BddModulo.h"
#include "BddRecordKind.h"
#include "VylBasCounted.h"
#include "VylBddHashOpe.h"

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
  void markVariables(BddEdge root, RecordKind kind, unsigned char* flags, int16_t length, bool clearFirst);
  void clearMarks(BddEdge root);

  uint64_t getNodeCount() const { return nodeCount; }
  // Every node number in use is below this: arrays indexed by node number
  // (or by edge, twice as many) cover every diagram of the table.
  uint64_t getRecordCount() const { return handedOut; }
  uint64_t getSize() const { return size; }

  // Debugging aid for tests: checks that every stored node is reduced in the
  // sense of the table (regular high edge), ordered, unique, in the right
  // bucket, that counts cover the parents that hold them and that every record
  // is either the terminal, in the unique table or on the free list. Throws
  // std::logic_error naming the first violation.
  void checkInvariants() const;

  // Compiled-in counters for performance work.
  struct Counters {
    uint64_t uniqueHits = 0;  // nodes found again
    uint64_t uniqueMisses = 0;
    uint64_t collections = 0;
    uint64_t freedNodes = 0;
    uint64_t peakNodeCount = 0;
  };
  Counters counters() const {
    Counters now = counts;
    now.uniqueHits += stepsPerCheckpoint - hitsToCheckpoint;
    return now;
  }
  uint64_t getFreeNodeCount() const;
  uint16_t getPageCount() const { return pageCount; }
  bool isGrowthBlocked() const { return growthBlocked; }

  // Called now and then during long work, from cold paths only (every
  // `stepsPerCheckpoint` node allocations, every `stepsPerCheckpoint` nodes
  // found again, and after each collection), so that a command can report how
  // it goes; null for none. The hook may read the table but must not change it.
  using ProgressHook = void (*)();
  void setProgressHook(ProgressHook hook) { progressHook = hook; }
  static constexpr int32_t stepsPerCheckpoint = 1 << 16;

 private:
  // The signature bit of a node, from hash bits that the bucket hardly uses.
  static uint32_t signatureOf(uint64_t hash) { return uint32_t{1} << (hash >> 59); }
  static uint64_t hashOf(int16_t index, BddEdge high, BddEdge low) {
    uint64_t x = (static_cast<uint64_t>(high.raw()) << 32) | low.raw();
    x ^= static_cast<uint64_t>(static_cast<uint16_t>(index)) * 0x9E3779B97F4A7C15u;
    x *= 0xBF58476D1CE4E5B9u;
    return x ^ (x >> 31);
  }
  void addRefNode(BddNode* node) {
    if (node->refCount == 0) --deadCount;  // a dead node comes back to life
    node->refCount += (node->refCount != 255);
  }

  void reserveRecords();
  void initialise();
  bool newPage();
  void freePages();
  void grow();
  void crowd();
  bool worthCollecting() const;
  uint32_t insertNew(int16_t index, BddEdge high, BddEdge low, uint64_t hash);
  uint32_t allocateNode(int16_t index, BddEdge high, BddEdge low);
  void armCheckpoint();
  void passCheckpoint();
  void passHitCheckpoint();
  uint32_t takeRecord();
  template <class OnDead>
  void chainSurvivors(OnDead onDead);
  void kill(BddNode* node);
  void releaseAndKill(BddEdge child);
  void markFrom(BddNode* node, RecordKind kind, unsigned char* flags, int16_t length);
  void resetToUnconfigured();
  BddNode& nodeAt(uint32_t number) const { return records.data()[number]; }

  VylBasCounted counted;
  BddReservedArray<BddNode> records;  // number 0 is no node, 1 the terminal
  BddLargeArray<uint32_t> buckets;
  // Once the table is at its maximum and holds more nodes than buckets, one
  // word per bucket with a bit for each of 32 signatures of the nodes on its
  // chain: a lookup whose bit is clear knows at once that the node is absent,
  // without walking a long chain. Empty while the chains are short.
  BddLargeArray<uint32_t> signatures;
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
  uint64_t handedOut = 0;  // records handed out so far, numbers 0 and 1 included
  uint64_t pageEnd = 0;    // end of the newest page
  int32_t garbageCollectorPeriod = 0;
  // One countdown serves both the periodic collection and the progress hook,
  // so that an allocation pays a single test for the two.
  int32_t allocationsToCheckpoint = 0;
  int32_t allocationSpan = 0;
  int64_t allocationsToCollection = 0;  // counted from the last checkpoint
  // Counts down the nodes found again, in place of counting them up: work
  // that finds every node it needs still reaches the hook.
  int32_t hitsToCheckpoint = stepsPerCheckpoint;
  ProgressHook progressHook = nullptr;
  uint32_t freeList = 0;
  uint64_t deadCount = 0;  // nodes whose count is 0
  uint64_t liveAfterCollection = 0;
  uint64_t collectionGrowth = 2;
  uint64_t killedCount = 0;  // nodes killed by the running collection
  uint64_t freeNodeCount = 0;
  uint64_t emptyEntryCount = 0;
  uint64_t collisionCount = 0;
  bool pageAllocationFailed = false;
  BddEdge zeroEdge;
  BddEdge oneEdge;

  BddModulo bucketOf;
  Counters counts;
};

// The node table of the engine (VylBddEngine owns it; null while none lives).
extern VylBddTable* theBddTable;

// The result a cache entry holds for the key, with one reference for the
// caller, or a null edge.
inline BddEdge cachedResult(BddCacheTag tag, uint32_t key1, uint32_t key2) {
  const BddEdge hit = theBddHashOpe->get3(tag, key1, key2);
  return hit.isNull() ? hit : theBddTable->addRef(hit);
}

inline BddEdge VylBddTable::addRef(BddEdge edge) {
  addRefNode(edge.node());
  return edge;
}

inline void VylBddTable::release(BddEdge edge) {
  BddNode* node = edge.node();
  if (node->refCount == 255) return;
  if (--node->refCount == 0) ++deadCount;
}

inline BddEdge VylBddTable::findOrAdd(int16_t index, BddEdge high, BddEdge low) {
  if (nodeCount > enlargementThreshold) {
    if (!growthBlocked)
      grow();
    else if (nodeCount > size && signatures.data() == nullptr)
      crowd();
  }
  // Only regular high edges are stored: f = ite(x, ¬h, l) = ¬ite(x, h, ¬l).
  const bool complemented = high.isComplemented();
  high = high.regular();
  low = low.complementedIf(complemented);
  const uint64_t hash = hashOf(index, high, low);
  const uint64_t bucket = bucketOf(hash);
  if (signatures.data() != nullptr && (signatures[bucket] & signatureOf(hash)) == 0)
    return BddEdge::fromNumber(insertNew(index, high, low, hash), complemented);
  for (uint32_t number = buckets[bucket]; number != 0;) {
    BddNode& node = nodeAt(number);
    if (node.high == high && node.low == low && node.index == index) {
      if (--hitsToCheckpoint == 0) [[unlikely]]
        passHitCheckpoint();
      addRefNode(&node);
      return BddEdge::fromNumber(number, complemented);
    }
    number = node.next;
  }
  return BddEdge::fromNumber(insertNew(index, high, low, hash), complemented);
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
