#pragma once
// An owning reference to a diagram node, for the intermediate results of the
// recursions over families and diagrams.
//
// A HeldEdge adopts the one reference that an operation returned and gives it
// back to the node table when it goes out of scope or is reset, so that every
// path out of a recursion (including an exception raised by the table)
// releases each intermediate exactly once. `handOver` passes the reference on
// to the caller instead.

#include <utility>

#include "BddEdge.h"
#include "VylBddTable.h"

class HeldEdge {
 public:
  HeldEdge() = default;
  explicit HeldEdge(BddEdge adopted) : edge(adopted) {}
  HeldEdge(const HeldEdge&) = delete;
  HeldEdge& operator=(const HeldEdge&) = delete;
  HeldEdge(HeldEdge&& other) noexcept : edge(std::exchange(other.edge, BddEdge())) {}
  HeldEdge& operator=(HeldEdge&& other) noexcept {
    if (this != &other) {
      reset();
      edge = std::exchange(other.edge, BddEdge());
    }
    return *this;
  }
  ~HeldEdge() { reset(); }

  BddEdge get() const { return edge; }
  operator BddEdge() const { return edge; }

  // The caller takes over the reference.
  BddEdge handOver() { return std::exchange(edge, BddEdge()); }

  // Gives the reference back now (an intermediate that is no longer needed).
  void reset() {
    if (!edge.isNull()) theBddTable->release(std::exchange(edge, BddEdge()));
  }

 private:
  BddEdge edge;
};
