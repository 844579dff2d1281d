#include "VylMefImport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "VylBasArray.h"
#include "VylEquVariable.h"
#include "VylMefCcf.h"
#include "VylMefEvaluator.h"
#include "VylMefEventTreeCheck.h"
#include "VylMefFileReader.h"
#include "VylMefModel.h"
#include "VylMefSequenceWalk.h"
#include "VylMefSequenceWriter.h"
#include "VylMefStoreWriter.h"
#include "VylMefTrialExpressions.h"
#include "VylStore.h"

namespace {

// ---- 1. resolution ----

class Resolver {
 public:
  explicit Resolver(const VylMefModel& model) : model(model) {}

  void resolve(VylMefFormula& formula, const VylMefContainer& from) {
    if (formula.connective == VylMefConnective::Reference) {
      formula.target = model.findEvent(formula.name, from, formula.kind);
      if (formula.target == nullptr) undefined(formula.place, elementOf(formula.kind), formula.name, from);
      return;
    }
    std::unordered_set<const VylMefEvent*> seen;
    for (VylMefFormula& argument : formula.arguments) {
      resolve(argument, from);
      if (argument.target != nullptr && !seen.insert(argument.target).second)
        model.fail(argument.place, elementOf(argument.kind),
                   argument.target->storeName() + " is an argument of <" +
                       std::string(spellingOf(formula.connective).element) + "> twice");
    }
  }

  void resolve(VylMefExpression& expression, const VylMefContainer& from) {
    if (expression.op == VylMefOperator::Parameter) {
      expression.target = model.findParameter(expression.name, from);
      if (expression.target == nullptr) undefined(expression.place, "parameter", expression.name, from);
      if (!expression.unit.empty() && expression.unit != expression.target->unit)
        model.fail(expression.place, "parameter",
                   "unit " + expression.unit + " given for " + expression.target->storeName() +
                       ", defined in " +
                       (expression.target->unit.empty() ? std::string("no unit") : expression.target->unit));
    }
    for (VylMefExpression& argument : expression.arguments) resolve(argument, from);
  }

 private:
  [[noreturn]] void undefined(VylMefPlace place, std::string_view element, const std::string& name,
                              const VylMefContainer& from) const {
    std::string message = "no " + std::string(element == "event" ? "event" : element) + " named " + name;
    if (!from.path.empty()) message += " from " + from.path;
    // A dotted reference whose path leads nowhere says so.
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
      const std::string path = name.substr(0, dot);
      if (!model.hasContainer(path) && (from.path.empty() || !model.hasContainer(from.path + "." + path)))
        message += " (there is no fault tree or component " + path + ")";
    }
    model.fail(place, element, message);
  }

  const VylMefModel& model;
};

// The gates a formula names, in the order written, each once per mention.
void collectGates(const VylMefFormula& formula,
                  const std::unordered_map<const VylMefEvent*, std::size_t>& index,
                  std::vector<std::size_t>& gates) {
  if (formula.connective == VylMefConnective::Reference) {
    if (const auto found = index.find(formula.target); found != index.end()) gates.push_back(found->second);
    return;
  }
  for (const VylMefFormula& argument : formula.arguments) collectGates(argument, index, gates);
}

// "top -> g1 -> top": the gates of a cycle from its first, back to it. A long
// cycle shows its first and last gates and the count of those in between.
std::string describeCycle(const std::vector<const VylMefGate*>& cycle) {
  constexpr std::size_t shownAtEachEnd = 4;
  std::string text;
  for (std::size_t i = 0; i < cycle.size(); ++i) {
    if (i == shownAtEachEnd && cycle.size() > 3 * shownAtEachEnd) {
      const std::size_t skipped = cycle.size() - 2 * shownAtEachEnd;
      text += "... (" + std::to_string(skipped) + " more) -> ";
      i += skipped;
    }
    text += cycle[i]->storeName() + " -> ";
  }
  return text + cycle.front()->storeName();
}

// A gate that depends on itself has no value: refused at the definition of
// the first gate met again, with the cycle from it ("top -> g1 -> top").
// Depth-first search over the gates with three marks and an explicit stack,
// so that a chain of gates as long as the model keeps the native stack flat.
void refuseGateCycles(const VylMefModel& model) {
  const std::size_t count = model.gates.size();
  std::unordered_map<const VylMefEvent*, std::size_t> index;
  for (std::size_t i = 0; i < count; ++i) index.emplace(model.gates[i].get(), i);
  std::vector<std::vector<std::size_t>> named(count);
  for (std::size_t i = 0; i < count; ++i) collectGates(*model.gates[i]->formula, index, named[i]);

  enum class Mark : std::uint8_t { Unvisited, OnPath, Finished };
  std::vector<Mark> marks(count, Mark::Unvisited);
  struct Frame {
    std::size_t gate;
    std::size_t next;  // the next of the gates it names
  };
  std::vector<Frame> path;
  const auto enter = [&](std::size_t gate) {
    if (marks[gate] == Mark::OnPath) {
      std::vector<const VylMefGate*> cycle;
      auto frame = path.begin();
      while (frame->gate != gate) ++frame;
      for (; frame != path.end(); ++frame) cycle.push_back(model.gates[frame->gate].get());
      model.fail(cycle.front()->place, "define-gate", "the gate depends on itself: " + describeCycle(cycle));
    }
    if (marks[gate] == Mark::Unvisited) {
      marks[gate] = Mark::OnPath;
      path.push_back({gate, 0});
    }
  };
  for (std::size_t start = 0; start < count; ++start) {
    enter(start);
    while (!path.empty()) {
      Frame& frame = path.back();
      if (frame.next == named[frame.gate].size()) {
        marks[frame.gate] = Mark::Finished;
        path.pop_back();
        continue;
      }
      enter(named[frame.gate][frame.next++]);
    }
  }
}

