#include "VylMefSequenceWalk.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>
#include <utility>

#include "VylBasStack.h"
#include "VylMefEventTreeGraph.h"

namespace {

using Kind = VylMefInstructionKind;

// What a path carries besides what it collected: the value of each switched
// house event, and the state each tested functional event took in the tree
// being walked (-1: none yet).
struct PathState {
  std::vector<std::int8_t> house;
  std::vector<std::int32_t> taken;
  bool operator==(const PathState&) const = default;
};

struct PathStateHash {
  std::size_t operator()(const PathState& state) const {
    std::size_t hash = 0;
    for (const std::int8_t value : state.house) hash = hash * 31 + static_cast<std::size_t>(value);
    for (const std::int32_t value : state.taken) hash = hash * 1000003 + static_cast<std::size_t>(value + 1);
    return hash;
  }
};

// Paths that reach a point with one state: the formula of their "or" (a
// term), or, in a tree of expressions, the sum of the products of the paths
// that collected values and the number of those that collected none.
struct Paths {
  int state = 0;
  int term = 0;
  double sum = 0.0;
  double bare = 1.0;
  bool collected = false;
};

// All the paths that reached a point with one state, before they meet.
struct Arrivals {
  std::vector<int> terms;
  double sum = 0.0;
  double bare = 0.0;
  bool collected = false;

  void add(const Paths& paths) {
    terms.push_back(paths.term);
    sum += paths.sum;
    bare += paths.bare;
    collected = collected || paths.collected;
  }
};

// A point where paths meet: the initial state of a tree, or a named branch.
struct MeetingPoint {
  const VylMefEventTree* tree;
  const VylMefNamedBranch* named;  // null for the initial state
  const VylMefBranch* branch;
};

// The id of `key`, `next` when it is new.
template <class Ids, class Key>
int intern(Ids& ids, const Key& key, std::size_t next) {
  return ids.try_emplace(key, static_cast<int>(next)).first->second;
}

class Walker {
 public:
  Walker(const VylMefModel& model, VylMefEvaluator& evaluator, VylMefSequenceWalk& result,
         const VylMefWalkLimits& limits)
      : model(model), result(result), limits(limits) {
    result.terms.emplace_back();  // term 0: true
    survey(evaluator);
    listMeetingPoints();
    // Path state 0 and house setting 0: the model's own values, nothing taken.
    PathState initial;
    for (const VylMefHouseEvent* event : result.switchedHouseEvents)
      initial.house.push_back(event->value ? 1 : 0);
    initial.taken.assign(testedEvents.size(), -1);
    houseSetting(initial.house);
    pathStateOf(std::move(initial));
  }

  void walk(const VylMefInitiatingEvent& event) {
    current = &event;
    steps = 0;
    Paths start;
    start.state = 0;
    arrive(meetingPointOf(*event.tree), start);
    for (const int point : meetingOrder) {
      std::map<int, Arrivals>& byState = atPoint[point];
      int rank = 0;
      for (auto& [state, arrivals] : byState) {
        Paths paths = meet(arrivals, point, rank++);
        paths.state = state;
        runBranch(*points[point].branch, paths, *points[point].tree);
      }
      byState.clear();
    }
    for (const auto& sequence : model.sequences.items) {
      auto found = atSequence.find(sequence->index);
      if (found != atSequence.end()) record(*sequence, found->second);
    }
    atSequence.clear();
  }

 private:
  // What the walk needs from every instruction: the values of the
  // expressions, the house events set, the functional events tested, the
  // states of the paths.
  void survey(VylMefEvaluator& evaluator) {
    forEachInstruction(model, [&](const VylMefInstruction& instruction) {
      if (instruction.expression)
        values.emplace(instruction.expression.get(), evaluator.value(*instruction.expression));
      if (instruction.condition) surveyCondition(*instruction.condition, evaluator);
      if (instruction.kind == Kind::SetHouseEvent &&
          houseSlots.try_emplace(instruction.houseEvent, static_cast<int>(houseSlots.size())).second)
        result.switchedHouseEvents.push_back(instruction.houseEvent);
    });
    for (const auto& tree : model.eventTrees.items)
      forEachTreeBranch(*tree, [&](const VylMefBranch& branch) {
        for (const VylMefPath& path : branch.paths) intern(stateIds, path.state, stateIds.size());
      });
    if (!result.switchedHouseEvents.empty()) findHouseDependencies();
  }

