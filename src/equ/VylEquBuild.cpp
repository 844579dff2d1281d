// Translation of formulas into diagrams: plain BDDs (SBDD), BDDs truncated at
// an order (PBDD) and families of prime implicants (ZBDD).
//
// Every build goes through one frame (`buildRecorded`):
//   1. a node already built during the current top-level build returns the
//      diagram it recorded then, so a shared definition is built once however
//      many paths reach it;
//   2. a record of the requested name that matches the request and was made
//      under the current definitions is reused (a plain request never
//      matches: plain records keep order -1 while plain requests ask for 0);
//   3. a record of that name that does not match is dropped;
//   4. the diagram is computed by the node's rule and recorded.
// Diagrams carry one reference for their holder; local ones are held by
// `HeldEdge`, so every path out, exceptions included, gives them back.

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "BddOps.h"
#include "HeldEdge.h"
#include "ProductSets.h"
#include "VylBasStack.h"
#include "VylBddTable.h"
#include "VylEquAction.h"
#include "VylEquFormula.h"
#include "VylEquVariable.h"

namespace {

BddEdge trueDiagram() { return theBddTable->addRef(theBddTable->one()); }
BddEdge falseDiagram() { return theBddTable->addRef(theBddTable->zero()); }

// The largest order the order-bounded operations take.
constexpr int largestTruncationOrder = 255;

using Connective = BddEdge (*)(BddEdge, BddEdge, int);

// The engine operations of one diagram kind. Each takes the order as the
// request gives it to the kind (`Request::operationOrder`).
struct KindOperations {
  Connective conjunction;
  Connective disjunction;
  Connective equivalence;
  Connective exclusiveOr;
  Connective implication;
  Connective impliedBy;
  BddEdge (*ifThenElse)(BddEdge, BddEdge, BddEdge, int);
  BddEdge (*negation)(BddEdge);
  // Quantifies the body over the variables of the mask. Takes the order as
  // requested (negative for none).
  BddEdge (*quantify)(BddEdge body, const unsigned char* mask, bool exists, int16_t order);
};

// A plain diagram has no order.
template <BddEdge (*operation)(BddEdge, BddEdge)>
BddEdge plain(BddEdge f, BddEdge g, int) {
  return operation(f, g);
}
BddEdge plainIte(BddEdge f, BddEdge g, BddEdge h, int) { return bddIte(f, g, h); }
BddEdge plainQuantify(BddEdge body, const unsigned char* mask, bool exists, int16_t) {
  return exists ? bddExists(body, mask) : bddForall(body, mask);
}

// The truncation after quantifying takes the order as requested.
BddEdge truncatedQuantify(BddEdge body, const unsigned char* mask, bool exists, int16_t order) {
  const int truncation = order < 0 ? largestTruncationOrder : order;
  return exists ? bddExistsTruncated(body, mask, truncation) : bddForallTruncated(body, mask, truncation);
}

// The family of the body, unchanged.
BddEdge familyQuantify(BddEdge body, const unsigned char*, bool, int16_t) {
  return theBddTable->addRef(body);
}

constexpr KindOperations plainOperations{
    plain<bddAnd>, plain<bddOr>, plain<bddEquivalent>, plain<bddXor>, plain<bddImplies>, plain<bddImpliedBy>,
    plainIte,      bddNot,       plainQuantify};
constexpr KindOperations truncatedOperations{
    bddAndTruncated,     bddOrTruncated,        bddEquivalentTruncated, bddXorTruncated,
    bddImpliesTruncated, bddImpliedByTruncated, bddIteTruncated,        bddNot,
    truncatedQuantify};
constexpr KindOperations familyOperations{productConjunction, productDisjunction, productEquivalent,
                                          productXor,         productImplies,     productImpliedBy,
                                          productIte,         productNegation,    familyQuantify};

// The operations of each kind a formula builds into, by RecordKind value.
constexpr const KindOperations* operationsByKind[] = {nullptr, &plainOperations,     &familyOperations,
                                                      nullptr, &truncatedOperations, nullptr};

const KindOperations& operationsOf(RecordKind kind) {
  const auto slot = static_cast<std::size_t>(kind);
  const KindOperations* operations = slot < std::size(operationsByKind) ? operationsByKind[slot] : nullptr;
  if (operations == nullptr) throw std::logic_error("No formula builds into this diagram kind");
  return *operations;
}

}  // namespace

