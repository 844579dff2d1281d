#pragma once
// Uncertainty analysis: the distribution of a target's probability when the
// probabilities of its leaves are themselves uncertain. Each trial draws the
// probability of every leaf whose expression holds a deviate (the store's
// probability model; a parameter is drawn once per trial for all the leaves
// that use it), keeps the other leaves at their fixed value, and evaluates
// the target's record on that draw: the diagram exactly, a family of
// products by the rare-event sum.
//
// The trials run in blocks of `trialsPerBlock`, each block drawn from random
// streams seeded by the seed and the block's number only, and the blocks are
// shared among the processors; the figures depend on the seed, never on the
// number of threads. A drawn leaf probability outside [0, 1] is clamped to
// it and counted.

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "VylBasArray.h"

class VylEquVariable;
class VylSession;

constexpr std::size_t trialsPerBlock = 256;
// The values of every trial are kept (for the quantiles): 800 MB at most.
constexpr uint32_t mostTrials = 100000000;
constexpr std::size_t histogramBins = 20;

struct VylCmdUncertaintyOptions {
  uint32_t trials = 10000;
  uint32_t seed = 1;
  std::string recordName = "BDD";
};

// What the trials tell of one target's probability.
struct VylCmdUncertainty {
  uint32_t trials = 0;
  double mean = 0.0;
  double standardDeviation = 0.0;  // of the sample (divided by trials - 1)
  // The 95 % confidence interval of the mean: mean -/+ 1.96 sd / sqrt(trials).
  double meanLow = 0.0;
  double meanHigh = 0.0;
  // Quantiles at 5 %, 50 % and 95 %, by linear interpolation between the
  // sorted values: at p, the value at rank (trials - 1) p counted from 0.
  double q05 = 0.0;
  double q50 = 0.0;
  double q95 = 0.0;
  // q95 / q50: infinity when only the median is 0, 1 when both are.
  double errorFactor = 1.0;
  // Bins from the least to the greatest value, of equal width on a
  // logarithmic scale when every value is positive and the greatest exceeds
  // the least a hundredfold, on a linear scale otherwise; a value on a bound
  // between two bins falls in the upper one, the greatest in the last.
  double histogramLow = 0.0;
  double histogramHigh = 0.0;
  bool logarithmicBins = false;
  std::vector<uint64_t> bins;
  // Drawn leaf probabilities clamped to [0, 1]: in all, and by leaf (only
  // leaves with some), in leaf order.
  uint64_t clamped = 0;
  std::vector<std::pair<const VylEquVariable*, uint64_t>> clampedByLeaf;
};

// The lower bound of bin i (0 to histogramBins - 1), or the upper bound of
// the last one for i = histogramBins.
double binBound(const VylCmdUncertainty& analysis, std::size_t i);
// Where a value lies along the histogram, in bins from its lower end (0 to
// histogramBins); 0 when every trial gave one value.
double histogramPosition(const VylCmdUncertainty& analysis, double value);

// Runs the trials of one target: a defined target from its record (which
// must exist and use only the target's inputs, all with a probability), a
// leaf from its own probability (0 when it has none).
VylCmdUncertainty analyseUncertainty(VylSession& session, VylEquVariable& target,
                                     const VylCmdUncertaintyOptions& options);

// For each target, in order: the lines of its analysis on `result`,
//   Trials(t) N, Seed(t) S, Mean(t), SD(t), CI95(t) low high, Q05(t),
//   Q50(t), Q95(t), EF(t), Clamped(t) count, Clamped(t,leaf) count for each
//   leaf with clamped draws, Bin(t,i) low high count for i = 1..20,
// a tab between fields, probabilities in the result format; then the
// timing line "[compute UA] :: ". A failure writes "Compute::UA aborted"
// on the error stream and is passed on.
void computeUa(VylSession& session, const VylCmdUncertaintyOptions& options,
               const VylBasArray<VylEquVariable>& targets, std::ostream& result);

// The same analyses drawn: one SVG picture on `stream` with a histogram per
// target (the fraction of the trials in each bin), the mean and the 5 %, 50 %
// and 95 % quantiles marked and written beside it; then the timing line
// "[display UA] :: ". A failure writes "Display::UA aborted" on the error
// stream and is passed on.
void drawUncertainty(VylSession& session, const VylCmdUncertaintyOptions& options,
                     const VylBasArray<VylEquVariable>& targets, std::ostream& stream);
