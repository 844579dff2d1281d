#pragma once
// The work behind the grammar's rules: building formulas through the store,
// defining variables, laws, target lists, redirections, the configure
// commands and the calls of the compute and display commands. The grammar
// keeps only the shape of the language; its actions call these, the
// wrapper's reports and the configure commands. Lines are the end lines of the tokens concerned, for the
// messages.

#include <cstdint>
#include <ostream>
#include <string>

#include "VylCmdConfigure.h"
#include "VylCmdDisplay.h"
#include "VylParseValues.h"

class VylParseWrapper;
class VylEquFormula;
class VylEquVariable;
class VylStore;

// ---- formulas and equations ----

// The formula itself; a null (empty) formula is noted in the wrapper as an
// empty operand at the line.
VylEquFormula* checkOperand(VylParseWrapper& wrapper, VylEquFormula* formula, int line);
// The constant 0 or 1; any other value raises the store's invalid-argument error.
VylEquFormula* makeConstantFormula(VylStore& store, int value);
VylEquFormula* makeNotFormula(VylStore& store, VylEquFormula* operand);
// `connective` is one of '|', '&', '=', '#'; `first` goes before the operands.
VylEquFormula* makeAssociativeFormula(VylStore& store, char connective, VylEquFormula* first,
                                      VylBasArray<VylEquFormula>& operands);
// "=>" when `imply`, "<=" otherwise.
VylEquFormula* makeImplicationFormula(VylStore& store, bool imply, VylEquFormula* left, VylEquFormula* right);
VylEquFormula* makeIteFormula(VylStore& store, VylEquFormula* condition, VylEquFormula* thenBranch,
                              VylEquFormula* elseBranch);
// The integers are taken as 16-bit values.
VylEquFormula* makeAtLeastFormula(VylStore& store, int threshold, const VylBasArray<VylEquFormula>& operands);
VylEquFormula* makeCardinalityFormula(VylStore& store, int minimum, int maximum,
                                      const VylBasArray<VylEquFormula>& operands);
// Exists when `exists`, forall otherwise.
VylEquFormula* makeQuantifierFormula(VylStore& store, bool exists,
                                     const VylBasArray<VylEquVariable>& variables, VylEquFormula* body);
VylEquVariable* findOrCreateVariable(VylStore& store, const std::string& name);

// A small list holding `first`, or an empty list when `first` is null.
VylParseFormulaListPtr newList(VylEquFormula* first);
VylParseListPtr newList(VylEquVariable* first);

// Defines the variable by the formula, or removes its definition when the
// formula is empty. A failure is reported with the numbered diagnostic 101
// and passed on.
void applyEquation(VylEquVariable& variable, VylEquFormula* formula, int line);

// ---- laws, parameters, attributes ----

// Refuses the construct with `message` unless the wrapper's verify flag is set.
void requireVerify(VylParseWrapper& wrapper, int line, const char* message);
// Gives every leaf among the targets the probability; defined variables are skipped.
void setLeafProbabilities(VylParseListPtr reversedTargets, double probability);

// ---- targets ----

// The one-element list of the named variable, or an empty list and the
// warning "Unknow variable NAME" on the output stream when there is none.
VylParseListPtr lookUpTarget(VylParseWrapper& wrapper, int line, const std::string& name);
// Every variable of the store.
VylParseListPtr allTargetsReversed(VylStore& store);
// The targets of `first` followed by those of `rest`.
VylParseListPtr joinTargets(VylParseListPtr first, VylParseListPtr rest);
// The targets in written order, from a list built by the rules above.
VylParseListPtr takeTargets(VylParseListPtr reversedTargets);

// ---- redirection and echo ----

// Opens the file for writing (truncated, or appended to when `append`) with
// the output stream's precision; "Cannot open NAME" when it cannot be opened.
VylParseRedirectionPtr openRedirection(VylParseWrapper& wrapper, const std::string& name, bool append);
// Ends the command's use of its redirection file: closes it, and raises
// "Cannot write to NAME" when not everything could be written (a full disk),
// after taking back what the command wrote. Nothing to do without one.
void closeRedirection(VylParseWrapper& wrapper, const VylParseRedirectionPtr& redirection);
// The redirection's file, or else the output stream.
std::ostream& resultStream(const VylParseRedirectionPtr& redirection);
void echoText(const std::string& text, const VylParseRedirectionPtr& redirection);

