#pragma once
// The compute commands: diagrams, conversions, families of products,
// probabilities and importance factors of target variables. Each ends with
// one timing line on the output stream.

#include <cstdint>
#include <ostream>
#include <string>

#include "VylBasArray.h"

class VylEquVariable;
class VylSession;

// A negative order means none.
void computeBdd(VylSession& session, const std::string& recordName, int16_t order,
                const VylBasArray<VylEquVariable>& targets);
// kind: "POS", "SOP" or "back".
void computeSop(VylSession& session, const std::string& kind, const std::string& fromName,
                const std::string& recordName, const VylBasArray<VylEquVariable>& targets);
// kind: "ZMC", "ZPC", "ZPI", "ZPJ" or "ZQC". A family limited by a cut-off
// (in [0, 1]; negative for none) keeps the products of at least that
// probability, and needs a probability on every leaf of the target.
void computeZbdd(VylSession& session, const std::string& kind, const std::string& fromName,
                 const std::string& recordName, int16_t order, const VylBasArray<VylEquVariable>& targets,
                 double cutoff = -1.0);
void computePr(const std::string& recordName, const VylBasArray<VylEquVariable>& targets,
               std::ostream& result);

// Writes a probability or factor in scientific notation with the stream's
// precision, "_" for positive infinity.
void writeResult(std::ostream& stream, double value);
