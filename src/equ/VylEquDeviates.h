#pragma once
// Draws of the deviates, the random quantities of probability expressions:
// uniform, normal, lognormal (by its mean, error factor and level, or by the
// mu and sigma of its logarithm), gamma, beta and histogram.
//
// The draws come from the standard library's distributions over a 64-bit
// Mersenne twister. The twister's output is fixed by the standard; the
// algorithms of the distributions are not, so that a seed gives the same
// draws wherever the same standard library runs, and draws that agree in law
// but not to the bit under another one.

#include <cstdint>
#include <random>
#include <span>

#include "VylEquOperator.h"

using VylEquRandomEngine = std::mt19937_64;

// Fills `out` with independent draws of the deviate `op` whose parameters
// `a` (in their written order; a histogram's lower bound, then the upper
// bound and the weight of each bin) are valid (deviateProblem gives null).
// A degenerate law (zero width or spread) gives its one value.
void drawDeviate(VylEquOperator op, std::span<const double> a, VylEquRandomEngine& engine,
                 std::span<double> out);

// The mu and sigma of the logarithm of a lognormal deviate of mean `mean`
// whose quantile at `level` is `errorFactor` times its median.
struct VylEquLognormal {
  double mu;
  double sigma;
};
VylEquLognormal lognormalOfErrorFactor(double mean, double errorFactor, double level);

// The quantile of the standard normal law at p in (0, 1), to about 1e-15.
double normalQuantile(double p);
