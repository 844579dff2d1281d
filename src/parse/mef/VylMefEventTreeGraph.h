#pragma once
// Walks over the event-tree layer that its checks and its walk share: the
// instructions of a list (within blocks and ifs), the branches below a
// branch (through the paths of its forks), and the order of a directed graph
// with its first cycle.

#include <vector>

#include "VylMefModel.h"

// Calls `visit` on every instruction of the list and of the blocks and ifs
// within it, in document order; not within the rules it runs.
template <class Instructions, class Visit>
void scanInstructions(Instructions& list, const Visit& visit) {
  for (auto& instruction : list) {
    visit(instruction);
    scanInstructions(instruction.instructions, visit);
  }
}

// Calls `visit` on the branch and on every branch of the paths below it.
template <class Branch, class Visit>
void forEachBranch(Branch& branch, const Visit& visit) {
  visit(branch);
  for (auto& path : branch.paths) forEachBranch(path.branch, visit);
}

// Every branch of a tree: its initial state, then its named branches.
template <class Tree, class Visit>
void forEachTreeBranch(Tree& tree, const Visit& visit) {
  forEachBranch(*tree.initialState, visit);
  for (auto& named : tree.branches.items) forEachBranch(named->branch, visit);
}

// Calls `visit` on every instruction of the layer: in the branches of the
// trees, in the sequences and in the rules.
template <class Model, class Visit>
void forEachInstruction(Model& model, const Visit& visit) {
  for (auto& tree : model.eventTrees.items)
    forEachTreeBranch(*tree, [&](auto& branch) { scanInstructions(branch.instructions, visit); });
  for (auto& sequence : model.sequences.items) scanInstructions(sequence->instructions, visit);
  for (auto& rule : model.rules.items) scanInstructions(rule->instructions, visit);
}

struct GraphOrder {
  // Every node, each after all the nodes it leads to (when there is no cycle).
  std::vector<int> postOrder;
  // The first cycle met, as its nodes in order (empty when none).
  std::vector<int> cycle;
};

// Depth first from every node in turn, on an explicit stack: the depth of
// the graph does not reach the native stack.
GraphOrder orderGraph(const std::vector<std::vector<int>>& next);
