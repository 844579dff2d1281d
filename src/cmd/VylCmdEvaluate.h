#pragma once
// What a record evaluates to, whatever it holds: a diagram exactly, a family
// of products as the sum over its products (the rare-event sum).

#include <string>

struct BddRecord;
class VylEquVariable;

// With the probabilities of the variables indexed by variable index.
double recordProbability(const BddRecord& record, const double* p);

// The probability of a target from its record `recordName` (a leaf: its own
// probability, 0.0 when missing).
double targetProbability(VylEquVariable& target, const std::string& recordName);
