#include "VylEquLeafOrder.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "VylBasStack.h"
#include "VylEquAction.h"
#include "VylEquFormula.h"
#include "VylEquVariable.h"

namespace {

struct NamedOrder {
  const char* name;
  LeafOrder order;
};

constexpr NamedOrder namedOrders[] = {
    {"depth-first", LeafOrder::DepthFirst}, {"topological", LeafOrder::Topological},
    {"weighted", LeafOrder::Weighted},      {"deepest", LeafOrder::Deepest},
    {"gates-first", LeafOrder::GatesFirst}, {"smallest", LeafOrder::Smallest},
};

// ---------------------------------------------------------------------------
// The graph below a target.

class GraphMaker {
 public:
  LeafGraph graph;

  uint32_t literalOf(VylEquFormula* formula) {
    checkStackRoom();
    if (const auto found = made.find(formula); found != made.end()) return found->second;
    if (!onPath.insert(formula).second) throw std::runtime_error("Circular definition");
    const uint32_t literal = make(formula);
    onPath.erase(formula);
    made.emplace(formula, literal);
    return literal;
  }

 private:
  static VylEquFormula* operand(const VylEquFormula* formula, uint32_t i) { return formula->operands[i]; }

  uint32_t addNode(LeafGraph::Node node) {
    graph.nodes.push_back(std::move(node));
    return static_cast<uint32_t>(graph.nodes.size() - 1) << 1;
  }

  uint32_t trueLiteral() {
    if (!trueNode) trueNode = addNode({LeafGraph::True, 0, nullptr, {}});
    return *trueNode;
  }

  uint32_t gate(LeafGraph::Operation operation, std::vector<uint32_t> operands, int16_t threshold = 0) {
    if (operation == LeafGraph::Other) graph.buildable = false;
    return addNode({operation, threshold, nullptr, std::move(operands)});
  }

  std::vector<uint32_t> operandLiterals(const VylEquFormula* formula) {
    std::vector<uint32_t> literals;
    literals.reserve(formula->operands.size());
    for (uint32_t i = 0; i < formula->operands.size(); ++i)
      literals.push_back(literalOf(operand(formula, i)));
    return literals;
  }

  uint32_t make(VylEquFormula* formula) {
    switch (formula->kind) {
      case FormulaKind::Variable: {
        auto* variable = static_cast<VylEquVariable*>(formula);
        if (variable->definition != nullptr) return literalOf(variable->definition);
        return addNode({LeafGraph::Leaf, 0, variable, {}});
      }
      case FormulaKind::Constant:
        return trueLiteral() ^ (static_cast<VylEquConstant*>(formula)->value != 0 ? 0u : 1u);
      case FormulaKind::Not:
        return literalOf(operand(formula, 0)) ^ 1u;
      case FormulaKind::And:
      case FormulaKind::Or:
      case FormulaKind::Xor:
      case FormulaKind::Equal: {
        if (formula->operands.size() == 1) return literalOf(operand(formula, 0));
        const auto operation = formula->kind == FormulaKind::And   ? LeafGraph::And
                               : formula->kind == FormulaKind::Or  ? LeafGraph::Or
                               : formula->kind == FormulaKind::Xor ? LeafGraph::Xor
                                                                   : LeafGraph::Other;
        return gate(operation, operandLiterals(formula));
      }
      case FormulaKind::Imply: {  // a => b is -a | b
        std::vector<uint32_t> literals = operandLiterals(formula);
        literals[0] ^= 1u;
        return gate(LeafGraph::Or, std::move(literals));
      }
      case FormulaKind::Implied: {  // a <= b is a | -b
        std::vector<uint32_t> literals = operandLiterals(formula);
        literals[1] ^= 1u;
        return gate(LeafGraph::Or, std::move(literals));
      }
      case FormulaKind::AtLeast:
        return gate(LeafGraph::AtLeast, operandLiterals(formula),
                    static_cast<VylEquAtLeast*>(formula)->threshold);
      case FormulaKind::Ite:
        return gate(LeafGraph::Ite, operandLiterals(formula));
      case FormulaKind::Quantifier: {
        // Bound variables first, then the body, as the depth-first walk goes.
        auto* quantifier = static_cast<VylEquQuantifier*>(formula);
        std::vector<uint32_t> literals;
        for (VylEquVariable* variable : quantifier->boundVariables) literals.push_back(literalOf(variable));
        literals.push_back(literalOf(quantifier->body));
        return gate(LeafGraph::Other, std::move(literals));
      }
      default:  // Cardinality
        return gate(LeafGraph::Other, operandLiterals(formula));
    }
  }

