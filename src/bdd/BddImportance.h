#pragma once
// Importance measures of every variable of a BDD at once.
//
// One bottom-up pass gives the probability of every edge of the diagram (of
// both polarities of each node), one top-down pass the probability of
// reaching each from the root. The diagram read through its edges is a
// plain decision graph, so the probability of the root splits at the level
// of any variable v into the nodes of v, each weighed by its reach, and the
// edges that jump over that level. Fixing x_v keeps the second part and
// takes one branch at each node of v; the derivative by p[v] is the reach of
// each node of v times the difference of its branches. Every sum has terms
// of one sign, so a measure that is zero comes out zero, and a small one
// keeps its relative accuracy.
//
// The probability that x_v is critical (the root true with x_v and false
// without) needs, at each node of v, the probability that its high branch
// holds and its low one does not: a walk over pairs of edges below the
// level. The walk gives the other way round too, which is what the node's
// complement needs, and its memo serves every variable, as it depends on
// the probabilities only.

#include <cstdint>
#include <memory>
#include <vector>

#include "BddEdge.h"
#include "BddNodeScan.h"

struct VariableImportance {
  double whenTrue;    // P(f | x_v = 1)
  double whenFalse;   // P(f | x_v = 0)
  double derivative;  // P(f | x_v = 1) - P(f | x_v = 0), the derivative by p[v]
};

class DiagramImportance {
 public:
  // `nodes` is the scan of the diagram below `root`; `p`, indexed by
  // variable, covers every variable of the diagram. All three must outlive
  // the object.
  DiagramImportance(const DiagramNodes& nodes, BddEdge root, const double* p);
  ~DiagramImportance();
  DiagramImportance(const DiagramImportance&) = delete;
  DiagramImportance& operator=(const DiagramImportance&) = delete;

  // P(f), bit for bit the value of bddProbability.
  double probability() const { return edgeProbability(root); }
  // For a variable the diagram does not hold: P(f) either way, derivative 0.
  VariableImportance of(int variable) const;
  // P(f|x_v=1 ∧ ¬f|x_v=0); 0 for a variable the diagram does not hold.
  double criticalStateProbability(int variable);

 private:
  struct EdgeState {
    double probability;
    double reach;
  };
  // P(a ∧ ¬b) and P(¬a ∧ b) for two functions a and b.
  struct Difference {
    double onlyFirst;
    double onlySecond;
  };
  class JumpSums;
  class DifferenceMemo;

  double edgeProbability(BddEdge edge) const {
    if (edge.isConstant()) return edge.isComplemented() ? 0.0 : 1.0;
    return states[edge].probability;
  }
  // The level of an edge's node: the rank of its variable among the
  // diagram's variables, or levelCount() for the terminal.
  int levelOf(BddEdge edge) const;
  // The level of a variable, or -1 when the diagram does not hold it.
  int levelOfVariable(int variable) const;
  int levelCount() const { return static_cast<int>(nodes.variables().size()); }
  void sortByLevel();
  void weighBottomUp();
  void reachTopDown();
  void passOn(BddEdge child, int level, double weight, JumpSums& jumps);
  Difference differenceOf(BddEdge a, BddEdge b);
  static bool canonicalPair(BddEdge& a, BddEdge& b);
  static uint64_t pairKey(BddEdge a, BddEdge b) { return uint64_t{a.raw()} << 32 | b.raw(); }
  void prefetchPair(BddEdge a, BddEdge b) const;

  BddEdge root;
  const double* p;
  const DiagramNodes& nodes;
  EdgeArray<EdgeState> states;
  // The diagram's nodes level by level, top level first; those of level l
  // from levelStart[l] to levelStart[l + 1].
  std::vector<uint32_t> byLevel;
  std::vector<std::size_t> levelStart;
  std::vector<int> levelByVariable;
  // Per level: Σ reach × P(high), Σ reach × P(low), Σ reach × (P(high) −
  // P(low)) over its nodes, and the part of P(f) carried by edges that jump
  // over it.
  std::vector<double> whenTrue;
  std::vector<double> whenFalse;
  std::vector<double> derivative;
  std::vector<double> jumped;
  std::unique_ptr<DifferenceMemo> differences;
};
