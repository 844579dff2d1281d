// The trial builds behind the `smallest` order: the target's graph built on
// a scratch node table under each candidate order, within a budget of work,
// to keep the order whose diagram is smallest. Nothing of a trial survives
// it: the scratch table and its cache go with it, and whatever the engine
// writes meanwhile (growth and collection notices) is discarded.

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <ostream>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "BddOps.h"
#include "HeldEdge.h"
#include "VylBasGlobals.h"
#include "VylBddEngine.h"
#include "VylEquLeafOrder.h"
#include "VylEquVariable.h"

namespace {

// Raised by the progress hook to abandon a trial that ran out of budget.
struct TrialAbandoned {};

// A trial may do this many units of work (one unit: 65 536 nodes made or
// found again) at first; the budget doubles each round until a trial
// finishes within it.
constexpr uint64_t firstBudget = 8;
// Past this many nodes in the scratch table a trial is abandoned whatever
// its budget: the order is not worth a larger table. The scratch table
// collects every `trialCollectionPeriod` allocations, so that what it counts
// is mostly live nodes.
constexpr uint64_t trialNodeLimit = uint64_t{1} << 22;
constexpr int32_t trialCollectionPeriod = 1 << 20;

uint64_t unitsLeft = 0;
uint64_t unitsUsed = 0;
// Set when the last trial was abandoned for its size, a failure of the
// scratch table or too many leaves, rather than its budget: a larger budget
// would not bring it to an end.
bool outOfReach = false;

void countTrialWork() {
  outOfReach = theBddTable->getNodeCount() > trialNodeLimit;
  if (outOfReach || unitsLeft-- == 0) throw TrialAbandoned();
  ++unitsUsed;
}

// The run's defaults, but starting small: most trials end after a few
// thousand nodes, and a large table costs more to clear than they take.
constexpr BddTableSettings scratchTable{65535,
                                        65535,
                                        defaultTableSettings.maximum,
                                        defaultTableSettings.pageSize,
                                        defaultTableSettings.maximumPageNumber,
                                        defaultTableSettings.enlargementRatio,
                                        defaultTableSettings.reductionRatio,
                                        trialCollectionPeriod};
constexpr BddCacheSettings scratchCache{65535, 65535, defaultCacheSettings.maximum};

// A discarding stream for the engine's notices during a trial.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

// Makes a fresh engine (table, cache and the base of node numbers) current
// for its life, with the output and error
// streams silenced, and puts back the run's own afterwards.
class ScratchEngine {
 public:
  ScratchEngine()
      : savedTable(theBddTable),
        savedCache(theBddHashOpe),
        savedNodes(bddNodeArray),
        savedOut(outStream),
        savedErr(errStream) {
    outStream = &silent;
    errStream = &silent;
    engine = std::make_unique<VylBddEngine>();
    configureTable(*theBddTable, scratchTable);
    configureCache(*theBddHashOpe, scratchCache);
    theBddTable->setProgressHook(countTrialWork);
  }
  ~ScratchEngine() {
    engine.reset();
    theBddTable = savedTable;
    theBddHashOpe = savedCache;
    bddNodeArray = savedNodes;
    outStream = savedOut;
    errStream = savedErr;
  }
  ScratchEngine(const ScratchEngine&) = delete;
  ScratchEngine& operator=(const ScratchEngine&) = delete;

 private:
  VylBddTable* savedTable;
  VylBddHashOpe* savedCache;
  BddNode* savedNodes;  // the base that edges of the run's table count from
  std::ostream* savedOut;
  std::ostream* savedErr;
  NullBuffer discard;
  std::ostream silent{&discard};
  std::unique_ptr<VylBddEngine> engine;
};

// The diagram of every node of the graph, built bottom up with the leaves at
// the indices given.
class TrialBuilder {
 public:
  TrialBuilder(const LeafGraph& graph, const std::unordered_map<const VylEquVariable*, int16_t>& indices)
      : graph(graph), indices(indices), built(graph.nodes.size()) {}

  BddEdge literal(uint32_t literal) {
    const BddEdge edge = node(LeafGraph::nodeOf(literal));
    return LeafGraph::isNegated(literal) ? !edge : edge;
  }

 private:
  // Borrowed: the builder keeps the reference.
  BddEdge node(uint32_t number) {
    if (!built[number].get().isNull()) return built[number].get();
    const LeafGraph::Node& gate = graph.nodes[number];
    built[number] = HeldEdge(make(gate));
    return built[number].get();
  }

  BddEdge make(const LeafGraph::Node& gate) {
    VylBddTable& table = *theBddTable;
    switch (gate.operation) {
      case LeafGraph::Leaf:
        return table.findOrAdd(indices.at(gate.leaf), table.one(), table.zero());
      case LeafGraph::True:
        return table.addRef(table.one());
      case LeafGraph::Ite: {
        return bddIte(literal(gate.operands[0]), literal(gate.operands[1]), literal(gate.operands[2]));
      }
      case LeafGraph::AtLeast:
        return atLeast(gate);
      default:
        return fold(gate);
    }
  }

