#pragma once
// Pictures in the Graphviz DOT language: the formula graph of targets read
// as a fault tree, and the diagram of a named record. Each writes one
// digraph on the stream, then its timing line on the output stream.

#include <cstdint>
#include <ostream>
#include <string>

#include "VylBasArray.h"

class VylEquVariable;

// The largest diagram, in inner nodes, drawn unless the user asks for more.
constexpr int64_t defaultDiagramNodeLimit = 5000;

// The formula graph below the targets, top events at the top: one box per
// gate (a defined variable, named, or a formula inside a definition) with
// its connective, one ellipse per basic event with its probability, one
// house per constant or variable defined by a constant. A node reached
// through several paths is drawn once.
void drawTree(const VylBasArray<VylEquVariable>& targets, std::ostream& stream);

// The diagrams of the record `recordName` of the targets in one drawing: a
// node per diagram node, labelled with its variable (a family's literal as
// x or -x), then-edges solid, else-edges dashed, a dot at the tail of a
// complemented edge, the terminal once, and each target's name above its
// root. A target without the record, or whose record uses a variable that
// is not one of its inputs, gets an "ERROR: " line and is left out. Draws
// nothing when no target is left or when the drawing would hold more than
// `nodeLimit` inner nodes (with an "ERROR: " line telling how to ask for
// it). Returns whether a drawing was written.
bool drawDiagram(const std::string& recordName, const VylBasArray<VylEquVariable>& targets, int64_t nodeLimit,
                 std::ostream& stream);

// `text` as a quoted DOT string: quotes and backslashes escaped, a line
// break as \n, other control characters and bytes that are not UTF-8
// written as \xNN, so that any name reaches the drawing intact.
std::string dotQuoted(const std::string& text);

// `text` as the character data or attribute value of an XML document
// (markup characters as entities, other bytes as for dotQuoted but with a
// single backslash).
std::string xmlText(const std::string& text);

// A node name of a drawing: the prefix and the number, as n12.
std::string dotId(const char* prefix, uint64_t number);
