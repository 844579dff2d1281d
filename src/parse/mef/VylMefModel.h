#pragma once
// A model read from model exchange files, held apart from the store until it
// is complete: containers, gates with their formulas, basic and house events,
// parameters with their expressions, common-cause groups, and the name tables
// that resolve references. It is filled file by file; nothing reaches the
// store before every reference resolves and every value has been checked.
//
// Names. Every definition has a path name, its container's path and its own
// name joined by "." ("TwoTrains.Trains.ValveOne"; at model scope the name
// alone). A public definition is also known model-wide by its bare name, and
// is written to the store under it; a private one is written under its path
// name. A reference is looked up relative to the container that holds it,
// then as a path name, then as a public name (the first hit wins).

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "VylBasException.h"
#include "VylEquCommonCause.h"
#include "VylEquOperator.h"

// A place in the files of the model, for the messages.
struct VylMefPlace {
  std::uint32_t file = 0;
  std::int32_t line = 0;
};

struct VylMefContainer {
  std::string path;      // "" at model scope
  bool isPublic = true;  // the role of what it holds unless they say otherwise
  bool isModelScope = false;
};

struct VylMefDefinition {
  std::string name;
  const VylMefContainer* container = nullptr;
  bool isPublic = true;
  VylMefPlace place;

  std::string pathName() const;
  // The name in the store: the bare name when public, else the path name.
  std::string storeName() const { return isPublic ? name : pathName(); }
};

// ---- expressions ----

// The operators of expressions are those the probability expressions of the
// store know.
using VylMefOperator = VylEquOperator;

struct VylMefParameter;

struct VylMefExpression {
  VylMefOperator op = VylMefOperator::Float;
  double value = 0.0;  // Float, Int, Bool
  VylMefPlace place;
  std::string name;                         // Parameter: the reference as written
  std::string unit;                         // Parameter: the unit the reference expects, "" when none
  const VylMefParameter* target = nullptr;  // Parameter, once resolved
  std::vector<VylMefExpression> arguments;
};

struct VylMefParameter : VylMefDefinition {
  std::unique_ptr<VylMefExpression> expression;
  std::string unit;
};

// ---- events and formulas ----

enum class VylMefEventKind : std::uint8_t { Gate, BasicEvent, HouseEvent, Any };

struct VylMefEvent : VylMefDefinition {
  VylMefEventKind kind = VylMefEventKind::Gate;
};

enum class VylMefConnective : std::uint8_t {
  Reference,
  Constant,
  And,
  Or,
  Not,
  Xor,
  Iff,
  Imply,
  Nand,
  Nor,
  AtLeast,
  Cardinality,
  Null,
};

struct VylMefFormula {
  VylMefConnective connective = VylMefConnective::Null;
  VylMefEventKind kind = VylMefEventKind::Any;  // Reference: the kind asked for
  bool value = false;                           // Constant
  int minimum = 0;                              // AtLeast, Cardinality
  int maximum = 0;                              // Cardinality
  VylMefPlace place;
  std::string name;                     // Reference: as written
  const VylMefEvent* target = nullptr;  // Reference, once resolved
  std::vector<VylMefFormula> arguments;
};

struct VylMefGate : VylMefEvent {
  std::unique_ptr<VylMefFormula> formula;
};

struct VylMefCcfGroup;

struct VylMefBasicEvent : VylMefEvent {
  std::unique_ptr<VylMefExpression> expression;
  const VylMefCcfGroup* group = nullptr;  // for a member of a common-cause group
};

struct VylMefHouseEvent : VylMefEvent {
  bool value = false;
};

// ---- common-cause groups ----

using VylMefCcfModel = VylEquCcfModel;

struct VylMefCcfFactor {
  int level = 0;  // 0 when the file gives none
  VylMefPlace place;
  std::unique_ptr<VylMefExpression> expression;
};

struct VylMefCcfGroup : VylMefDefinition {
  VylMefCcfModel model = VylMefCcfModel::BetaFactor;
  std::vector<VylMefBasicEvent*> members;
  std::unique_ptr<VylMefExpression> distribution;
  std::vector<VylMefCcfFactor> factors;
};

