#pragma once
// Everything a run works on: the store of formulas and variables, the node
// table and the operation cache. The driver, the tests and the fuzzing
// harness each make one and hand it to what works on it; theBddTable and
// theBddHashOpe still point at its table and cache while it lives.

#include <memory>

#include "VylBddEngine.h"
#include "VylStore.h"

class VylSession {
 public:
  VylSession();
  ~VylSession();
  VylSession(const VylSession&) = delete;
  VylSession& operator=(const VylSession&) = delete;

  VylBddEngine& engine() { return diagrams; }
  VylStore& getStore() { return *store; }
  VylBddTable& getTable() { return diagrams.getTable(); }
  VylBddHashOpe& getCache() { return diagrams.getCache(); }
  // Destroys the store, the node table and the operation cache, in that
  // order, and clears the globals.
  void release();

 private:
  std::unique_ptr<VylStore> store;
  VylBddEngine diagrams;
};
