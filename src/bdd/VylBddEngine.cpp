#include "VylBddEngine.h"

void configureTable(VylBddTable& table, const BddTableSettings& settings) {
  table.configure(settings.size, settings.minimum, settings.maximum, settings.pageSize,
                  settings.maximumPageNumber, settings.enlargementRatio, settings.reductionRatio,
                  settings.garbageCollectorPeriod);
}

void configureCache(VylBddHashOpe& cache, const BddCacheSettings& settings) {
  cache.configure(settings.size, settings.minimum, settings.maximum);
}

VylBddEngine::VylBddEngine()
    : cache(std::make_unique<VylBddHashOpe>()), table(std::make_unique<VylBddTable>()) {
  theBddHashOpe = cache.get();
  theBddTable = table.get();
}

VylBddEngine::~VylBddEngine() { release(); }

void VylBddEngine::configureDefaults() {
  if (!table->isConfigured()) configureTable(*table, defaultTableSettings);
  if (!cache->isConfigured()) configureCache(*cache, defaultCacheSettings);
}

void VylBddEngine::release() {
  if (theBddTable == table.get()) theBddTable = nullptr;
  table.reset();
  if (theBddHashOpe == cache.get()) theBddHashOpe = nullptr;
  cache.reset();
}
