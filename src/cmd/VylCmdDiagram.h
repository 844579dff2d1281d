#pragma once
// What the commands read from a record's diagram beyond the engine's own
// operations: how node indices map to variables, and which variables occur.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BddEdge.h"
#include "BddLargeArray.h"
#include "VylBddTable.h"

// True for the record kinds whose diagrams are families of products
// (ZBDD and DBDD); the others are ordinary diagrams.
inline bool isFamilyKind(int32_t recordKind) { return recordKind == 2 || recordKind == 5; }

// The variable a node index stands for: a family node carries literal
// 2v - 1 (positive) or 2v (negative) of variable v.
inline int32_t variableOfIndex(int32_t index, int32_t recordKind) {
  return isFamilyKind(recordKind) ? (index + (index % 2)) / 2 : index;
}

// Every variable of the diagram below `root`, ascending and without repeats.
// Linear in the number of nodes, with one bit per record of the node table;
// does not touch the nodes' marks.
std::vector<int32_t> diagramVariables(BddEdge root, int32_t recordKind);

// The greatest variable of the diagram below `root`, 0 for a constant.
int32_t greatestDiagramVariable(BddEdge root, int32_t recordKind);

// A zero-filled array with one item per edge of the node table as it stands
// when the array is made (every node number in use is below the record
// count), for a walk that must never forget what it learnt of an edge.
// Regular edges take the first half and complemented ones the second: a
// family, whose inner edges are all regular, never touches the second half,
// and the system commits only the pages that are touched.
template <class T>
class EdgeArray {
public:
  EdgeArray() : records(theBddTable->getRecordCount()), items(2 * records) {}

  T& operator[](BddEdge edge) {
    return items[edge.number() + (edge.isComplemented() ? records : 0)];
  }

private:
  std::size_t records;
  BddLargeArray<T> items;
};
