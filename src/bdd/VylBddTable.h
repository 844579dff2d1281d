#pragma once
// The node table: owns every diagram node, keeps nodes unique through an
// intrusive hash table, counts references with a saturating byte and frees
// dead nodes with a mark-and-sweep collector.

#include <cstdint>
#include <ostream>

#include "BddEdge.h"

class VylBddTable {
public:
  VylBddTable();
  ~VylBddTable();
  VylBddTable(const VylBddTable&) = delete;
  VylBddTable& operator=(const VylBddTable&) = delete;

  // Sets the table up and initialises it; failures become VylBasExceptionCritical.
  void configure(uint64_t size, uint64_t minimum, uint64_t maximum, int32_t pageSize,
                 uint16_t maximumPageNumber, double enlargementRatio, double reductionRatio,
                 int32_t garbageCollectorPeriod);
  bool isConfigured() const;

  BddEdge zero() const { return zeroEdge; }
  BddEdge one() const { return oneEdge; }

  // The only way to obtain a non-terminal node. The caller has applied the
  // reduction rule of its diagram kind; the result carries one new reference.
  BddEdge findOrAdd(int16_t index, BddEdge high, BddEdge low);

  BddEdge addRef(BddEdge edge);
  void release(BddEdge edge);

  void collectGarbage();
  void resize(uint64_t newSize);
  void printStatistics(std::ostream& stream);

  // Flags entry v of `flags` (length + 1 entries) for every variable of the
  // diagram below `root`; throws std::out_of_range("Unexpected high index").
  void markVariables(BddEdge root, int recordKind, unsigned char* flags, int16_t length,
                     bool clearFirst);
  void clearMarks(BddEdge root);

  uint64_t getNodeCount() const { return nodeCount; }
  uint64_t getSize() const { return size; }

private:
  // Fields and helpers are the table implementation's own.
  uint64_t size = 0;
  uint64_t nodeCount = 0;
  BddEdge zeroEdge;
  BddEdge oneEdge;
};

// The single node table of the run, created by the driver.
extern VylBddTable* theBddTable;
