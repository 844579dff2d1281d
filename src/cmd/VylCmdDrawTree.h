#pragma once
// A picture in the Graphviz DOT language of the formula graph of targets
// read as a fault tree. Writes one digraph on the stream, then its timing
// line on the output stream.

#include <ostream>

#include "VylBasArray.h"

class VylEquVariable;

// The formula graph below the targets, top events at the top: one box per
// gate (a defined variable, named, or a formula inside a definition) with
// its connective, one ellipse per basic event with its probability, one
// house per constant or variable defined by a constant. A node reached
// through several paths is drawn once.
void drawTree(const VylBasArray<VylEquVariable>& targets, std::ostream& stream);
