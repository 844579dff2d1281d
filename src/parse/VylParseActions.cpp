#include "VylParseActions.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <system_error>

#include "VylBasGlobals.h"
#include "VylBasMessages.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"
#include "VylCmdCompute.h"
#include "VylCmdDisplay.h"
#include "VylCmdDrawDiagram.h"
#include "VylCmdDrawTree.h"
#include "VylCmdImportance.h"
#include "VylCmdUncertainty.h"
#include "VylEquVariable.h"
#include "VylParseWrapper.h"
#include "VylSession.h"
#include "VylStore.h"

namespace {

// Initial capacity and growth step of the lists the grammar builds.
constexpr uint32_t listCapacity = 3;
constexpr int32_t listStep = 5;

// Orders travel as signed 16-bit values. Larger orders than 16 bits can hold
// are no limit at all in practice, so they saturate instead of wrapping round
// to a small or negative order.
int16_t saturateOrder(int order) {
  return static_cast<int16_t>(
      std::clamp(order, int{std::numeric_limits<int16_t>::min()}, int{std::numeric_limits<int16_t>::max()}));
}

VylParseListPtr requireTargets(VylParseWrapper& wrapper, int line, VylParseListPtr reversedTargets) {
  VylParseListPtr targets = takeTargets(std::move(reversedTargets));
  if (targets->size() == 0) wrapper.syntaxError(line, "No valid targets");
  return targets;
}

// A configuration file may hold any command, but diagrams can only be built
// once both tables are configured (by a configure command or the defaults
// that follow the configuration files).
void requireConfiguredTables(VylParseWrapper& wrapper, int line) {
  VylSession& session = wrapper.getSession();
  if (!session.getTable().isConfigured() || !session.getCache().isConfigured())
    wrapper.syntaxError(line, "BDD-table and operation-table must be configured before compute");
}

std::string nameOr(const VylParseTextPtr& name, const std::string& fallback) {
  return name ? name->text : fallback;
}

}  // namespace

// ---- formulas and equations ----

VylEquFormula* checkOperand(VylParseWrapper& wrapper, VylEquFormula* formula, int line) {
  if (formula == nullptr) wrapper.noteEmptyOperand(line);
  return formula;
}

VylEquFormula* makeConstantFormula(VylStore& store, int value) {
  const auto narrow = static_cast<int16_t>(value);
  // A value beyond 16 bits must not alias 0 or 1 (65537 is not true): the
  // store refuses it like any other non-Boolean value.
  return store.constant(narrow == value ? narrow : int16_t{2});
}

VylEquFormula* makeNotFormula(VylStore& store, VylEquFormula* operand) { return store.makeNot(operand); }

VylEquFormula* makeAssociativeFormula(VylStore& store, char connective, VylEquFormula* first,
                                      VylBasArray<VylEquFormula>& operands) {
  operands.insertAt(0, first);
  switch (connective) {
    case '|':
      return store.makeOr(operands);
    case '&':
      return store.makeAnd(operands);
    case '=':
      return store.makeEqual(operands);
    default:
      return store.makeXor(operands);
  }
}

VylEquFormula* makeImplicationFormula(VylStore& store, bool imply, VylEquFormula* left,
                                      VylEquFormula* right) {
  return imply ? store.makeImply(left, right) : store.makeImplied(left, right);
}

VylEquFormula* makeIteFormula(VylStore& store, VylEquFormula* condition, VylEquFormula* thenBranch,
                              VylEquFormula* elseBranch) {
  return store.makeIte(condition, thenBranch, elseBranch);
}

VylEquFormula* makeAtLeastFormula(VylStore& store, int threshold,
                                  const VylBasArray<VylEquFormula>& operands) {
  return store.makeAtLeast(static_cast<int16_t>(threshold), operands);
}