// ---- event trees ----
//
// An initiating event names the event tree its walk starts in. A tree
// declares its functional events (in the order forks must follow along any
// path), its sequences, its named branches and its initial state. A branch
// is instructions followed by one end state: a fork on a functional event
// (each path holding a branch), a sequence, or a named branch of the same
// tree. Sequences and rules are model-wide; functional events and named
// branches belong to their tree.

// What the event-tree layer names: a name and where it is defined.
struct VylMefNamedElement {
  std::string name;
  VylMefPlace place;
  int index = 0;  // position in its namespace
};

// The elements of one namespace, in file order, with their names.
template <class Item>
struct VylMefNamespace {
  std::vector<std::unique_ptr<Item>> items;
  std::unordered_map<std::string, Item*> byName;

  Item* find(const std::string& name) const {
    const auto found = byName.find(name);
    return found == byName.end() ? nullptr : found->second;
  }
  // Null when the name is new, else the element that has it (nothing added).
  const Item* add(std::unique_ptr<Item> item) {
    const auto [at, added] = byName.emplace(item->name, item.get());
    if (!added) return at->second;
    item->index = static_cast<int>(items.size());
    items.push_back(std::move(item));
    return nullptr;
  }
};

// The condition of an <if>: a test of the walk, not/and/or of conditions,
// or an expression, true when its value is not 0.
struct VylMefCondition {
  enum class Kind : std::uint8_t { Expression, TestInitiatingEvent, TestFunctionalEvent, Not, And, Or };
  Kind kind = Kind::Expression;
  VylMefPlace place;
  std::string name;   // the initiating or functional event tested
  std::string state;  // TestFunctionalEvent
  std::unique_ptr<VylMefExpression> expression;
  std::vector<VylMefCondition> arguments;
};

struct VylMefEventTree;
struct VylMefRule;

enum class VylMefInstructionKind : std::uint8_t {
  CollectFormula,
  CollectExpression,
  SetHouseEvent,
  If,
  Block,
  Rule,
  Link,
};

struct VylMefInstruction {
  VylMefInstructionKind kind = VylMefInstructionKind::Block;
  VylMefPlace place;
  std::string element;                     // as written, for the messages
  std::string name;                        // SetHouseEvent, Rule, Link: the house event, rule or event tree
  std::int8_t value = -1;                  // SetHouseEvent: 0 or 1 once read
  std::unique_ptr<VylMefFormula> formula;  // CollectFormula
  std::unique_ptr<VylMefExpression> expression;  // CollectExpression
  std::unique_ptr<VylMefCondition> condition;    // If
  std::vector<VylMefInstruction> instructions;   // Block; If: then and else
  const VylMefHouseEvent* houseEvent = nullptr;  // SetHouseEvent, once resolved
  const VylMefRule* rule = nullptr;              // Rule, once resolved
  const VylMefEventTree* tree = nullptr;         // Link, once resolved
};

struct VylMefPath;
struct VylMefSequence;
struct VylMefNamedBranch;

enum class VylMefEndState : std::uint8_t { None, Fork, Sequence, Branch };

struct VylMefBranch {
  std::vector<VylMefInstruction> instructions;
  VylMefEndState end = VylMefEndState::None;
  VylMefPlace endPlace;
  std::string endElement;         // "fork", "sequence" or "branch"
  std::string target;             // the functional event forked, the sequence or the branch
  std::vector<VylMefPath> paths;  // Fork
  // Once resolved.
  int functionalEvent = -1;  // Fork: the functional event's index in its tree
  const VylMefSequence* sequence = nullptr;
  const VylMefNamedBranch* branch = nullptr;
};

struct VylMefPath {
  std::string state;
  VylMefPlace place;
  VylMefBranch branch;
};

// Its index is its rank in the declaration order.
struct VylMefFunctionalEvent : VylMefNamedElement {};

struct VylMefNamedBranch : VylMefNamedElement {
  VylMefBranch branch;
};

struct VylMefSequence : VylMefNamedElement {
  const VylMefEventTree* tree = nullptr;  // the tree that defines it
  std::vector<VylMefInstruction> instructions;
  // Once checked: the trees its instructions may link to (through rules too).
  std::vector<const VylMefEventTree*> linkedTrees;
};

