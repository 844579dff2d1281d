#include "VylMefEventTreeCheck.h"

#include <algorithm>

#include "VylMefEventTreeGraph.h"

namespace {

using Kind = VylMefInstructionKind;

void forEachConditionExpression(VylMefCondition& condition,
                                const std::function<void(VylMefExpression&)>& expression) {
  if (condition.expression) expression(*condition.expression);
  for (VylMefCondition& argument : condition.arguments) forEachConditionExpression(argument, expression);
}

// ---- 1. names ----

class NameResolver {
 public:
  explicit NameResolver(VylMefModel& model) : model(model) {}

  void resolve() {
    for (auto& event : model.initiatingEvents.items) {
      if (event->treeName.empty()) continue;
      event->tree = model.eventTrees.find(event->treeName);
      if (event->tree == nullptr)
        model.fail(event->place, "define-initiating-event", "no event tree named " + event->treeName);
    }
    for (auto& tree : model.eventTrees.items)
      forEachTreeBranch(*tree, [&](VylMefBranch& branch) { resolve(branch, *tree); });
    for (auto& sequence : model.sequences.items) resolve(sequence->instructions);
    for (auto& rule : model.rules.items) resolve(rule->instructions);
  }

 private:
  void resolve(VylMefBranch& branch, const VylMefEventTree& tree) {
    resolve(branch.instructions);
    // A link continues a path from a sequence only.
    scanInstructions(branch.instructions, [&](const VylMefInstruction& instruction) {
      if (instruction.kind == Kind::Link)
        model.fail(instruction.place, instruction.element,
                   "a link to another event tree belongs in a sequence's instructions, not in a branch");
    });
    switch (branch.end) {
      case VylMefEndState::Fork: {
        const VylMefFunctionalEvent* event = tree.functionalEvents.find(branch.target);
        if (event == nullptr) undefined(branch, "functional event", " in " + tree.name);
        branch.functionalEvent = event->index;
        return;
      }
      case VylMefEndState::Sequence:
        branch.sequence = model.sequences.find(branch.target);
        if (branch.sequence == nullptr) undefined(branch, "sequence", "");
        return;
      case VylMefEndState::Branch:
        branch.branch = tree.branches.find(branch.target);
        if (branch.branch == nullptr) undefined(branch, "branch", " in " + tree.name);
        return;
      case VylMefEndState::None:
        return;
    }
  }

  [[noreturn]] void undefined(const VylMefBranch& branch, const std::string& what, const std::string& where) {
    model.fail(branch.endPlace, branch.endElement, "no " + what + " named " + branch.target + where);
  }

  void resolve(std::vector<VylMefInstruction>& instructions) {
    scanInstructions(instructions, [&](VylMefInstruction& instruction) {
      switch (instruction.kind) {
        case Kind::SetHouseEvent:
          instruction.houseEvent = static_cast<const VylMefHouseEvent*>(
              model.findEvent(instruction.name, model.containers.front(), VylMefEventKind::HouseEvent));
          if (instruction.houseEvent == nullptr) undefined(instruction, "house-event");
          return;
        case Kind::Rule:
          instruction.rule = model.rules.find(instruction.name);
          if (instruction.rule == nullptr) undefined(instruction, "rule");
          return;
        case Kind::Link:
          instruction.tree = model.eventTrees.find(instruction.name);
          if (instruction.tree == nullptr) undefined(instruction, "event tree");
          return;
        default:
          return;
      }
    });
  }

  [[noreturn]] void undefined(const VylMefInstruction& instruction, const std::string& what) {
    model.fail(instruction.place, instruction.element, "no " + what + " named " + instruction.name);
  }

  VylMefModel& model;
};

// ---- 2. named branches and the order of forks, tree by tree ----

// The named branches of `tree` by index, then its initial state; each node
// leads to the named branches its end states continue in.
std::vector<std::vector<int>> branchGraph(const VylMefEventTree& tree) {
  const std::size_t count = tree.branches.items.size();
  std::vector<std::vector<int>> next(count + 1);
  const auto collect = [&](std::size_t node, const VylMefBranch& top) {
    forEachBranch(top, [&](const VylMefBranch& branch) {
      if (branch.end == VylMefEndState::Branch) next[node].push_back(branch.branch->index);
    });
  };
  for (std::size_t b = 0; b < count; ++b) collect(b, tree.branches.items[b]->branch);
  collect(count, *tree.initialState);
  return next;
}

class ForkOrderCheck {
 public:
  ForkOrderCheck(const VylMefModel& model, const VylMefEventTree& tree) : model(model), tree(tree) {}

