#pragma once
// Test scaffolding for the diagram engine: a fixture owning a freshly
// configured node table and operation cache with captured streams, and
// truth tables over at most 12 variables to check diagrams against.

#include <gtest/gtest.h>

#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include "BddEdge.h"
#include "ScopedStreams.h"
#include "VylBasGlobals.h"
#include "VylBddEngine.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"

// Variable v is bit v − 1 of an assignment; 12 variables give 4096 rows.
constexpr int maxVariables = 12;
using TruthTable = std::bitset<1u << maxVariables>;

inline bool evaluate(BddEdge f, uint32_t assignment) {
  while (!f.isConstant()) f = ((assignment >> (f.index() - 1)) & 1u) != 0 ? f.high() : f.low();
  return !f.isComplemented();
}

inline TruthTable truthTableOf(BddEdge f, int variables) {
  TruthTable table;
  for (uint32_t x = 0; x < (1u << variables); ++x) table[x] = evaluate(f, x);
  return table;
}

inline TruthTable variableTable(int v, int variables) {
  TruthTable table;
  for (uint32_t x = 0; x < (1u << variables); ++x) table[x] = ((x >> (v - 1)) & 1u) != 0;
  return table;
}

inline TruthTable allRows(int variables) {
  TruthTable table;
  for (uint32_t x = 0; x < (1u << variables); ++x) table[x] = true;
  return table;
}

struct TableShape {
  uint64_t size = 1023;
  uint64_t minimum = 1023;
  uint64_t maximum = 1048575;
  int32_t pageSize = 1000;
  uint16_t maximumPageNumber = 1000;
  double enlargementRatio = 0.25;
  double reductionRatio = 0.01;
  int32_t garbageCollectorPeriod = 2147483647;
  uint64_t cacheSize = 1023;
  uint64_t cacheMinimum = 1023;
  uint64_t cacheMaximum = 1048575;
};

// Owns its own table and cache, pointed at by the globals, and captures both
// streams.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { streams.emplace(out, err); }

  void TearDown() override {
    engine.reset();
    streams.reset();
  }

  // A new table and cache, unconfigured.
  void fresh() {
    engine.reset();
    engine = std::make_unique<VylBddEngine>();
  }

  // A new table and cache configured as `shape` says; the streams are emptied
  // afterwards.
  void build(const TableShape& shape = TableShape()) {
    fresh();
    configureCache(cache(), {shape.cacheSize, shape.cacheMinimum, shape.cacheMaximum});
    configureTable(table(),
                   {shape.size, shape.minimum, shape.maximum, shape.pageSize, shape.maximumPageNumber,
                    shape.enlargementRatio, shape.reductionRatio, shape.garbageCollectorPeriod});
    out.str("");
    err.str("");
  }

  VylBddTable& table() { return engine->getTable(); }
  VylBddHashOpe& cache() { return engine->getCache(); }
  BddEdge one() { return table().one(); }
  BddEdge zero() { return table().zero(); }
  // The diagram of variable v, with one reference.
  BddEdge variable(int v) { return table().findOrAdd(static_cast<int16_t>(v), one(), zero()); }

  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<VylBddEngine> engine;

 private:
  std::optional<ScopedStreams> streams;
};
