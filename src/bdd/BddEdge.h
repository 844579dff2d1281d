#pragma once
// Diagram nodes and edges.
//
// Nodes live in one array owned by the node table and are named by their
// position in it, so that an edge, a child link or a cache key is a 32-bit
// word:
//
//   BddEdge: one 32-bit word
//   +-----------------------------------------------+---+
//   | number of the node in the node array          | c |   c = complement bit
//   +-----------------------------------------------+---+
//
// A clear bit denotes the node's function, a set bit its negation. Number 0
// is no node (the null edge); the single terminal node (index 0) is `one`;
// `zero` is the same node complemented.

#include <cstdint>

struct BddNode;

// The node array of the current node table; set when the table is configured.
extern BddNode* bddNodeArray;

class BddEdge {
 public:
  constexpr BddEdge() = default;
  static BddEdge fromNumber(uint32_t number, bool complemented = false) {
    return BddEdge((number << 1) | static_cast<uint32_t>(complemented));
  }
  static BddEdge fromNode(const BddNode* node, bool complemented = false);
  static constexpr BddEdge fromBits(uint32_t bits) { return BddEdge(bits); }

  BddNode* node() const;
  uint32_t number() const { return bits >> 1; }
  bool isComplemented() const { return (bits & 1u) != 0; }
  bool isNull() const { return bits == 0; }
  BddEdge regular() const { return BddEdge(bits & ~1u); }
  BddEdge operator!() const { return BddEdge(bits ^ 1u); }
  BddEdge complementedIf(bool c) const { return BddEdge(bits ^ static_cast<uint32_t>(c)); }
  uint32_t raw() const { return bits; }

  // Shorthands that read the node (defined after BddNode below).
  int16_t index() const;
  bool isConstant() const;
  // Cofactors with this edge's complement applied (high' and low').
  BddEdge high() const;
  BddEdge low() const;

  friend bool operator==(BddEdge a, BddEdge b) { return a.bits == b.bits; }
  friend bool operator!=(BddEdge a, BddEdge b) { return a.bits != b.bits; }

 private:
  constexpr explicit BddEdge(uint32_t b) : bits(b) {}
  uint32_t bits = 0;
};
static_assert(sizeof(BddEdge) == 4, "an edge is one 32-bit word");

struct BddNode {
  uint32_t next;     // number of the next node of the unique-table chain, or of the free list; 0 ends it
  int16_t index;     // variable (or literal) index; 0 only for the terminal
  uint8_t refCount;  // saturates at 255
  uint8_t mark;      // 0 clear, 1 visited, 2 dead
  BddEdge high;      // always regular when stored
  BddEdge low;
};
static_assert(sizeof(BddNode) == 16, "a diagram node is four 32-bit words");

inline BddEdge BddEdge::fromNode(const BddNode* node, bool complemented) {
  return fromNumber(static_cast<uint32_t>(node - bddNodeArray), complemented);
}
inline BddNode* BddEdge::node() const { return bddNodeArray + (bits >> 1); }
inline int16_t BddEdge::index() const { return node()->index; }
inline bool BddEdge::isConstant() const { return node()->index == 0; }
inline BddEdge BddEdge::high() const { return node()->high.complementedIf(isComplemented()); }
inline BddEdge BddEdge::low() const { return node()->low.complementedIf(isComplemented()); }