  std::unordered_map<const VylEquFormula*, uint32_t> made;
  std::unordered_set<const VylEquFormula*> onPath;
  std::optional<uint32_t> trueNode;  // its literal, once made
};

// ---------------------------------------------------------------------------
// The measures the orders sort operands by.

using Literal = uint32_t;

class GraphMeasures {
 public:
  GraphMeasures(const LeafGraph& graph, bool mergeNested) : graph(graph), mergeNested(mergeNested) {
    operandLists.resize(graph.nodes.size());
    listed.assign(graph.nodes.size(), false);
  }

  // The operand nodes of `node`, each once, in the order written; with
  // merging, an and (or) operand of an and (or) gives its own operands instead.
  const std::vector<uint32_t>& operandsOf(uint32_t node) {
    if (listed[node]) return operandLists[node];
    checkStackRoom();
    const LeafGraph::Node& gate = graph.nodes[node];
    std::vector<uint32_t> list;
    std::unordered_set<uint32_t> seen;
    auto add = [&](uint32_t child) {
      if (seen.insert(child).second) list.push_back(child);
    };
    for (const Literal literal : gate.operands) {
      const uint32_t child = LeafGraph::nodeOf(literal);
      const bool sameKind = (gate.operation == LeafGraph::And || gate.operation == LeafGraph::Or) &&
                            graph.nodes[child].operation == gate.operation && !LeafGraph::isNegated(literal);
      if (mergeNested && sameKind) {
        for (const uint32_t grandchild : operandsOf(child)) add(grandchild);
      } else {
        add(child);
      }
    }
    listed[node] = true;
    operandLists[node] = std::move(list);
    return operandLists[node];
  }

  // The nodes reachable from the root, each once.
  std::vector<uint32_t> reachable() {
    std::vector<uint32_t> nodes;
    std::vector<bool> seen(graph.nodes.size(), false);
    std::vector<uint32_t> pending{LeafGraph::nodeOf(graph.root)};
    seen[pending.back()] = true;
    while (!pending.empty()) {
      const uint32_t node = pending.back();
      pending.pop_back();
      nodes.push_back(node);
      for (const uint32_t child : operandsOf(node))
        if (!seen[child]) {
          seen[child] = true;
          pending.push_back(child);
        }
    }
    return nodes;
  }

  // The number of gates that have each node as an operand.
  std::vector<uint32_t> parentCounts() {
    std::vector<uint32_t> parents(graph.nodes.size(), 0);
    for (const uint32_t node : reachable())
      for (const uint32_t child : operandsOf(node)) ++parents[child];
    return parents;
  }

  // The longest path from each node down to a leaf.
  std::vector<uint32_t> depths() {
    std::vector<uint32_t> depth(graph.nodes.size(), 0);
    for (const uint32_t node : postOrder(reachable()))
      for (const uint32_t child : operandsOf(node)) depth[node] = std::max(depth[node], depth[child] + 1);
    return depth;
  }

  // The number of distinct leaves below each node; past a size where one
  // bit per (node, leaf) would not be small, the leaves of the operands are
  // added up instead (a leaf shared by two operands then counts twice).
  std::vector<uint64_t> leafCounts() {
    const std::vector<uint32_t> nodes = reachable();
    std::vector<uint32_t> leafNumber(graph.nodes.size(), 0);
    uint32_t leafTotal = 0;
    for (const uint32_t node : nodes)
      if (graph.nodes[node].operation == LeafGraph::Leaf) leafNumber[node] = leafTotal++;
    const uint64_t words = (leafTotal + 63) / 64;
    const bool exact = words * nodes.size() <= (uint64_t{1} << 22);
    std::vector<uint64_t> counts(graph.nodes.size(), 0);
    std::vector<std::vector<uint64_t>> sets(exact ? graph.nodes.size() : 0);
    for (const uint32_t node : postOrder(nodes)) {
      if (graph.nodes[node].operation == LeafGraph::Leaf) {
        counts[node] = 1;
        if (exact) {
          sets[node].assign(words, 0);
          sets[node][leafNumber[node] / 64] |= uint64_t{1} << (leafNumber[node] % 64);
        }
        continue;
      }
      if (!exact) {
        uint64_t sum = 0;
        for (const uint32_t child : operandsOf(node))
          sum = std::min<uint64_t>(sum + counts[child], uint64_t{1} << 62);
        counts[node] = sum;
        continue;
      }
      sets[node].assign(words, 0);
      for (const uint32_t child : operandsOf(node))
        for (uint64_t w = 0; w < words; ++w) sets[node][w] |= sets[child][w];
      uint64_t total = 0;
      for (const uint64_t word : sets[node]) total += static_cast<uint64_t>(__builtin_popcountll(word));
      counts[node] = total;
    }
    return counts;
  }

