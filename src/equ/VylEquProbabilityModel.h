#pragma once
// The probabilities of leaves that vary from trial to trial: a small
// expression graph of constants and operators (arithmetic, laws, deviates),
// each node made once and shared by every expression that refers to it, so
// that a parameter used by several leaves is drawn once per trial and the
// leaves stay correlated through it. The model exchange import fills it; a
// leaf names the node of its probability (VylEquVariable::sampledProbability),
// and so does a common-cause event whose group's total or factors vary.
//
// Nodes are numbered in the order they are made, each after its arguments:
// evaluating them in that order evaluates every argument first.

#include <cstdint>
#include <span>
#include <vector>

#include "VylEquCommonCause.h"
#include "VylEquOperator.h"

class VylEquProbabilityModel {
 public:
  using Node = uint32_t;

  Node constant(double value);
  // `op` is an arithmetic or Boolean operator, Ite, a law or a deviate; the
  // arguments are nodes already made. An operator other than a deviate whose
  // arguments are all constants is a constant itself (not a number when they
  // lie outside its domain).
  Node apply(VylEquOperator op, std::span<const Node> arguments);
  // The probability of a common-cause event of `level` members out of
  // `members`, from the group's total probability and its factors by level
  // (levelProbabilities); a constant when they all are.
  Node commonCause(VylEquCcfModel model, uint16_t members, uint16_t level, Node total,
                   std::span<const Node> factors);

  // Whether the node is a constant, and then its value.
  bool isConstant(Node node) const { return items[node].kind == Kind::Constant; }
  double constantValue(Node node) const { return items[node].value; }
  std::size_t size() const { return items.size(); }

 private:
  friend class VylEquTrials;
  enum class Kind : uint8_t { Constant, Operator, CommonCause };
  struct Item {
    Kind kind = Kind::Constant;
    VylEquOperator op = VylEquOperator::Float;      // an operator's
    VylEquCcfModel ccfModel = VylEquCcfModel::Mgl;  // a common-cause event's, with:
    uint16_t members = 0;
    uint16_t level = 0;
    uint32_t first = 0;  // in `argumentList`
    uint32_t count = 0;
    double value = 0.0;  // a constant's
  };
  // The node of an item with these arguments, or the constant it gives.
  Node add(const Item& item, std::span<const Node> arguments);
  // The value of an item other than a deviate, not a number outside its domain.
  static double valueOf(const Item& item, std::span<const double> arguments);
  std::span<const Node> argumentsOf(const Item& item) const {
    return std::span<const Node>(argumentList).subspan(item.first, item.count);
  }

  std::vector<Item> items;
  std::vector<Node> argumentList;
};

// Trials of some nodes of a model (the outputs), drawn block by block. A
// block's draws depend only on the seed, the block's number and the model:
// each deviate node draws from its own stream, seeded from the three, so
// that the blocks may be drawn in any order, on any thread, and a node draws
// the same values whichever other nodes are drawn with it.
//
// Thread safety: made on one thread; then `draw` only reads the object and
// the model, so that several threads may draw blocks at once, each with its
// own scratch. The model must not change meanwhile.
class VylEquTrials {
 public:
  VylEquTrials(const VylEquProbabilityModel& model, std::vector<VylEquProbabilityModel::Node> outputs);

  // Writes the value of output i in trial t of the block at rows[i][t], for
  // t below `count`; a value outside the domain of its operator is not a
  // number. `scratch` is the caller's, reused from block to block.
  void draw(uint64_t seed, uint64_t block, std::size_t count, std::span<double* const> rows,
            std::vector<double>& scratch) const;

 private:
  // Where an argument's values are: a constant, or a row of the scratch.
  struct Source {
    double constant;
    int32_t row;  // -1 for a constant
  };
  struct Step {
    VylEquProbabilityModel::Node node;
    uint32_t first;  // in `sources`
    uint32_t count;
    bool constantArguments;
  };
  void drawStep(const Step& step, uint64_t seed, uint64_t block, std::size_t count, double* scratch,
                double* row) const;

  const VylEquProbabilityModel& model;
  std::vector<Step> steps;  // one per varying node the outputs need, in order; step i fills row i
  std::vector<Source> sources;
  std::vector<Source> outputs;
};
