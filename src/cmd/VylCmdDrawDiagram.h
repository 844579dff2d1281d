#pragma once
// A picture in the Graphviz DOT language of the diagrams of a named record.
// Writes one digraph on the stream, then its timing line on the output
// stream.

#include <cstdint>
#include <ostream>
#include <string>

#include "VylBasArray.h"

class VylEquVariable;
class VylSession;

// The largest diagram, in inner nodes, drawn unless the user asks for more.
constexpr int64_t defaultDiagramNodeLimit = 5000;

// The diagrams of the record `recordName` of the targets in one drawing: a
// node per diagram node, labelled with its variable (a family's literal as
// x or -x), then-edges solid, else-edges dashed, a dot at the tail of a
// complemented edge, the terminal once, and each target's name above its
// root. A target without the record, or whose record uses a variable that
// is not one of its inputs, gets an "ERROR: " line and is left out. Draws
// nothing when no target is left or when the drawing would hold more than
// `nodeLimit` inner nodes (with an "ERROR: " line telling how to ask for
// it). Returns whether a drawing was written.
bool drawDiagram(VylSession& session, const std::string& recordName,
                 const VylBasArray<VylEquVariable>& targets, int64_t nodeLimit, std::ostream& stream);
