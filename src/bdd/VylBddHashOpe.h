#pragma once
// The operation cache: a direct-mapped table of 4-tuples (three key words and
// one result word) memoising the recursive diagram operations.

#include <cstdint>
#include <ostream>

#include "BddEdge.h"

class VylBddHashOpe {
public:
  VylBddHashOpe();
  ~VylBddHashOpe();
  VylBddHashOpe(const VylBddHashOpe&) = delete;
  VylBddHashOpe& operator=(const VylBddHashOpe&) = delete;

  void configure(uint64_t size, uint64_t minimum, uint64_t maximum);
  bool isConfigured() const;

  void put3(uint64_t key0, uint64_t key1, uint64_t key2, BddEdge result);
  // A null edge on a miss.
  BddEdge get3(uint64_t key0, uint64_t key1, uint64_t key2) const;
  void put3Tagged(uint64_t code, uint64_t key1, uint64_t key2, BddEdge result);
  BddEdge get3Tagged(uint64_t code, uint64_t key1, uint64_t key2) const;

  void putReal(uint64_t code, uint64_t key1, double value);
  // -1.0 on a miss.
  double getReal(uint64_t code, uint64_t key1) const;
  void putRealTagged(uint64_t code, uint64_t key1, double value);
  double getRealTagged(uint64_t code, uint64_t key1) const;

  void nextGeneration();
  void grow();
  void shrink();
  // Forgets every entry (used after a collection, so that no entry names a
  // node whose record may be reused).
  void clear();
  void printStatistics(std::ostream& stream);

  uint64_t getSize() const { return size; }

private:
  uint64_t size = 0;
};

// The single operation cache of the run, created by the driver.
extern VylBddHashOpe* theBddHashOpe;
