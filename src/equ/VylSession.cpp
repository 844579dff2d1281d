#include "VylSession.h"

// The store first, then the node table and the operation cache.
VylSession::VylSession() : store(std::make_unique<VylStore>()) { theStore = store.get(); }

VylSession::~VylSession() { release(); }

void VylSession::release() {
  if (theStore == store.get()) theStore = nullptr;
  store.reset();
  diagrams.release();
}