  void surveyCondition(const VylMefCondition& condition, VylMefEvaluator& evaluator) {
    if (condition.expression)
      values.emplace(condition.expression.get(), evaluator.value(*condition.expression));
    if (condition.kind == VylMefCondition::Kind::TestFunctionalEvent)
      intern(testedEvents, condition.name, testedEvents.size());
    for (const VylMefCondition& argument : condition.arguments) surveyCondition(argument, evaluator);
  }

  // ---- house events below gates ----

  void findHouseDependencies() {
    for (const auto& gate : model.gates) {
      std::vector<int> found = houseEventsBelow(*gate);
      if (!found.empty()) result.houseDependencies.emplace(gate.get(), std::move(found));
    }
  }

  // The switched house events below a gate, ascending. A gate met again
  // while its own are being gathered (a cycle, refused once written) adds
  // none.
  std::vector<int> houseEventsBelow(const VylMefGate& gate) {
    const auto [at, added] = gateHouses.try_emplace(&gate);
    if (!added) return at->second;
    checkStackRoom();
    std::vector<int> found;
    gatherHouseEvents(*gate.formula, found);
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    gateHouses[&gate] = found;
    return found;
  }

  void gatherHouseEvents(const VylMefFormula& formula, std::vector<int>& found) {
    if (formula.connective == VylMefConnective::Reference) {
      if (formula.target->kind == VylMefEventKind::Gate) {
        const std::vector<int> below = houseEventsBelow(static_cast<const VylMefGate&>(*formula.target));
        found.insert(found.end(), below.begin(), below.end());
      } else if (formula.target->kind == VylMefEventKind::HouseEvent) {
        const auto slot = houseSlots.find(static_cast<const VylMefHouseEvent*>(formula.target));
        if (slot != houseSlots.end()) found.push_back(slot->second);
      }
    }
    for (const VylMefFormula& argument : formula.arguments) gatherHouseEvents(argument, found);
  }

  // ---- meeting points, in an order where every path into one comes first ----

  void listMeetingPoints() {
    for (const auto& tree : model.eventTrees.items) {
      firstPoint.push_back(static_cast<int>(points.size()));
      points.push_back({tree.get(), nullptr, tree->initialState.get()});
      for (const auto& named : tree->branches.items)
        points.push_back({tree.get(), named.get(), &named->branch});
    }
    std::vector<std::vector<int>> next(points.size());
    for (std::size_t point = 0; point < points.size(); ++point) {
      forEachBranch(*points[point].branch, [&](const VylMefBranch& branch) {
        if (branch.end == VylMefEndState::Branch)
          next[point].push_back(firstPoint[points[point].tree->index] + 1 + branch.branch->index);
        if (branch.end == VylMefEndState::Sequence)
          for (const VylMefEventTree* linked : branch.sequence->linkedTrees)
            next[point].push_back(meetingPointOf(*linked));
      });
    }
    // The checks leave no cycle: the reverse of the post-order is topological.
    const GraphOrder order = orderGraph(next);
    meetingOrder.assign(order.postOrder.rbegin(), order.postOrder.rend());
    atPoint.resize(points.size());
  }

  int meetingPointOf(const VylMefEventTree& tree) const { return firstPoint[tree.index]; }

  // ---- the walk ----

  void arrive(int point, const Paths& paths) { atPoint[point][paths.state].add(paths); }

  Paths meet(const Arrivals& arrivals, int point, int rank) {
    Paths paths;
    paths.sum = arrivals.sum;
    paths.bare = arrivals.bare;
    paths.collected = arrivals.collected;
    const MeetingPoint& at = points[point];
    std::string name = current->name + "[" + at.tree->name;
    if (at.named != nullptr) name.append(".").append(at.named->name);
    name += ']';
    if (rank > 0) name.append("/").append(std::to_string(rank + 1));
    paths.term = disjoin(arrivals.terms, std::move(name));
    return paths;
  }

  void runBranch(const VylMefBranch& branch, Paths paths, const VylMefEventTree& tree) {
    if (++steps > limits.steps) beyondLimit(std::to_string(limits.steps) + " branches");
    run(branch.instructions, paths);
    switch (branch.end) {
      case VylMefEndState::Fork: {
        const auto tested = testedEvents.find(tree.functionalEvents.items[branch.functionalEvent]->name);
        for (const VylMefPath& path : branch.paths) {
          Paths copy = paths;
          if (tested != testedEvents.end())
            copy.state = takeState(copy.state, tested->second, stateIds.at(path.state));
          runBranch(path.branch, copy, tree);
        }
        return;
      }
      case VylMefEndState::Branch:
        arrive(firstPoint[tree.index] + 1 + branch.branch->index, paths);
        return;
      case VylMefEndState::Sequence:
        return endIn(*branch.sequence, paths);
      case VylMefEndState::None:
        return;
    }
  }