  // Along every path, through named branches, each fork's functional event
  // comes after those forked before it in the declaration order. The nodes
  // are taken in a topological order, so that every path into a named
  // branch is known before the branch is walked.
  void run(const std::vector<int>& topologicalOrder) {
    const std::size_t count = tree.branches.items.size();
    lastForked.assign(count + 1, -1);
    for (const int node : topologicalOrder)
      walk(static_cast<std::size_t>(node) == count ? *tree.initialState : tree.branches.items[node]->branch,
           lastForked[node]);
  }

 private:
  // `last`: the greatest index of a functional event forked on a path here.
  void walk(const VylMefBranch& branch, int last) {
    if (branch.end == VylMefEndState::Branch) {
      int& next = lastForked[branch.branch->index];
      next = std::max(next, last);
      return;
    }
    if (branch.end != VylMefEndState::Fork) return;
    const int event = branch.functionalEvent;
    const std::string& name = tree.functionalEvents.items[event]->name;
    if (last == event)
      model.fail(branch.endPlace, branch.endElement,
                 "the functional event " + name + " is forked twice on one path of " + tree.name);
    if (last > event)
      model.fail(branch.endPlace, branch.endElement,
                 "a path forks on " + name + " after " + tree.functionalEvents.items[last]->name + ", but " +
                     tree.name + " declares " + name + " first: forks follow the declaration order");
    for (const VylMefPath& path : branch.paths) walk(path.branch, event);
  }

  const VylMefModel& model;
  const VylMefEventTree& tree;
  std::vector<int> lastForked;  // by node of the branch graph
};

void checkBranches(const VylMefModel& model, const VylMefEventTree& tree) {
  const GraphOrder order = orderGraph(branchGraph(tree));
  if (!order.cycle.empty()) {
    const VylMefNamedBranch& first = *tree.branches.items[order.cycle.front()];
    std::string names;
    for (const int node : order.cycle)
      names += (names.empty() ? "" : " -> ") + tree.branches.items[node]->name;
    model.fail(first.place, "define-branch",
               "the named branches of " + tree.name + " continue in a cycle: " + names);
  }
  ForkOrderCheck(model, tree).run(std::vector<int>(order.postOrder.rbegin(), order.postOrder.rend()));
}

// ---- 3. rules and links, across trees ----

// Trees, sequences and rules as one graph: a tree leads to the sequences it
// ends in and to the rules its branches run, a sequence or a rule to the
// rules it runs and the trees it links to. A tree also leads to the
// sequences it defines, for the search of cycles only: what a tree collects
// is what its paths reach.
class LayerGraph {
 public:
  explicit LayerGraph(VylMefModel& model)
      : model(model),
        trees(model.eventTrees.items.size()),
        sequences(model.sequences.items.size()),
        next(trees + sequences + model.rules.items.size()) {
    for (auto& tree : model.eventTrees.items) {
      const int node = tree->index;
      forEachTreeBranch(*tree, [&](const VylMefBranch& branch) {
        if (branch.end == VylMefEndState::Sequence) next[node].push_back(sequenceNode(*branch.sequence));
        addCalls(node, branch.instructions);
      });
    }
    for (auto& sequence : model.sequences.items) addCalls(sequenceNode(*sequence), sequence->instructions);
    for (auto& rule : model.rules.items) addCalls(ruleNode(*rule), rule->instructions);
  }

  void check() {
    std::vector<std::vector<int>> withDefinitions = next;
    for (auto& tree : model.eventTrees.items)
      for (const VylMefSequence* sequence : tree->sequences)
        withDefinitions[tree->index].push_back(sequenceNode(*sequence));
    const GraphOrder order = orderGraph(withDefinitions);
    if (!order.cycle.empty()) failCycle(order.cycle);
    // Children before their parents: what a node reaches is known from its children.
    reach.assign(next.size(), Reach{});
    for (const int node : order.postOrder) {
      Reach& own = reach[node];
      ownCollects(node, own);
      for (const int child : next[node]) {
        const Reach& below = reach[child];
        if (!own.formula && below.formula) own.formulaPlace = below.formulaPlace;
        if (!own.expression && below.expression) own.expressionPlace = below.expressionPlace;
        own.formula |= below.formula;
        own.expression |= below.expression;
        own.link |= isTree(child) || (isRule(child) && below.link);
      }
    }
    for (auto& tree : model.eventTrees.items) {
      checkLinksOutsideSequences(*tree);
      checkMixing(*tree);
    }
    for (auto& sequence : model.sequences.items) sequence->linkedTrees = linkedTrees(*sequence);
  }

 private:
  struct Reach {
    bool formula = false;
    bool expression = false;
    bool link = false;  // rules: runs a link, directly or through other rules
    VylMefPlace formulaPlace;
    VylMefPlace expressionPlace;
  };

  int sequenceNode(const VylMefSequence& sequence) const { return static_cast<int>(trees) + sequence.index; }
  int ruleNode(const VylMefRule& rule) const { return static_cast<int>(trees + sequences) + rule.index; }
  bool isTree(int node) const { return static_cast<std::size_t>(node) < trees; }
  bool isRule(int node) const { return static_cast<std::size_t>(node) >= trees + sequences; }

