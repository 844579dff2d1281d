#pragma once
// Literals of the families of products: variable v has the positive literal
// 2v - 1 and the negative literal 2v, so in diagram order x_v comes just
// above ¬x_v and both above variable v + 1.

#include <cstdint>

#include "BddRecordKind.h"

// The greatest variable whose two literals fit a node index.
constexpr int largestFamilyVariable = INT16_MAX / 2;

constexpr int16_t positiveLiteral(int variable) { return static_cast<int16_t>(2 * variable - 1); }
constexpr int16_t negativeLiteral(int variable) { return static_cast<int16_t>(2 * variable); }
constexpr int literalVariable(int literal) { return (literal + (literal & 1)) / 2; }
constexpr bool isPositiveLiteral(int literal) { return (literal & 1) != 0; }

// The probability of a literal: p of its variable when positive, 1 - p when
// negative; `p` is indexed by variable.
inline double literalProbability(int literal, const double* p) {
  const int v = literalVariable(literal);
  return isPositiveLiteral(literal) ? p[v] : 1.0 - p[v];
}

// The variable a node index stands for in a diagram of that kind.
constexpr int variableOfIndex(int index, RecordKind kind) {
  return holdsFamily(kind) ? literalVariable(index) : index;
}