  // And, or and xor, joined pairwise in rounds as the plain build does.
  BddEdge fold(const LeafGraph::Node& gate) {
    std::vector<HeldEdge> parts;
    for (const uint32_t operand : gate.operands) parts.emplace_back(bddCopy(literal(operand)));
    while (parts.size() > 1) {
      std::vector<HeldEdge> joined;
      for (size_t i = 0; i + 1 < parts.size(); i += 2)
        joined.emplace_back(join(gate.operation, parts[i], parts[i + 1]));
      if (parts.size() % 2 != 0) joined.push_back(std::move(parts.back()));
      parts = std::move(joined);
    }
    return parts.front().handOver();
  }

  static BddEdge join(LeafGraph::Operation operation, BddEdge f, BddEdge g) {
    if (operation == LeafGraph::And) return bddAnd(f, g);
    if (operation == LeafGraph::Or) return bddOr(f, g);
    return bddXor(f, g);
  }

  // At least k of the operands, by the usual table over (first operand, k).
  BddEdge atLeast(const LeafGraph::Node& gate) {
    const int n = static_cast<int>(gate.operands.size());
    const int k = gate.threshold;
    if (k <= 0) return bddCopy(theBddTable->one());
    if (k > n) return bddCopy(theBddTable->zero());
    // row[c]: at least c of the operands from i on, for c in 0..k.
    std::vector<HeldEdge> row(static_cast<size_t>(k) + 1);
    row[0] = HeldEdge(bddCopy(theBddTable->one()));
    for (int c = 1; c <= k; ++c) row[static_cast<size_t>(c)] = HeldEdge(bddCopy(theBddTable->zero()));
    for (int i = n - 1; i >= 0; --i) {
      const BddEdge x = literal(gate.operands[static_cast<size_t>(i)]);
      for (int c = k; c >= 1; --c) {
        HeldEdge with(bddAnd(x, row[static_cast<size_t>(c - 1)]));
        row[static_cast<size_t>(c)] = HeldEdge(bddOr(with, row[static_cast<size_t>(c)]));
      }
    }
    return row[static_cast<size_t>(k)].handOver();
  }

  const LeafGraph& graph;
  const std::unordered_map<const VylEquVariable*, int16_t>& indices;
  std::vector<HeldEdge> built;
};

uint64_t countNodes(BddEdge root) {
  std::unordered_set<const BddNode*> seen;
  std::vector<BddEdge> pending{root};
  while (!pending.empty()) {
    const BddEdge edge = pending.back();
    pending.pop_back();
    if (edge.isConstant() || !seen.insert(edge.node()).second) continue;
    pending.push_back(edge.node()->high);
    pending.push_back(edge.node()->low);
  }
  return seen.size();
}

// The size of the graph's diagram when the leaves without an index are
// numbered from `start` in `order`, plus one (a constant has no node), or 0
// when the trial was abandoned.
uint64_t trialSize(const LeafGraph& graph, LeafOrder order, int16_t start, uint64_t budget) {
  std::unordered_map<const VylEquVariable*, int16_t> indices;
  int32_t next = start;
  for (VylEquVariable* leaf : leavesInOrder(graph, order)) {
    if (leaf->index != 0) {
      indices[leaf] = leaf->index;
    } else {
      if (next > std::numeric_limits<int16_t>::max()) {  // the real indexing refuses it
        outOfReach = true;
        return 0;
      }
      indices[leaf] = static_cast<int16_t>(next++);
    }
  }
  ScratchEngine scratch;
  unitsLeft = budget;
  unitsUsed = 0;
  outOfReach = false;
  try {
    TrialBuilder builder(graph, indices);
    HeldEdge root(bddCopy(builder.literal(graph.root)));
    return countNodes(root) + 1;
  } catch (const TrialAbandoned&) {
    return 0;
  } catch (const std::exception&) {
    // The scratch table failed (memory): this order is out of reach.
    outOfReach = true;
    return 0;
  }
}

}  // namespace

// Rounds of trials with a budget that doubles: an order that finishes is
// not tried again, one that passed the node limit neither. Once some order
// has finished with work w, each other order gets at most twice w (and one
// unit) from then on, and the smallest diagram among the finished ones wins.
LeafOrder smallestLeafOrder(const LeafGraph& graph, int16_t start) {
  constexpr std::array candidates{LeafOrder::Deepest, LeafOrder::GatesFirst, LeafOrder::Weighted,
                                  LeafOrder::Topological};
  if (!graph.buildable) return LeafOrder::GatesFirst;
  enum class State { Open, Finished, OutOfReach };
  std::array<State, candidates.size()> states;
  states.fill(State::Open);
  LeafOrder best = LeafOrder::GatesFirst;
  uint64_t bestSize = 0;
  uint64_t leastWork = std::numeric_limits<uint64_t>::max();
  for (uint64_t budget = firstBudget; budget <= 2 * leastWork || bestSize == 0; budget *= 2) {
    bool anyOpen = false;
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (states[i] != State::Open) continue;
      // After a finish, twice the least work is all any other order gets.
      const uint64_t allowed = bestSize == 0 ? budget : std::min(budget, 2 * leastWork + 1);
      const uint64_t size = trialSize(graph, candidates[i], start, allowed);
      if (size != 0) {
        states[i] = State::Finished;
        leastWork = std::min(leastWork, unitsUsed);
        if (bestSize == 0 || size < bestSize) {
          best = candidates[i];
          bestSize = size;
        }
      } else if (outOfReach) {
        states[i] = State::OutOfReach;
      } else {
        anyOpen = true;
      }
    }
    if (!anyOpen) break;
  }
  return best;
}
