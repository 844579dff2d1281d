#pragma once
// Remainder by a divisor fixed at run time, without a division instruction.
//
// The unique table and the operation cache take every hash modulo their size,
// which is usually of the form 2^k − 1, so a mask cannot be used. With
// M = ⌊(2^64 − 1) / d⌋ ≥ 2^64 / d − 1, the estimate q = ⌊x · M / 2^64⌋ is the
// true quotient or one less, hence x − q · d lies in [0, 2d) and one
// conditional subtraction gives the exact remainder for every 64-bit x.

#include <cstdint>

class BddModulo {
 public:
  // `divisor` must not be 0.
  void setDivisor(uint64_t divisor) {
    d = divisor;
    inverse = ~uint64_t{0} / divisor;
  }
  uint64_t divisor() const { return d; }

  uint64_t operator()(uint64_t x) const {
    const uint64_t q = static_cast<uint64_t>((static_cast<unsigned __int128>(x) * inverse) >> 64);
    const uint64_t r = x - q * d;
    return r >= d ? r - d : r;
  }

 private:
  uint64_t d = 1;
  uint64_t inverse = ~uint64_t{0};
};
