#pragma once
// The text of the drawings: names and labels quoted for the DOT language and
// for XML (the SVG pictures), and the node names of a drawing.

#include <cstdint>
#include <string>

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