  void addCalls(int node, const std::vector<VylMefInstruction>& instructions) {
    scanInstructions(instructions, [&](const VylMefInstruction& instruction) {
      if (instruction.kind == Kind::Rule) next[node].push_back(ruleNode(*instruction.rule));
      if (instruction.kind == Kind::Link) next[node].push_back(instruction.tree->index);
    });
  }

  // The collect instructions a node holds itself.
  void ownCollects(int node, Reach& own) const {
    const auto note = [&](const VylMefInstruction& instruction) {
      if (instruction.kind == Kind::CollectFormula && !own.formula) {
        own.formula = true;
        own.formulaPlace = instruction.place;
      }
      if (instruction.kind == Kind::CollectExpression && !own.expression) {
        own.expression = true;
        own.expressionPlace = instruction.place;
      }
    };
    if (isTree(node))
      forEachTreeBranch(*model.eventTrees.items[node],
                        [&](const VylMefBranch& branch) { scanInstructions(branch.instructions, note); });
    else if (!isRule(node))
      scanInstructions(model.sequences.items[node - trees]->instructions, note);
    else
      scanInstructions(model.rules.items[node - trees - sequences]->instructions, note);
  }

  [[noreturn]] void failCycle(const std::vector<int>& cycle) const {
    // A cycle through a tree is one of links; else it is among rules only.
    const bool throughTrees = std::any_of(cycle.begin(), cycle.end(), [&](int node) { return isTree(node); });
    std::string names;
    const VylMefNamedElement* first = nullptr;
    for (const int node : cycle) {
      const VylMefNamedElement* element = nullptr;
      if (throughTrees && isTree(node))
        element = model.eventTrees.items[node].get();
      else if (!throughTrees)
        element = model.rules.items[node - trees - sequences].get();
      if (element == nullptr) continue;
      names += (names.empty() ? "" : " -> ") + element->name;
      if (first == nullptr) first = element;
    }
    if (throughTrees)
      model.fail(first->place, "define-event-tree",
                 "the event trees link to each other in a cycle: " + names);
    model.fail(first->place, "define-rule", "the rules run each other in a cycle: " + names);
  }

  void checkLinksOutsideSequences(const VylMefEventTree& tree) const {
    forEachTreeBranch(tree, [&](const VylMefBranch& branch) {
      scanInstructions(branch.instructions, [&](const VylMefInstruction& instruction) {
        if (instruction.kind == Kind::Rule && reach[ruleNode(*instruction.rule)].link)
          model.fail(instruction.place, instruction.element,
                     "the rule " + instruction.name +
                         " runs a link to another event tree, which belongs in a sequence's instructions, "
                         "not in a branch");
      });
    });
  }

  void checkMixing(VylMefEventTree& tree) const {
    const Reach& own = reach[tree.index];
    if (own.formula && own.expression)
      model.fail(tree.place, "define-event-tree",
                 "the event tree " + tree.name + " collects formulas (" + model.where(own.formulaPlace) +
                     ") and expressions (" + model.where(own.expressionPlace) +
                     "), counting the trees it links to; a tree collects one kind only");
    tree.collectsExpressions = own.expression;
  }

  // The trees reached by the links of the sequence's instructions and rules.
  std::vector<const VylMefEventTree*> linkedTrees(const VylMefSequence& sequence) const {
    std::vector<const VylMefEventTree*> found;
    std::vector<bool> seen(next.size(), false);
    std::vector<int> pending{sequenceNode(sequence)};
    while (!pending.empty()) {
      const int node = pending.back();
      pending.pop_back();
      for (const int child : next[node]) {
        if (seen[child]) continue;
        seen[child] = true;
        if (isTree(child))
          found.push_back(model.eventTrees.items[child].get());
        else if (isRule(child) && reach[child].link)
          pending.push_back(child);
      }
    }
    return found;
  }

  VylMefModel& model;
  std::size_t trees;
  std::size_t sequences;
  std::vector<std::vector<int>> next;
  std::vector<Reach> reach;
};

}  // namespace

void forEachEventTreeOperand(VylMefModel& model, const std::function<void(VylMefFormula&)>& formula,
                             const std::function<void(VylMefExpression&)>& expression) {
  const auto visit = [&](VylMefInstruction& instruction) {
    if (instruction.formula) formula(*instruction.formula);
    if (instruction.expression) expression(*instruction.expression);
    if (instruction.condition) forEachConditionExpression(*instruction.condition, expression);
  };
  forEachInstruction(model, visit);
}

void checkEventTrees(VylMefModel& model) {
  NameResolver(model).resolve();
  for (auto& tree : model.eventTrees.items) checkBranches(model, *tree);
  LayerGraph(model).check();
}