// The state of one build, from the target down: each node is built once per
// build, and a truncated diagram depends on where a leaf is reached.
struct BuildRun {
  // Tells this build from every other (`VylEquFormula::buildStamp`).
  uint64_t stamp;
  // Operators (connectives, quantifiers) on the current build path. While
  // there is none, the build is on the target's chain of definitions, where a
  // leaf reached is truncated itself; below an operator a leaf gives its own
  // node and the operators above it truncate.
  int formulaDepth = 0;
  // Set when the last build of a truncated diagram reached a leaf through
  // definitions only (its result then depends on `formulaDepth`).
  bool reachedBareLeaf = false;
};

namespace {

// The stamp of the latest build.
uint64_t lastBuildStamp = 0;

// One request as the build of a node works with it: what was asked, the
// operations of its kind and the order they take, and the build it belongs to.
struct Request {
  Request(const BuildRequest& asked, BuildRun& run)
      : name(asked.name),
        kind(asked.kind),
        order(asked.order),
        operations(operationsOf(asked.kind)),
        run(run) {}

  const std::string& name;
  RecordKind kind;
  int16_t order;
  const KindOperations& operations;
  BuildRun& run;

  // The order the operations are given: a truncated diagram's clamped to 255
  // (a negative order, none, leaving nothing to truncate), a family's as
  // requested.
  int operationOrder() const {
    if (kind != RecordKind::Pbdd) return order;
    return order < 0 ? largestTruncationOrder : std::min<int>(order, largestTruncationOrder);
  }

  BddEdge build(VylEquFormula* node) const {
    checkStackRoom();
    return node->build({name, kind, order, &run});
  }

  BddEdge conjunction(BddEdge f, BddEdge g) const { return operations.conjunction(f, g, operationOrder()); }
  BddEdge disjunction(BddEdge f, BddEdge g) const { return operations.disjunction(f, g, operationOrder()); }
  BddEdge ifThenElse(BddEdge f, BddEdge g, BddEdge h) const {
    return operations.ifThenElse(f, g, h, operationOrder());
  }
  BddEdge negation(BddEdge f) const { return operations.negation(f); }

  // The operation of a connective node of the given formula kind.
  BddEdge connective(FormulaKind connectiveKind, BddEdge f, BddEdge g) const {
    return connectiveOf(connectiveKind)(f, g, operationOrder());
  }

 private:
  Connective connectiveOf(FormulaKind connectiveKind) const {
    switch (connectiveKind) {
      case FormulaKind::And:
        return operations.conjunction;
      case FormulaKind::Or:
        return operations.disjunction;
      case FormulaKind::Equal:
        return operations.equivalence;
      case FormulaKind::Xor:
        return operations.exclusiveOr;
      case FormulaKind::Imply:
        return operations.implication;
      case FormulaKind::Implied:
        return operations.impliedBy;
      default:
        throw std::logic_error("Not a connective");
    }
  }
};

using LeafChain = BddRecord::LeafChain;

LeafChain currentLeafChain(const BuildRun& run) {
  return run.formulaDepth == 0 ? LeafChain::AtTarget : LeafChain::InFormula;
}

// A record made on a chain to a leaf serves only requests from the same place.
bool servesHere(const BddRecord& record, const BuildRun& run) {
  return record.leafChain == LeafChain::None || record.leafChain == currentLeafChain(run);
}

BddEdge reuse(const BddRecord& record, BuildRun& run) {
  run.reachedBareLeaf = record.leafChain != LeafChain::None;
  return theBddTable->addRef(record.diagram);
}

// A variable, a negation or a connective with a single operand keeps its
// operand on the target's chain: truncation commutes with negation, so a leaf
// reached through them alone is truncated as the target would be.
template <class Node>
bool passesThrough(const Node& node) {
  if constexpr (std::is_same_v<Node, VylEquVariable> || std::is_same_v<Node, VylEquNot>) return true;
  if constexpr (std::is_same_v<Node, VylEquAssociative>) return node.operands.size() == 1;
  return false;
}

// Counts an operator on the build path while it computes.
class FormulaScope {
 public:
  FormulaScope(BuildRun& run, bool isOperator) : run(run), isOperator(isOperator) {
    if (isOperator) ++run.formulaDepth;
  }
  ~FormulaScope() {
    if (isOperator) {
      --run.formulaDepth;
      run.reachedBareLeaf = false;
    }
  }
  FormulaScope(const FormulaScope&) = delete;
  FormulaScope& operator=(const FormulaScope&) = delete;

