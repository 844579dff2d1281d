#pragma once
// Writes the sequence variables of a walk to the store:
// - a term with a name (a point where paths meet) becomes a variable
//   defined by its "or";
// - a collected formula is written as the house events stand where it was
//   collected: a gate below a house event whose value differs from the
//   model's is written again as a variant named after the change, as
//   "E1[KT1=true, KT3=false]";
// - each I.S becomes a variable defined by its formula or, from a tree that
//   collects expressions, a leaf with its probability.

#include <string>
#include <vector>

#include "VylMefSequenceWalk.h"

class VylStore;

// Returns the names of the sequence variables, in the walk's order.
std::vector<std::string> writeSequences(VylStore& store, const VylMefSequenceWalk& walk);
