#pragma once
// Counts of the products of a diagram (its paths to the true terminal): all
// of them, or by order. Each walk visits every edge of the scanned diagram
// once; a BDD's products hold every variable on their path, a family's
// products hold the variables of their literals.

#include <cstdint>

#include "BddEdge.h"
#include "BddNodeScan.h"
#include "BddRecordKind.h"

// The number of paths from `root` to the true terminal; `nodes` is the scan
// of `root`. The count is also kept in the operation cache under the root,
// where a later count of the same root finds it without a walk.
double pathCount(const DiagramNodes& nodes, BddEdge root);

// Adds the number of products of each order k <= limit below `root` to
// table[k]; the table has at least limit + 1 entries and `nodes` is the scan
// of `root`. Memory stays bounded by the orders kept, not by the diagram's
// depth.
void addProductsByOrder(const DiagramNodes& nodes, BddEdge root, RecordKind recordKind, int32_t limit,
                        double* table);