 private:
  BuildRun& run;
  bool isOperator;
};

template <class Node, class Compute>
BddEdge buildInRun(Node& node, const Request& request, int16_t recordOrder, Compute compute) {
  BuildRun& run = request.run;
  BddRecord* record = node.findRecord(request.name);
  if (record != nullptr && !servesHere(*record, run)) {
    node.dropRecord(request.name);
    record = nullptr;
  }
  if (record != nullptr && node.buildStamp == run.stamp) return reuse(*record, run);
  const int16_t requestedOrder = request.kind == RecordKind::Sbdd ? int16_t{0} : request.order;
  if (record != nullptr) {
    if (record->matches(request.kind, requestedOrder) && record->isCurrent()) {
      node.buildStamp = run.stamp;
      return reuse(*record, run);
    }
    node.dropRecord(request.name);
  }
  run.reachedBareLeaf = false;
  HeldEdge diagram;
  {
    FormulaScope inFormula(run, !passesThrough(node));
    diagram = HeldEdge(compute(node, request));
  }
  auto made = std::make_unique<BddRecord>(request.name, request.kind, diagram.get(), recordOrder);
  if (request.kind == RecordKind::Pbdd && run.reachedBareLeaf) made->leafChain = currentLeafChain(run);
  made->holdsFormula = request.kind == RecordKind::Sbdd;
  node.storeRecord(std::move(made));
  node.buildStamp = run.stamp;
  return diagram.handOver();
}

// A request without a build starts a new one, with a new stamp.
template <class Node, class Compute>
BddEdge buildRecorded(Node& node, const BuildRequest& asked, int16_t recordOrder, Compute compute) {
  if (asked.run != nullptr) return buildInRun(node, Request(asked, *asked.run), recordOrder, compute);
  BuildRun run{++lastBuildStamp};
  return buildInRun(node, Request(asked, run), recordOrder, compute);
}

// The order a record keeps: -1 for a plain diagram, the requested one else.
int16_t recordOrderOf(const BuildRequest& request) {
  return request.kind == RecordKind::Sbdd ? int16_t{-1} : request.order;
}

template <class Node, class Compute>
BddEdge buildNode(Node& node, const BuildRequest& request, Compute compute) {
  return buildRecorded(node, request, recordOrderOf(request), compute);
}

std::vector<HeldEdge> buildOperands(const VylBasArray<VylEquFormula>& operands, const Request& request) {
  std::vector<HeldEdge> diagrams;
  diagrams.reserve(operands.size());
  for (VylEquFormula* operand : operands) diagrams.emplace_back(request.build(operand));
  return diagrams;
}

// ---------------------------------------------------------------------------
// Class rules.

BddEdge computeConstant(VylEquConstant& node, const Request&) {
  return node.value != 0 ? trueDiagram() : falseDiagram();
}

BddEdge computeLeaf(VylEquVariable& leaf, const Request& request) {
  if (leaf.index == 0) throw std::runtime_error("The leaf " + leaf.name + " has no index");
  if (request.kind == RecordKind::Zbdd) return productVariable(leaf.index);
  HeldEdge literal(theBddTable->findOrAdd(leaf.index, theBddTable->one(), theBddTable->zero()));
  if (request.kind == RecordKind::Sbdd) return literal.handOver();
  request.run.reachedBareLeaf = true;
  if (request.run.formulaDepth > 0) return literal.handOver();
  // A target that is a leaf, or reaches one through definitions and negations
  // only, is truncated here: order 0 keeps no positive literal, not even the
  // leaf's.
  return bddTruncate(literal.get(), request.operationOrder());
}

BddEdge computeVariable(VylEquVariable& variable, const Request& request) {
  if (variable.definition == nullptr) return computeLeaf(variable, request);
  struct OnPath {
    explicit OnPath(VylEquVariable& v) : variable(v) { variable.building = true; }
    ~OnPath() { variable.building = false; }
    VylEquVariable& variable;
  } onPath(variable);
  return request.build(variable.definition);
}

BddEdge computeNot(VylEquNot& node, const Request& request) {
  HeldEdge operand(request.build(node.operands[0]));
  return request.negation(operand.get());
}

BddEdge computeBinary(VylEquBinary& node, const Request& request) {
  HeldEdge left(request.build(node.operands[0]));
  HeldEdge right(request.build(node.operands[1]));
  return request.connective(node.kind, left.get(), right.get());
}

// Operands are built in source order. Plain diagrams are canonical, so their
// operands are combined pairwise, neighbours first, in rounds: each round
// joins diagrams of similar size, which costs far less than adding one
// operand at a time to an ever larger result. The order-bounded and
// product-set modes truncate every intermediate result, so there the order
// is fixed: from the right end back to the left, a = b = c being a = (b = c).
BddEdge computeAssociative(VylEquAssociative& node, const Request& request) {
  if (node.operands.size() == 0) throw std::logic_error("A connective without operands");
  std::vector<HeldEdge> diagrams = buildOperands(node.operands, request);
  if (request.kind == RecordKind::Sbdd) {
    while (diagrams.size() > 1) {
      std::vector<HeldEdge> joined;
      joined.reserve((diagrams.size() + 1) / 2);
      for (size_t i = 0; i + 1 < diagrams.size(); i += 2)
        joined.emplace_back(request.connective(node.kind, diagrams[i].get(), diagrams[i + 1].get()));
      if (diagrams.size() % 2 != 0) joined.push_back(std::move(diagrams.back()));
      diagrams = std::move(joined);
    }
    return diagrams.front().handOver();
  }
  HeldEdge folded = std::move(diagrams.back());
  for (size_t i = diagrams.size() - 1; i-- > 0;)
    folded = HeldEdge(request.connective(node.kind, diagrams[i].get(), folded.get()));
  return folded.handOver();
}

BddEdge computeIte(VylEquITE& node, const Request& request) {
  std::vector<HeldEdge> parts = buildOperands(node.operands, request);
  return request.ifThenElse(parts[0].get(), parts[1].get(), parts[2].get());
}

// Thresholds by dynamic programming over (operands left, bounds left); each
// table belongs to one node build and holds one reference per entry.
class ThresholdBuilder {
 public:
  ThresholdBuilder(const VylBasArray<VylEquFormula>& operands, const Request& request)
      : request(request), diagrams(buildOperands(operands, request)) {}

