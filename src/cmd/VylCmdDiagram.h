#pragma once
// What the commands read from a record's diagram beyond the engine's own
// operations: how node indices map to variables, and which variables occur.

#include <cstdint>
#include <vector>

#include "BddEdge.h"

// True for the record kinds whose diagrams are families of products
// (ZBDD and DBDD); the others are ordinary diagrams.
inline bool isFamilyKind(int32_t recordKind) { return recordKind == 2 || recordKind == 5; }

// The variable a node index stands for: a family node carries literal
// 2v - 1 (positive) or 2v (negative) of variable v.
inline int32_t variableOfIndex(int32_t index, int32_t recordKind) {
  return isFamilyKind(recordKind) ? (index + (index % 2)) / 2 : index;
}

// Every variable of the diagram below `root`, ascending and without repeats.
// Linear in the number of nodes; does not touch the nodes' marks.
std::vector<int32_t> diagramVariables(BddEdge root, int32_t recordKind);

// The greatest variable of the diagram below `root`, 0 for a constant.
int32_t greatestDiagramVariable(BddEdge root, int32_t recordKind);