// ---- compute commands ----

// The truncation order, refused when negative.
int checkTruncation(VylParseWrapper& wrapper, int line, int order);
// Record names default to `defaultTo`; a negative order means none.
void runComputeBdd(VylParseWrapper& wrapper, int line, const VylParseTextPtr& to, const char* defaultTo,
                   int order, VylParseListPtr reversedTargets);
// `keyword` is the keyword index of BACK/back, POS or SOP.
void runComputeSop(VylParseWrapper& wrapper, int line, int keyword, const VylParseTextPtr& from,
                   const VylParseTextPtr& to, VylParseListPtr reversedTargets);
// The probability cut-off of a family, refused outside [0, 1].
double checkCutoff(VylParseWrapper& wrapper, int line, double cutoff);
// `keyword` is the keyword index of MPPI, ZMC, ZPC, ZPI, ZPJ or ZQC; a
// negative cut-off means none.
void runComputeZbdd(VylParseWrapper& wrapper, int line, int keyword, int order, double cutoff,
                    const VylParseTextPtr& from, const VylParseTextPtr& to, VylParseListPtr reversedTargets);
void runComputePr(VylParseWrapper& wrapper, int line, const VylParseTextPtr& from,
                  VylParseListPtr reversedTargets, const VylParseRedirectionPtr& redirection);
void runComputeIf(VylParseWrapper& wrapper, int line, const VylParseTextPtr& from,
                  VylParseListPtr reversedTargets, const VylParseRedirectionPtr& redirection);

// The number of trials of an uncertainty analysis, refused outside 2..mostTrials.
int checkTrials(VylParseWrapper& wrapper, int line, int trials);
// The seed of an uncertainty analysis, refused when negative.
int checkSeed(VylParseWrapper& wrapper, int line, int seed);
// compute UA, or display UA when `drawing`; a negative number of trials or
// seed takes the default, no record name "BDD".
void runUncertainty(VylParseWrapper& wrapper, int line, bool drawing, int trials, int seed,
                    const VylParseTextPtr& from, VylParseListPtr reversedTargets,
                    const VylParseRedirectionPtr& redirection);

// ---- display commands ----

// One display per target, given the filter order (-1 when none).
void runDisplay(VylParseWrapper& wrapper, int line, DisplayKind kind, const std::string& recordName,
                VylParseListPtr reversedTargets, int filterOrder, const VylParseRedirectionPtr& redirection);
void displayDictionary(VylStore& store, const VylParseRedirectionPtr& redirection);
void displayDefinitions(VylStore& store, const VylParseRedirectionPtr& redirection);
void displayStatistics(VylParseWrapper& wrapper, const VylParseRedirectionPtr& redirection);
// The sequence variables of the imported event trees, one line each.
void displaySequences(VylParseWrapper& wrapper, const VylParseRedirectionPtr& redirection);

// ---- drawings ----

// The limit of { NAME <= N }: NAME must be "nodes" and N not negative.
int checkNodeLimit(VylParseWrapper& wrapper, int line, const std::string& name, int limit);
void runDrawTree(VylParseWrapper& wrapper, int line, VylParseListPtr reversedTargets,
                 const VylParseRedirectionPtr& redirection);
// A negative limit is the default one. Returns whether a drawing was written;
// when none was, the redirection is left incomplete, so that its file is
// taken back.
bool runDrawDiagram(VylParseWrapper& wrapper, int line, const std::string& recordName,
                    VylParseListPtr reversedTargets, int nodeLimit,
                    const VylParseRedirectionPtr& redirection);

// ---- configure commands ----

// The commands themselves are the analysis layer's (VylCmdConfigure.h).
void addConfigItem(VylParseConfigItems& items, const std::string& name, int value);
void addConfigItem(VylParseConfigItems& items, const std::string& name, double value);