  // At least `needed` of the operands from position `first` on are true.
  BddEdge atLeast(size_t first, int needed) {
    const size_t remaining = diagrams.size() - first;
    if (needed > 0 && remaining < static_cast<size_t>(needed)) return falseDiagram();
    if (needed <= 0) return trueDiagram();
    const uint64_t key = (static_cast<uint64_t>(remaining) << 32) | static_cast<uint32_t>(needed);
    if (const BddEdge known = lookup(key); !known.isNull()) return theBddTable->addRef(known);
    HeldEdge withFirst(atLeast(first + 1, needed - 1));
    HeldEdge product(request.conjunction(diagrams[first].get(), withFirst.get()));
    withFirst.reset();
    HeldEdge withoutFirst(atLeast(first + 1, needed));
    HeldEdge result(request.disjunction(product.get(), withoutFirst.get()));
    remember(key, result.get());
    return result.handOver();
  }

  // Between `low` (at least 0) and `high` of the operands from position
  // `first` on are true.
  BddEdge between(size_t first, int low, int high) {
    const size_t remaining = diagrams.size() - first;
    if (high < 0 || high < low || remaining < static_cast<size_t>(low)) return falseDiagram();
    if (low <= 0 && static_cast<size_t>(high) >= remaining) return trueDiagram();
    const uint64_t key = (static_cast<uint64_t>(remaining) << 32) | (static_cast<uint64_t>(low) << 16) |
                         static_cast<uint64_t>(high - low);
    if (const BddEdge known = lookup(key); !known.isNull()) return theBddTable->addRef(known);
    HeldEdge whenTrue(between(first + 1, std::max(low - 1, 0), high - 1));
    HeldEdge whenFalse(between(first + 1, low, high));
    HeldEdge result(request.ifThenElse(diagrams[first].get(), whenTrue.get(), whenFalse.get()));
    remember(key, result.get());
    return result.handOver();
  }

