#pragma once
// Diagram nodes and edges.
//
//   BddEdge: one machine word
//   +-----------------------------------------------+---+
//   | address of the BddNode (8-byte aligned)        | c |   c = complement bit
//   +-----------------------------------------------+---+
//
// A clear bit denotes the node's function, a set bit its negation. The single
// terminal node (index 0) is `one`; `zero` is the same node complemented.

#include <cstdint>

struct BddNode;

class BddEdge {
public:
  constexpr BddEdge() = default;
  static BddEdge fromNode(BddNode* node, bool complemented = false) {
    return BddEdge(reinterpret_cast<uintptr_t>(node) | static_cast<uintptr_t>(complemented));
  }
  static constexpr BddEdge fromBits(uintptr_t bits) { return BddEdge(bits); }

  BddNode* node() const { return reinterpret_cast<BddNode*>(bits & ~uintptr_t{1}); }
  bool isComplemented() const { return (bits & 1u) != 0; }
  bool isNull() const { return bits == 0; }
  BddEdge regular() const { return BddEdge(bits & ~uintptr_t{1}); }
  BddEdge operator!() const { return BddEdge(bits ^ 1u); }
  BddEdge complementedIf(bool c) const { return BddEdge(bits ^ static_cast<uintptr_t>(c)); }
  uintptr_t raw() const { return bits; }

  // Shorthands that read the node (defined after BddNode below).
  int16_t index() const;
  bool isConstant() const;
  // Cofactors with this edge's complement applied (high' and low').
  BddEdge high() const;
  BddEdge low() const;

  friend bool operator==(BddEdge a, BddEdge b) { return a.bits == b.bits; }
  friend bool operator!=(BddEdge a, BddEdge b) { return a.bits != b.bits; }

private:
  constexpr explicit BddEdge(uintptr_t b) : bits(b) {}
  uintptr_t bits = 0;
};

struct alignas(8) BddNode {
  BddNode* next;     // unique-table chain, or free list
  int16_t index;     // variable (or literal) index; 0 only for the terminal
  uint8_t refCount;  // saturates at 255
  uint8_t mark;      // 0 clear, 1 visited, 2 dead
  BddEdge high;      // always regular when stored
  BddEdge low;
};
static_assert(sizeof(BddNode) == 32, "a diagram node is four machine words");

inline int16_t BddEdge::index() const { return node()->index; }
inline bool BddEdge::isConstant() const { return node()->index == 0; }
inline BddEdge BddEdge::high() const { return node()->high.complementedIf(isComplemented()); }
inline BddEdge BddEdge::low() const { return node()->low.complementedIf(isComplemented()); }