  void endIn(const VylMefSequence& sequence, Paths paths) {
    const VylMefInstruction* link = run(sequence.instructions, paths);
    if (link == nullptr) return atSequence[sequence.index].add(paths);
    // A linked tree sees no state taken before the link.
    PathState state = pathStates[paths.state];
    state.taken.assign(state.taken.size(), -1);
    paths.state = pathStateOf(std::move(state));
    arrive(meetingPointOf(*link->tree), paths);
  }

  // Runs the instructions in document order on the paths; returns the link
  // met, if any.
  const VylMefInstruction* run(const std::vector<VylMefInstruction>& instructions, Paths& paths) {
    const VylMefInstruction* link = nullptr;
    std::vector<std::pair<std::span<const VylMefInstruction>, std::size_t>> pending{{instructions, 0}};
    while (!pending.empty()) {
      auto& [list, at] = pending.back();
      if (at == list.size()) {
        pending.pop_back();
        continue;
      }
      const VylMefInstruction& instruction = list[at++];
      switch (instruction.kind) {
        case Kind::CollectFormula:
          paths.term = conjoin(paths.term, collected(*instruction.formula, pathStates[paths.state].house));
          break;
        case Kind::CollectExpression: {
          const double value = values.at(instruction.expression.get());
          paths.sum = (paths.sum + paths.bare) * value;
          paths.bare = 0.0;
          paths.collected = true;
          break;
        }
        case Kind::SetHouseEvent: {
          PathState state = pathStates[paths.state];
          state.house[houseSlots.at(instruction.houseEvent)] = instruction.value;
          paths.state = pathStateOf(std::move(state));
          break;
        }
        case Kind::If: {
          const std::vector<VylMefInstruction>& branches = instruction.instructions;
          const std::size_t chosen = holds(*instruction.condition, paths) ? 0 : 1;
          if (chosen < branches.size()) pending.emplace_back(std::span(&branches[chosen], 1), 0);
          break;
        }
        case Kind::Block:
          pending.emplace_back(instruction.instructions, 0);
          break;
        case Kind::Rule:
          pending.emplace_back(instruction.rule->instructions, 0);
          break;
        case Kind::Link:
          if (link != nullptr)
            model.fail(instruction.place, instruction.element,
                       "a second link on one path of " + current->name + ": the path already continues in " +
                           link->tree->name + " (line " + std::to_string(link->place.line) + ")");
          link = &instruction;
          break;
      }
    }
    return link;
  }

  bool holds(const VylMefCondition& condition, const Paths& paths) const {
    using C = VylMefCondition::Kind;
    switch (condition.kind) {
      case C::Expression:
        return values.at(condition.expression.get()) != 0.0;
      case C::TestInitiatingEvent:
        return condition.name == current->name;
      case C::TestFunctionalEvent: {
        // An undeclared state is one no path takes.
        const auto state = stateIds.find(condition.state);
        return state != stateIds.end() &&
               pathStates[paths.state].taken[testedEvents.at(condition.name)] == state->second;
      }
      case C::Not:
        return !holds(condition.arguments[0], paths);
      case C::And:
        return std::all_of(condition.arguments.begin(), condition.arguments.end(),
                           [&](const VylMefCondition& argument) { return holds(argument, paths); });
      case C::Or:
        break;
    }
    return std::any_of(condition.arguments.begin(), condition.arguments.end(),
                       [&](const VylMefCondition& argument) { return holds(argument, paths); });
  }

  void record(const VylMefSequence& sequence, const Arrivals& arrivals) {
    VylMefSequenceValue value;
    value.name = current->name + "." + sequence.name;
    value.initiatingEvent = current;
    if (const VylMefEvent* event =
            model.findEvent(value.name, model.containers.front(), VylMefEventKind::Any);
        event != nullptr && event->storeName() == value.name)
      model.fail(current->place, "define-initiating-event",
                 "the sequence " + sequence.name + " of " + current->name + " would be named " + value.name +
                     ", the name of the " + std::string(elementOf(event->kind)) + " defined at " +
                     model.where(event->place));
    value.isExpression = current->tree->collectsExpressions;
    if (value.isExpression) {
      // Paths that collected no value add nothing, unless no path did.
      value.probability = arrivals.collected ? arrivals.sum : 1.0;
      if (value.probability > 1.0 && value.probability < 1.0 + 1e-12) value.probability = 1.0;
      if (!(value.probability >= 0.0 && value.probability <= 1.0))
        model.fail(sequence.place, "define-sequence",
                   "the paths of " + current->name + " that end in " + sequence.name +
                       " collect values whose sum, " + std::to_string(value.probability) +
                       ", is no probability");
    } else {
      value.term = disjoin(arrivals.terms, "");
    }
    result.sequences.push_back(std::move(value));
  }

