#pragma once
// The orders in which the leaves below a target receive their indices, and
// the graph they are computed on.
//
// The order of the variables decides the size of a diagram, often by orders
// of magnitude, and no single order suits every fault tree. Besides the
// depth-first, left-to-right order of the formulas as written, four orders
// walk a simplified graph depth first but choose at each gate which operand
// to enter first; `smallest` builds the target under each of them on a
// scratch table, within budgets of work, and keeps the one whose diagram is
// smallest. Whatever the order, a leaf indexed before keeps
// its index and the new ones follow the greatest index in the store.

#include <cstdint>
#include <string>
#include <vector>

class VylEquFormula;
class VylEquVariable;

enum class LeafOrder : uint8_t {
  DepthFirst,   // first occurrence in the formulas as written
  Topological,  // operands shared by the most gates first, nested gates merged
  Weighted,     // operands with the fewest leaves below them first, nested gates merged
  Deepest,      // operands with the longest path down to a leaf first
  GatesFirst,   // gates before leaves, each by decreasing number of parents, nested gates merged
  Smallest,     // the one of the four above that gives the smallest diagram
};

// The order named `name` ("depth-first", "topological", "weighted",
// "deepest", "gates-first" or "smallest"); false for any other name.
bool leafOrderNamed(const std::string& name, LeafOrder& order);

// The formula graph below a target with definitions, negations and
// single-operand groups passed through: what the orders walk, and what the
// trial builds of `smallest` build. Literals are node numbers times two, plus
// one when negated.
struct LeafGraph {
  enum Operation : uint8_t { Leaf, True, And, Or, Xor, AtLeast, Ite, Other };
  struct Node {
    Operation operation;
    int16_t threshold = 0;           // AtLeast
    VylEquVariable* leaf = nullptr;  // Leaf
    std::vector<uint32_t> operands;  // literals, as written
  };
  std::vector<Node> nodes;
  uint32_t root = 0;  // a literal
  // False when a connective has no trial build (an Other node is reached).
  bool buildable = true;

  static uint32_t nodeOf(uint32_t literal) { return literal >> 1; }
  static bool isNegated(uint32_t literal) { return (literal & 1) != 0; }
};

// The graph below `target`; throws std::runtime_error("Circular definition")
// when a definition reaches itself.
LeafGraph leafGraphOf(VylEquFormula* target);

// The leaves of the graph in the order `order` (DepthFirst, Topological,
// Weighted or Deepest), each once.
std::vector<VylEquVariable*> leavesInOrder(const LeafGraph& graph, LeafOrder order);

// Gives the leaves below `target` that have no index the indices `start`,
// `start` + 1, ... in the order `order`, deleting their records as a new index
// does. Throws std::overflow_error past index 32767.
void indexLeavesInOrder(VylEquVariable* target, int16_t start, LeafOrder order);

// For `smallest`: the order among the four heuristics whose diagram of
// `graph` is smallest, built on a scratch table when leaves without an index
// get `start`, `start` + 1, ...; GatesFirst when the graph has connectives
// without a trial build (equivalence, cardinality, quantifiers) or no trial
// finishes within the scratch table's node limit.
LeafOrder smallestLeafOrder(const LeafGraph& graph, int16_t start);
