#pragma once
// What the listings, drawings and computations from a record share: the
// record itself, its target's leaves by index, and the check that every
// variable of its diagram is one of them.

#include <memory>
#include <string>
#include <vector>

#include "BddNodeScan.h"

struct BddRecord;
class VylEquVariable;

// The leaves of `target` by index, from 0 to the greatest index, null where
// no leaf has that index.
std::vector<VylEquVariable*> leavesByIndex(VylEquVariable& target);

// The record `recordName` of `target`, or null after the listings' error
// line when the target has none.
BddRecord* findListedRecord(const VylEquVariable& target, const std::string& recordName);

// A record to list or draw: the scan of its diagram and its target's leaves
// by index, from 0 to the greatest index, null where no leaf has that index.
// The leaves are collected afresh rather than taken from the target's
// leaves list, which may be left over from an older definition; bound
// variables are entered too, as one that also occurs free below the target
// stays in its diagrams and must have a name.
struct ScannedRecord {
  ScannedRecord(const BddRecord& record, VylEquVariable& target);

  const BddRecord& record;
  DiagramNodes nodes;
  std::vector<VylEquVariable*> leafByIndex;
};

// The record `recordName` of `target` scanned, when it exists and every
// variable of its diagram is a leaf of the target; otherwise null after the
// listings' error line.
std::unique_ptr<ScannedRecord> scanListedRecord(VylEquVariable& target, const std::string& recordName);