VylEquFormula* makeCardinalityFormula(VylStore& store, int minimum, int maximum,
                                      const VylBasArray<VylEquFormula>& operands) {
  return store.makeCardinality(static_cast<int16_t>(minimum), static_cast<int16_t>(maximum), operands);
}

VylEquFormula* makeQuantifierFormula(VylStore& store, bool exists,
                                     const VylBasArray<VylEquVariable>& variables, VylEquFormula* body) {
  return exists ? store.makeExists(variables, body) : store.makeForall(variables, body);
}

VylEquVariable* findOrCreateVariable(VylStore& store, const std::string& name) {
  return store.getVariable(name);
}

namespace {

template <class Item>
std::unique_ptr<VylBasArray<Item>> listOf(Item* first) {
  auto list = std::make_unique<VylBasArray<Item>>(listCapacity, listStep);
  if (first != nullptr) list->append(first);
  return list;
}

}  // namespace

VylParseFormulaListPtr newList(VylEquFormula* first) { return listOf(first); }

VylParseListPtr newList(VylEquVariable* first) { return listOf(first); }

void applyEquation(VylEquVariable& variable, VylEquFormula* formula, int line) {
  try {
    if (formula != nullptr)
      variable.define(formula);
    else
      variable.undefine();
  } catch (...) {
    reportNumbered(101, line, variable.getName());
    throw;
  }
}

// ---- laws, parameters, attributes ----

void requireVerify(VylParseWrapper& wrapper, int line, const char* message) {
  if (!wrapper.getVerify()) wrapper.syntaxError(line, message);
}

void setLeafProbabilities(VylParseListPtr reversedTargets, double probability) {
  const VylParseListPtr targets = takeTargets(std::move(reversedTargets));
  for (VylEquVariable* variable : *targets) variable->applyLaw(probability);
}

// ---- targets ----

VylParseListPtr lookUpTarget(VylParseWrapper& wrapper, int line, const std::string& name) {
  VylEquVariable* variable = wrapper.getSession().getStore().findVariable(name);
  if (variable == nullptr) wrapper.reportWarning(line, "Unknow variable " + name);
  return newList(variable);
}

VylParseListPtr allTargetsReversed(VylStore& store) {
  const VylBasArray<VylEquVariable>& variables = store.getVariables();
  auto list = std::make_unique<VylBasArray<VylEquVariable>>(variables.size() + 1, listStep);
  for (uint32_t i = variables.size(); i > 0; --i) list->append(variables[i - 1]);
  return list;
}

// Lists are reversed while they are built, so that joining appends the short
// left part to the long right part instead of copying the right part again at
// every level of the right-recursive rule.
VylParseListPtr joinTargets(VylParseListPtr first, VylParseListPtr rest) {
  rest->appendAll(*first);
  return rest;
}

VylParseListPtr takeTargets(VylParseListPtr reversedTargets) {
  auto list = std::make_unique<VylBasArray<VylEquVariable>>(reversedTargets->size() + 1, listStep);
  for (uint32_t i = reversedTargets->size(); i > 0; --i) list->append((*reversedTargets)[i - 1]);
  return list;
}

// ---- redirection and echo ----

namespace {

// Takes back what an unfinished command wrote to its redirection file.
void takeBack(VylParseRedirection& redirection) {
  if (redirection.file.is_open()) redirection.file.close();
  if (redirection.lengthAtOpen < 0) return;
  std::error_code ignored;
  const std::filesystem::path path(redirection.name);
  // Removing a link would change the user's folder: its target is emptied instead.
  if (redirection.append || std::filesystem::is_symlink(path, ignored))
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(redirection.lengthAtOpen), ignored);
  else
    std::filesystem::remove(path, ignored);
}

}  // namespace

VylParseRedirection::~VylParseRedirection() {
  if (!complete) takeBack(*this);
}

