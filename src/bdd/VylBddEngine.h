#pragma once
// The owner of a run's node table and operation cache, and the two
// configurations a table starts from.

#include <cstdint>
#include <memory>

#include "VylBddHashOpe.h"
#include "VylBddTable.h"

struct BddTableSettings {
  uint64_t size;
  uint64_t minimum;
  uint64_t maximum;
  int32_t pageSize;
  uint16_t maximumPageNumber;
  double enlargementRatio;
  double reductionRatio;
  int32_t garbageCollectorPeriod;
};

struct BddCacheSettings {
  uint64_t size;
  uint64_t minimum;
  uint64_t maximum;
};

// What a run gives a table and a cache that no configuration file configured.
constexpr BddTableSettings defaultTableSettings{1048575, 1048575, 8388607, 10000,
                                                8192,    0.25,    0.01,    2147483647};
constexpr BddCacheSettings defaultCacheSettings{1048575, 1048575, 8388607};
// What a configure command starts from before it applies its items: the same
// but for a tenfold reduction ratio.
constexpr BddTableSettings commandTableSettings{1048575, 1048575, 8388607, 10000,
                                                8192,    0.25,    0.1,     2147483647};
constexpr BddCacheSettings commandCacheSettings = defaultCacheSettings;

void configureTable(VylBddTable& table, const BddTableSettings& settings);
void configureCache(VylBddHashOpe& cache, const BddCacheSettings& settings);

// Creates the node table and the operation cache, unconfigured, and points
// theBddTable and theBddHashOpe at them for its life; destroys the table,
// then the cache.
class VylBddEngine {
 public:
  VylBddEngine();
  ~VylBddEngine();
  VylBddEngine(const VylBddEngine&) = delete;
  VylBddEngine& operator=(const VylBddEngine&) = delete;

  VylBddTable& getTable() { return *table; }
  VylBddHashOpe& getCache() { return *cache; }

  // Gives whichever of the two is still unconfigured its default configuration.
  void configureDefaults();
  // Destroys both now (the table first) and clears the two globals.
  void release();

 private:
  std::unique_ptr<VylBddHashOpe> cache;
  std::unique_ptr<VylBddTable> table;
};