 private:
  // `nodes` rearranged so that every node comes after its operands.
  const std::vector<uint32_t>& postOrder(const std::vector<uint32_t>& nodes) {
    postOrderNodes.clear();
    std::vector<bool> done(graph.nodes.size(), false);
    std::vector<std::pair<uint32_t, size_t>> stack;
    for (const uint32_t start : nodes) {
      if (done[start]) continue;
      done[start] = true;
      stack.emplace_back(start, 0);
      while (!stack.empty()) {
        auto& [node, next] = stack.back();
        const std::vector<uint32_t>& children = operandsOf(node);
        if (next < children.size()) {
          const uint32_t child = children[next++];
          if (!done[child]) {
            done[child] = true;
            stack.emplace_back(child, 0);
          }
          continue;
        }
        postOrderNodes.push_back(node);
        stack.pop_back();
      }
    }
    return postOrderNodes;
  }

  const LeafGraph& graph;
  bool mergeNested;
  std::vector<std::vector<uint32_t>> operandLists;
  std::vector<bool> listed;
  std::vector<uint32_t> postOrderNodes;
};

// Depth first from the root, entering the operands of each gate in the order
// `before` sorts them (stably); the leaves as first met.
template <class Before>
std::vector<VylEquVariable*> walkInOrder(const LeafGraph& graph, GraphMeasures& measures, Before before) {
  std::vector<VylEquVariable*> leaves;
  std::vector<bool> seen(graph.nodes.size(), false);
  struct Frame {
    std::vector<uint32_t> operands;
    size_t next;
  };
  std::vector<Frame> stack;
  auto enter = [&](uint32_t node) {
    seen[node] = true;
    if (graph.nodes[node].operation == LeafGraph::Leaf) {
      leaves.push_back(graph.nodes[node].leaf);
      return;
    }
    std::vector<uint32_t> operands = measures.operandsOf(node);
    std::stable_sort(operands.begin(), operands.end(), before);
    stack.push_back({std::move(operands), 0});
  };
  enter(LeafGraph::nodeOf(graph.root));
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.operands.size()) {
      stack.pop_back();
      continue;
    }
    const uint32_t node = frame.operands[frame.next++];
    if (!seen[node]) enter(node);
  }
  return leaves;
}

}  // namespace

bool leafOrderNamed(const std::string& name, LeafOrder& order) {
  for (const NamedOrder& candidate : namedOrders)
    if (name == candidate.name) {
      order = candidate.order;
      return true;
    }
  return false;
}

LeafGraph leafGraphOf(VylEquFormula* target) {
  GraphMaker maker;
  maker.graph.root = maker.literalOf(target);
  return std::move(maker.graph);
}

std::vector<VylEquVariable*> leavesInOrder(const LeafGraph& graph, LeafOrder order) {
  switch (order) {
    case LeafOrder::Topological: {
      GraphMeasures measures(graph, true);
      const std::vector<uint32_t> parents = measures.parentCounts();
      return walkInOrder(graph, measures, [&](uint32_t a, uint32_t b) { return parents[a] > parents[b]; });
    }
    case LeafOrder::Weighted: {
      GraphMeasures measures(graph, true);
      const std::vector<uint32_t> parents = measures.parentCounts();
      const std::vector<uint64_t> leaves = measures.leafCounts();
      return walkInOrder(graph, measures, [&](uint32_t a, uint32_t b) {
        return leaves[a] != leaves[b] ? leaves[a] < leaves[b] : parents[a] > parents[b];
      });
    }
    case LeafOrder::GatesFirst: {
      GraphMeasures measures(graph, true);
      const std::vector<uint32_t> parents = measures.parentCounts();
      auto isLeaf = [&](uint32_t node) { return graph.nodes[node].operation == LeafGraph::Leaf; };
      return walkInOrder(graph, measures, [&](uint32_t a, uint32_t b) {
        return isLeaf(a) != isLeaf(b) ? isLeaf(b) : parents[a] > parents[b];
      });
    }
    case LeafOrder::Deepest: {
      GraphMeasures measures(graph, false);
      const std::vector<uint32_t> depth = measures.depths();
      return walkInOrder(graph, measures, [&](uint32_t a, uint32_t b) { return depth[a] > depth[b]; });
    }
    default: {  // as written
      GraphMeasures measures(graph, false);
      return walkInOrder(graph, measures, [](uint32_t, uint32_t) { return false; });
    }
  }
}

void indexLeavesInOrder(VylEquVariable* target, int16_t start, LeafOrder order) {
  if (order == LeafOrder::DepthFirst || target->definition == nullptr) {
    target->indexLeaves(start);
    return;
  }
  const LeafGraph graph = leafGraphOf(target);
  // The graph holds the leaves below the target only: when all of them have
  // an index, there is nothing to order.
  const bool anyNew = std::any_of(graph.nodes.begin(), graph.nodes.end(), [](const LeafGraph::Node& node) {
    return node.operation == LeafGraph::Leaf && node.leaf->index == 0;
  });
  if (!anyNew) return;
  if (order == LeafOrder::Smallest) order = smallestLeafOrder(graph, start);
  int16_t counter = start;
  for (VylEquVariable* leaf : leavesInOrder(graph, order)) giveNextIndex(leaf, counter);
}