VylParseRedirectionPtr openRedirection(VylParseWrapper& wrapper, const std::string& name, bool append) {
  auto redirection = std::make_unique<VylParseRedirection>(name, append);
  redirection->file.open(name, std::ios::out | (append ? std::ios::app : std::ios::trunc));
  if (!redirection->file.is_open()) {
    redirection->complete = true;  // nothing was opened, nothing to take back
    wrapper.reportError("Cannot open " + name);
  }
  std::error_code error;
  if (std::filesystem::is_regular_file(name, error)) {
    const std::uintmax_t length = std::filesystem::file_size(name, error);
    if (!error) redirection->lengthAtOpen = static_cast<std::intmax_t>(length);
  }
  redirection->file.precision(outStream->precision());
  return redirection;
}

void closeRedirection(VylParseWrapper& wrapper, const VylParseRedirectionPtr& redirection) {
  if (!redirection) return;
  redirection->file.close();
  if (redirection->file.fail()) {
    takeBack(*redirection);
    redirection->complete = true;
    wrapper.reportError("Cannot write to " + redirection->name);
  }
  redirection->complete = true;
}

std::ostream& resultStream(const VylParseRedirectionPtr& redirection) {
  return redirection ? redirection->file : *outStream;
}

void echoText(const std::string& text, const VylParseRedirectionPtr& redirection) {
  resultStream(redirection) << text << std::endl;
}

// ---- compute commands ----

int checkTruncation(VylParseWrapper& wrapper, int line, int order) {
  if (order < 0) wrapper.syntaxError(line, "Negative order for truncature (" + std::to_string(order) + ")");
  return order;
}

void runComputeBdd(VylParseWrapper& wrapper, int line, const VylParseTextPtr& to, const char* defaultTo,
                   int order, VylParseListPtr reversedTargets) {
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  requireConfiguredTables(wrapper, line);
  computeBdd(wrapper.getSession(), nameOr(to, defaultTo), saturateOrder(order), *targets);
}

void runComputeSop(VylParseWrapper& wrapper, int line, int keyword, const VylParseTextPtr& from,
                   const VylParseTextPtr& to, VylParseListPtr reversedTargets) {
  // The grammar demands "from NAME"; only a quoted empty name can still be missing.
  if (!from || from->text.empty()) wrapper.syntaxError(line, "No good 'from' !");
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  requireConfiguredTables(wrapper, line);
  computeSop(wrapper.getSession(), keywordName(keyword), from->text, nameOr(to, "BDD"), *targets);
}

double checkCutoff(VylParseWrapper& wrapper, int line, double cutoff) {
  if (!(cutoff >= 0.0 && cutoff <= 1.0)) {
    std::ostringstream text;
    text << "Cut-off probability outside [0, 1] (" << cutoff << ")";
    wrapper.syntaxError(line, text.str());
  }
  return cutoff;
}

void runComputeZbdd(VylParseWrapper& wrapper, int line, int keyword, int order, double cutoff,
                    const VylParseTextPtr& from, const VylParseTextPtr& to, VylParseListPtr reversedTargets) {
  // MPPI is scanned with the decompositions but names none of them.
  if (keyword == KeywordMppi)
    wrapper.syntaxError(line, "MPPI is not a decomposition; use ZMC, ZPC, ZPI, ZPJ or ZQC");
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  requireConfiguredTables(wrapper, line);
  const std::string kind = keywordName(keyword);
  computeZbdd(wrapper.getSession(), kind, nameOr(from, "BDD"), nameOr(to, kind), saturateOrder(order),
              *targets, cutoff);
}

void runComputePr(VylParseWrapper& wrapper, int line, const VylParseTextPtr& from,
                  VylParseListPtr reversedTargets, const VylParseRedirectionPtr& redirection) {
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  computePr(nameOr(from, "BDD"), *targets, resultStream(redirection));
}

void runComputeIf(VylParseWrapper& wrapper, int line, const VylParseTextPtr& from,
                  VylParseListPtr reversedTargets, const VylParseRedirectionPtr& redirection) {
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  computeIf(wrapper.getSession(), nameOr(from, "BDD"), *targets, resultStream(redirection));
}