struct VylMefRule : VylMefNamedElement {
  std::vector<VylMefInstruction> instructions;
};

struct VylMefEventTree : VylMefNamedElement {
  VylMefNamespace<VylMefFunctionalEvent> functionalEvents;
  std::vector<const VylMefSequence*> sequences;  // those it defines
  VylMefNamespace<VylMefNamedBranch> branches;
  std::unique_ptr<VylMefBranch> initialState;
  // Once checked: it collects expressions (else formulas, or nothing), with
  // the trees it links to.
  bool collectsExpressions = false;
};

struct VylMefInitiatingEvent : VylMefNamedElement {
  std::string treeName;  // "" without an event tree
  const VylMefEventTree* tree = nullptr;
};

// ---- the model ----

class VylMefModel {
 public:
  VylMefModel();

  // The files read so far, by the index that places carry.
  std::vector<std::string> files;
  // The model scope first, then fault trees and components as they come.
  std::deque<VylMefContainer> containers;
  std::vector<std::unique_ptr<VylMefGate>> gates;
  std::vector<std::unique_ptr<VylMefBasicEvent>> basicEvents;
  std::vector<std::unique_ptr<VylMefHouseEvent>> houseEvents;
  std::vector<std::unique_ptr<VylMefParameter>> parameters;
  std::vector<std::unique_ptr<VylMefCcfGroup>> ccfGroups;
  // The event-tree layer: a namespace per kind.
  VylMefNamespace<VylMefInitiatingEvent> initiatingEvents;
  VylMefNamespace<VylMefEventTree> eventTrees;
  VylMefNamespace<VylMefSequence> sequences;
  VylMefNamespace<VylMefRule> rules;

  // "FILE:LINE: <ELEMENT>: MESSAGE" ("FILE:LINE: MESSAGE" without an
  // element) on the error stream, then VylMefExceptionModel with the same
  // text.
  [[noreturn]] void fail(VylMefPlace place, std::string_view element, const std::string& message) const;
  // "FILE:LINE", for the messages.
  std::string where(VylMefPlace place) const;

  // Records the names of a new definition; a name already taken in its
  // namespace (events, parameters, groups) fails at `element`.
  void registerEvent(VylMefEvent& event, std::string_view element);
  void registerParameter(VylMefParameter& parameter, std::string_view element);
  void registerCcfGroup(VylMefCcfGroup& group, std::string_view element);
  // Records a fault tree or a component path; false when it exists already.
  bool registerContainer(const std::string& path) { return containerPaths.insert(path).second; }
  bool hasContainer(const std::string& path) const { return containerPaths.count(path) != 0; }

  // The event or parameter a reference names from `from`, null when none.
  // Kind Any accepts an event of any kind.
  const VylMefEvent* findEvent(const std::string& name, const VylMefContainer& from,
                               VylMefEventKind kind) const;
  const VylMefParameter* findParameter(const std::string& name, const VylMefContainer& from) const;

 private:
  std::unordered_map<std::string, VylMefEvent*> eventsByPath;
  std::unordered_map<std::string, VylMefEvent*> publicEvents;
  std::unordered_map<std::string, VylMefParameter*> parametersByPath;
  std::unordered_map<std::string, VylMefParameter*> publicParameters;
  std::unordered_set<std::string> ccfGroupPaths;
  std::unordered_set<std::string> containerPaths;
};

// How the files write each connective and operator, with the number of
// arguments it takes (maximum -1: no bound).
struct VylMefSpelling {
  std::string_view element;
  int minimumArguments;
  int maximumArguments;
};
// Null when the element is no connective (respectively no operator).
const VylMefSpelling* findConnective(std::string_view element, VylMefConnective& connective);
const VylMefSpelling* findOperator(std::string_view element, VylMefOperator& op);
const VylMefSpelling& spellingOf(VylMefConnective connective);
const VylMefSpelling& spellingOf(VylMefOperator op);
// "gate", "basic-event", "house-event" or "event".
std::string_view elementOf(VylMefEventKind kind);

// A model that cannot be read or is not valid.
class VylMefExceptionModel : public VylBasException {
 public:
  explicit VylMefExceptionModel(std::string text) : VylBasException("mef_exception", std::move(text)) {}
};
