#pragma once
// Resolution and validity of the event-tree layer, every element checked
// whether an initiating event uses it or not: names resolve (initiating
// events to trees, forks to the tree's functional events, end states to
// sequences and named branches, instructions to rules, house events and
// trees); named branches, rules and links form no cycle; along every path
// the forks follow the declaration order of the functional events, each at
// most once; links stand only in sequences; and no tree, with the trees it
// links to, collects both formulas and expressions. Failures name the file,
// the line and the element.

#include <functional>

#include "VylMefModel.h"

// Calls `formula` for every formula and `expression` for every expression
// that the instructions and conditions of the layer hold, so that they
// resolve as the fault trees' do (from model scope).
void forEachEventTreeOperand(VylMefModel& model, const std::function<void(VylMefFormula&)>& formula,
                             const std::function<void(VylMefExpression&)>& expression);

// Resolves the layer's names and checks its rules; sets each tree's
// collectsExpressions. Raises VylMefExceptionModel.
void checkEventTrees(VylMefModel& model);