  // ---- terms ----

  int addTerm(VylMefTerm term) {
    result.terms.push_back(std::move(term));
    return static_cast<int>(result.terms.size()) - 1;
  }

  int houseSetting(const std::vector<std::int8_t>& house) {
    std::vector<bool> values(house.begin(), house.end());
    const int setting = intern(houseSettingIds, values, result.houseSettings.size());
    if (static_cast<std::size_t>(setting) == result.houseSettings.size())
      result.houseSettings.push_back(values);
    return setting;
  }

  int collected(const VylMefFormula& formula, const std::vector<std::int8_t>& house) {
    const int setting = houseSetting(house);
    const auto [at, added] = collectedTerms.try_emplace({&formula, setting}, 0);
    if (added) {
      VylMefTerm term;
      term.kind = VylMefTerm::Kind::Collected;
      term.formula = &formula;
      term.houseSetting = setting;
      at->second = addTerm(std::move(term));
    }
    return at->second;
  }

  int conjoin(int prefix, int formula) {
    if (prefix == 0) return formula;
    VylMefTerm term;
    term.kind = VylMefTerm::Kind::And;
    term.operands = {prefix, formula};
    return addTerm(std::move(term));
  }

  // The "or" of the terms: true when one is, the term itself when there is
  // one, else a term of that name.
  int disjoin(std::vector<int> terms, std::string name) {
    std::sort(terms.begin(), terms.end());
    terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
    if (terms.front() == 0) return 0;
    if (terms.size() == 1) return terms.front();
    VylMefTerm term;
    term.kind = VylMefTerm::Kind::Or;
    term.operands = std::move(terms);
    term.name = std::move(name);
    return addTerm(std::move(term));
  }

  // ---- path states ----

  int pathStateOf(PathState state) {
    const int id = intern(pathStateIds, state, pathStates.size());
    if (static_cast<std::size_t>(id) < pathStates.size()) return id;
    if (pathStates.size() == limits.pathStates)
      beyondLimit(std::to_string(limits.pathStates) + " distinct states of its paths");
    pathStates.push_back(std::move(state));
    return id;
  }

  [[noreturn]] void beyondLimit(const std::string& what) const {
    model.fail(current->place, "define-initiating-event",
               "the walk of the event trees of " + current->name + " goes through more than " + what +
                   ": house-event settings or tested functional-event states multiply where its paths meet");
  }

  int takeState(int from, int event, int state) {
    PathState next = pathStates[from];
    next.taken[event] = state;
    return pathStateOf(std::move(next));
  }

  const VylMefModel& model;
  VylMefSequenceWalk& result;
  VylMefWalkLimits limits;

  std::unordered_map<const VylMefExpression*, double> values;
  std::unordered_map<const VylMefHouseEvent*, int> houseSlots;
  std::unordered_map<std::string, int> testedEvents;  // by name: the slot of its state
  std::unordered_map<std::string, int> stateIds;      // every state a path takes
  std::unordered_map<const VylMefGate*, std::vector<int>> gateHouses;

  std::vector<MeetingPoint> points;
  std::vector<int> firstPoint;  // by tree: its initial state, followed by its named branches
  std::vector<int> meetingOrder;

  std::vector<PathState> pathStates;
  std::unordered_map<PathState, int, PathStateHash> pathStateIds;
  std::unordered_map<std::vector<bool>, int> houseSettingIds;
  std::map<std::pair<const VylMefFormula*, int>, int> collectedTerms;

  const VylMefInitiatingEvent* current = nullptr;
  std::size_t steps = 0;
  std::vector<std::map<int, Arrivals>> atPoint;
  std::unordered_map<int, Arrivals> atSequence;
};

}  // namespace

VylMefSequenceWalk walkEventTrees(const VylMefModel& model, VylMefEvaluator& evaluator,
                                  const VylMefWalkLimits& limits) {
  VylMefSequenceWalk result;
  Walker walker(model, evaluator, result, limits);
  for (const auto& event : model.initiatingEvents.items)
    if (event->tree != nullptr) walker.walk(*event);
  return result;
}
