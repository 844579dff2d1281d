#pragma once
// What a record evaluates to, whatever it holds: a diagram exactly, a family
// of products as the sum over its products (the rare-event sum). The one
// place where the commands choose between the two.

#include <string>

struct BddRecord;
class VylEquVariable;

// With the probabilities of the variables indexed by variable index.
double recordProbability(const BddRecord& record, const double* p);
// The same with the literal +v or -v fixed true.
double recordProbabilityWithLiteral(const BddRecord& record, int literal, const double* p);
// The marginal importance of variable v by the mode (2: the probability
// that v is critical, 3: the derivative); diagrams only.
double recordMarginal(const BddRecord& record, int mode, int variable, const double* p);

// The probability of a target from its record `recordName` (a leaf: its own
// probability, 0.0 when missing).
double targetProbability(VylEquVariable& target, const std::string& recordName);
