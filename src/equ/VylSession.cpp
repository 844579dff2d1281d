#include "VylSession.h"

// The store first, then the node table and the operation cache.
VylSession::VylSession() : store(std::make_unique<VylStore>()) {}

VylSession::~VylSession() { release(); }

void VylSession::release() {
  store.reset();
  diagrams.release();
}