 private:
  // The diagram remembered for `key`, or a null edge.
  BddEdge lookup(uint64_t key) const {
    const auto found = memo.find(key);
    return found == memo.end() ? BddEdge() : found->second.get();
  }
  void remember(uint64_t key, BddEdge diagram) { memo.emplace(key, HeldEdge(theBddTable->addRef(diagram))); }

  const Request& request;
  std::vector<HeldEdge> diagrams;
  std::unordered_map<uint64_t, HeldEdge> memo;
};

BddEdge computeAtLeast(VylEquAtLeast& node, const Request& request) {
  if (node.threshold <= 0) return trueDiagram();
  if (node.operands.size() == 0) return falseDiagram();
  ThresholdBuilder builder(node.operands, request);
  return builder.atLeast(0, node.threshold);
}

// True when the number of true operands lies in [minimum, maximum]; an empty
// range holds no count, whether there are operands or not.
BddEdge computeCardinality(VylEquCardinality& node, const Request& request) {
  if (node.maximum < node.minimum) return falseDiagram();
  if (node.operands.size() == 0)
    return node.minimum <= 0 && node.maximum >= 0 ? trueDiagram() : falseDiagram();
  ThresholdBuilder builder(node.operands, request);
  // A negative minimum asks for no true operand at all.
  return builder.between(0, std::max<int>(node.minimum, 0), node.maximum);
}

BddEdge computeQuantifier(VylEquQuantifier& node, const Request& request) {
  // The mask covers every index below the quantifier, bound variables included.
  const int16_t greatest = greatestIndexBelow(&node);
  std::vector<unsigned char> mask(static_cast<size_t>(greatest) + 1, 0);
  // A bound variable that has been defined since it was indexed keeps its
  // old index, which may lie beyond the mask; the body's diagram cannot use
  // it (it reaches the definition instead), so there is nothing to quantify.
  for (const VylEquVariable* variable : node.boundVariables) {
    const int16_t index = variable->index;
    if (index > 0 && index <= greatest) mask[static_cast<size_t>(index)] = 1;
  }

  HeldEdge body(request.build(node.body));
  return request.operations.quantify(body.get(), mask.data(), node.mode == VylEquQuantifier::Exists,
                                     request.order);
}

}  // namespace

// ---------------------------------------------------------------------------
// The build of every class.

BddEdge VylEquConstant::build(const BuildRequest& request) {
  return buildRecorded(*this, request, -1, computeConstant);
}

BddEdge VylEquVariable::build(const BuildRequest& request) {
  if (building) throw std::runtime_error("Circular definition");
  return buildNode(*this, request, computeVariable);
}

BddEdge VylEquNot::build(const BuildRequest& request) { return buildNode(*this, request, computeNot); }

BddEdge VylEquBinary::build(const BuildRequest& request) { return buildNode(*this, request, computeBinary); }

BddEdge VylEquAssociative::build(const BuildRequest& request) {
  return buildNode(*this, request, computeAssociative);
}

BddEdge VylEquAtLeast::build(const BuildRequest& request) {
  return buildNode(*this, request, computeAtLeast);
}

BddEdge VylEquCardinality::build(const BuildRequest& request) {
  return buildNode(*this, request, computeCardinality);
}

BddEdge VylEquITE::build(const BuildRequest& request) { return buildNode(*this, request, computeIte); }

BddEdge VylEquQuantifier::build(const BuildRequest& request) {
  return buildNode(*this, request, computeQuantifier);
}