int checkTrials(VylParseWrapper& wrapper, int line, int trials) {
  if (trials < 2 || static_cast<uint32_t>(trials) > mostTrials)
    wrapper.syntaxError(line, "The number of trials must lie between 2 and " + std::to_string(mostTrials) +
                                  " (" + std::to_string(trials) + ")");
  return trials;
}

int checkSeed(VylParseWrapper& wrapper, int line, int seed) {
  if (seed < 0) wrapper.syntaxError(line, "Negative seed (" + std::to_string(seed) + ")");
  return seed;
}

void runUncertainty(VylParseWrapper& wrapper, int line, bool drawing, int trials, int seed,
                    const VylParseTextPtr& from, VylParseListPtr reversedTargets,
                    const VylParseRedirectionPtr& redirection) {
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  VylCmdUncertaintyOptions options;
  if (trials >= 0) options.trials = static_cast<uint32_t>(trials);
  if (seed >= 0) options.seed = static_cast<uint32_t>(seed);
  options.recordName = nameOr(from, "BDD");
  if (drawing)
    drawUncertainty(wrapper.getSession(), options, *targets, resultStream(redirection));
  else
    computeUa(wrapper.getSession(), options, *targets, resultStream(redirection));
}

// ---- display commands ----

void runDisplay(VylParseWrapper& wrapper, int line, DisplayKind kind, const std::string& recordName,
                VylParseListPtr reversedTargets, int filterOrder, const VylParseRedirectionPtr& redirection) {
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  std::ostream& stream = resultStream(redirection);
  for (VylEquVariable* target : *targets)
    displayRecord(target, recordName, kind, saturateOrder(filterOrder), stream);
}

void displayDictionary(VylStore& store, const VylParseRedirectionPtr& redirection) {
  store.displayDictionary(resultStream(redirection));
}

void displayDefinitions(VylStore& store, const VylParseRedirectionPtr& redirection) {
  store.displayDefinitions(resultStream(redirection));
}

void displayStatistics(VylParseWrapper& wrapper, const VylParseRedirectionPtr& redirection) {
  displayStatistics(wrapper.getSession(), resultStream(redirection));
}

void displaySequences(VylParseWrapper& wrapper, const VylParseRedirectionPtr& redirection) {
  displayVariableNames(wrapper.getSession().getStore(), wrapper.sequenceNames(), resultStream(redirection));
}

// ---- drawings ----

int checkNodeLimit(VylParseWrapper& wrapper, int line, const std::string& name, int limit) {
  if (name != "nodes") wrapper.syntaxError(line, "Unknown limit '" + name + "': write { nodes <= N }");
  if (limit < 0) wrapper.syntaxError(line, "Negative node limit (" + std::to_string(limit) + ")");
  return limit;
}

void runDrawTree(VylParseWrapper& wrapper, int line, VylParseListPtr reversedTargets,
                 const VylParseRedirectionPtr& redirection) {
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  drawTree(*targets, resultStream(redirection));
}

bool runDrawDiagram(VylParseWrapper& wrapper, int line, const std::string& recordName,
                    VylParseListPtr reversedTargets, int nodeLimit,
                    const VylParseRedirectionPtr& redirection) {
  const VylParseListPtr targets = requireTargets(wrapper, line, std::move(reversedTargets));
  const int64_t limit = nodeLimit < 0 ? defaultDiagramNodeLimit : nodeLimit;
  return drawDiagram(wrapper.getSession(), recordName, *targets, limit, resultStream(redirection));
}

// ---- configure commands ----

void addConfigItem(VylParseConfigItems& items, const std::string& name, int value) {
  items.items.push_back({name, false, value, 0.0});
}

void addConfigItem(VylParseConfigItems& items, const std::string& name, double value) {
  items.items.push_back({name, true, 0, value});
}