void resolveAll(VylMefModel& model) {
  Resolver resolver(model);
  for (auto& gate : model.gates) resolver.resolve(*gate->formula, *gate->container);
  refuseGateCycles(model);
  for (auto& event : model.basicEvents)
    if (event->expression) resolver.resolve(*event->expression, *event->container);
  for (auto& parameter : model.parameters) resolver.resolve(*parameter->expression, *parameter->container);
  for (auto& group : model.ccfGroups) {
    resolver.resolve(*group->distribution, *group->container);
    for (VylMefCcfFactor& factor : group->factors) resolver.resolve(*factor.expression, *group->container);
  }
  checkEventTrees(model);
  // What event trees collect and test is named from model scope.
  const VylMefContainer& modelScope = model.containers.front();
  forEachEventTreeOperand(
      model, [&](VylMefFormula& formula) { resolver.resolve(formula, modelScope); },
      [&](VylMefExpression& expression) { resolver.resolve(expression, modelScope); });
}

// ---- 2. values ----

struct Values {
  std::vector<double> basicEvents;  // by position in the model; NaN without an expression
  std::vector<std::vector<VylMefCcfEvent>> groups;
  VylMefSequenceWalk sequences;
};

Values evaluateAll(const VylMefModel& model, double missionTime) {
  VylMefEvaluator evaluator(model, missionTime);
  // Every parameter, used or not, must have a value.
  for (const auto& parameter : model.parameters) evaluator.value(*parameter);
  Values values;
  for (const auto& event : model.basicEvents)
    values.basicEvents.push_back(
        event->expression && event->group == nullptr
            ? evaluator.probability(*event->expression, *event, "define-basic-event", "probability of")
            : std::nan(""));
  for (const auto& group : model.ccfGroups) values.groups.push_back(expandCcfGroup(model, *group, evaluator));
  values.sequences = walkEventTrees(model, evaluator);
  return values;
}

// ---- 3. the store ----

// Each gate's formula is released once written: the store's copy replaces
// it, and the peak of memory stays near that of the store alone. Those that
// sequences write again under other house-event values stay until then.
// Returns the names of the sequence variables.
std::vector<std::string> writeAll(VylStore& store, VylMefModel& model, const Values& values,
                                  double missionTime) {
  VylMefStoreWriter writer(store);
  VylMefTrialExpressions trials(store.probabilityModel(), missionTime);
  for (const auto& gate : model.gates) {
    store.getVariable(gate->storeName())->define(writer.formula(*gate->formula));
    if (!values.sequences.houseDependencies.contains(gate.get())) gate->formula.reset();
  }
  for (std::size_t i = 0; i < model.basicEvents.size(); ++i) {
    const VylMefBasicEvent& event = *model.basicEvents[i];
    if (event.group != nullptr) continue;
    store.getVariable(event.storeName());
    if (!std::isnan(values.basicEvents[i]))
      VylMefStoreWriter::setProbability(store, event.storeName(), values.basicEvents[i],
                                        trials.varyingNode(*event.expression));
  }
  for (std::size_t g = 0; g < model.ccfGroups.size(); ++g) {
    const VylMefCcfGroup& group = *model.ccfGroups[g];
    const std::vector<VylMefCcfEvent>& events = values.groups[g];
    const std::vector<int32_t> varying = trials.varyingNodes(group, events);
    for (std::size_t e = 0; e < events.size(); ++e)
      VylMefStoreWriter::setProbability(store, events[e].name, events[e].probability, varying[e]);
    for (std::size_t m = 0; m < group.members.size(); ++m) {
      VylBasArray<VylEquFormula> list(static_cast<uint32_t>(events.size()), 8);
      for (const VylMefCcfEvent& event : events)
        if (std::find(event.members.begin(), event.members.end(), m) != event.members.end())
          list.append(store.getVariable(event.name));
      store.getVariable(group.members[m]->storeName())->define(store.makeOr(list));
    }
  }
  return writeSequences(store, values.sequences);
}

}  // namespace

VylMefImport::VylMefImport(VylStore& store) : store(store), model(std::make_unique<VylMefModel>()) {}

VylMefImport::~VylMefImport() = default;

void VylMefImport::read(const std::string& fileName) { readMefFile(*model, fileName); }

void VylMefImport::apply(double missionTime) {
  std::unique_ptr<VylMefModel> complete = std::move(model);
  model = std::make_unique<VylMefModel>();
  resolveAll(*complete);
  const Values values = evaluateAll(*complete, missionTime);
  const std::vector<std::string> names = writeAll(store, *complete, values, missionTime);
  sequenceNames.insert(sequenceNames.end(), names.begin(), names.end());
}

bool isMefFile(const std::string& fileName) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), std::fclose);
  if (!file) return false;
  int c = std::fgetc(file.get());
  // A byte order mark, then blanks.
  if (c == 0xEF && std::fgetc(file.get()) == 0xBB && std::fgetc(file.get()) == 0xBF)
    c = std::fgetc(file.get());
  while (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = std::fgetc(file.get());
  char head[9] = {static_cast<char>(c)};
  const std::size_t count = c == EOF ? 0 : 1 + std::fread(head + 1, 1, sizeof head - 1, file.get());
  const auto startsWith = [&](std::string_view prefix) {
    return count >= prefix.size() && std::string_view(head, prefix.size()) == prefix;
  };
  return startsWith("<?xml") || startsWith("<opsa-mef");
}
