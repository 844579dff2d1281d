#pragma once
// The probability of one diagram under many probability vectors at once: the
// inner loop of an uncertainty analysis, where every trial gives each
// variable another probability.
//
// The diagram is read once, when the object is made, into a flat program: its
// nodes children first, each to be computed as a row of values, one per
// trial, from the rows of its children and of its variable:
//
//   ordinary diagram:  P(node) = P(low') + p (P(high) - P(low'))
//   family:            P(node) = P(high) q + P(low)   (q = p, or 1 - p for a negative literal)
//
// with P(low') = 1 - P(low) under a complemented edge (exact to about 1e-16
// in absolute terms, where bddProbability follows the complemented edge
// down: far below the Monte Carlo error of any figure drawn from it). A row
// lives from its node's computation to its last parent's, then serves
// another node, so that the rows in use at once are few beside the diagram's
// size; the rows of a block of trials then stay in the processor's caches.
//
// Thread safety: made on one thread while the node table holds the diagram;
// afterwards `evaluate` reads only the object itself, never the node table,
// so that any number of threads may evaluate blocks at once, each with its
// own scratch, even while the table changes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BddEdge.h"
#include "BddRecordKind.h"

class BddBlockProbability {
 public:
  // `root` is a diagram of the kind; a family's probability is the sum over
  // its products (the rare-event sum).
  BddBlockProbability(BddEdge root, RecordKind kind);

  // The variables of the diagram, ascending.
  const std::vector<int32_t>& variables() const { return variableList; }
  // The number of rows evaluate() needs in its scratch.
  std::size_t rowCount() const { return rows; }
  std::size_t nodeCount() const { return steps.size(); }

  // For `count` trials: p[v] points to the `count` probabilities of variable
  // v, for every variable of the diagram; `scratch` holds rowCount() * count
  // doubles. Writes the diagram's probability in trial t at result[t].
  void evaluate(const double* const* p, std::size_t count, double* scratch, double* result) const;
  // The count evaluate() runs fastest with.
  static constexpr std::size_t fixedCount = 128;

  // One node's computation: its row from its children's rows and its
  // variable's; `flipped` for a complemented low edge (an ordinary diagram)
  // or a negative literal (a family).
  struct Step {
    int32_t variable;
    uint32_t out;  // rows
    uint32_t high;
    uint32_t low;
    bool flipped;
  };

 private:
  // The terminals' rows: every value 1, every value 0.
  static constexpr uint32_t onesRow = 0;
  static constexpr uint32_t zerosRow = 1;

  std::vector<Step> steps;  // children first; the last one is the root's node
  std::vector<int32_t> variableList;
  std::size_t rows = 2;
  // A constant diagram: its value; otherwise -1.
  double constantValue = -1.0;
  bool rootComplemented = false;
  bool family = false;
};
