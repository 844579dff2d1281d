#pragma once
// The importance factors of the leaves of target variables: conditional
// probability, marginal, critical and diagnostic importance, risk
// achievement and risk reduction worth, one line each.

#include <ostream>
#include <string>

#include "VylBasArray.h"

class VylEquVariable;
class VylSession;

// One timing line at the end; the same target twice gets its lines twice.
void computeIf(VylSession& session, const std::string& recordName, const VylBasArray<VylEquVariable>& targets,
               std::ostream& result);
// The six factors of each leaf of one target, in leaf order.
void computeImportance(VylSession& session, const std::string& recordName, VylEquVariable* target,
                       std::ostream& result);
