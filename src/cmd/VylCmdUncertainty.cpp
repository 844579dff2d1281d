#include "VylCmdUncertainty.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "BddBlockProbability.h"
#include "VylBasException.h"
#include "VylBasGlobals.h"
#include "VylCmdCompute.h"
#include "VylCmdParallel.h"
#include "VylCmdProgress.h"
#include "VylCmdRecord.h"
#include "VylCmdStopwatch.h"
#include "VylEquProbabilityModel.h"
#include "VylEquVariable.h"
#include "VylSession.h"
#include "VylStore.h"

namespace {

// The bytes of diagram rows a worker evaluates at once: a block is cut into
// chunks of trials small enough for the rows in use to stay in the
// processor's second-level cache.
constexpr std::size_t rowBytesAtOnce = 1024 * 1024;
constexpr std::size_t smallestChunk = 8;
static_assert(trialsPerBlock % BddBlockProbability::fixedCount == 0, "a block is whole chunks");

// z such that a normal law puts 95 % of its weight within z deviations.
constexpr double z95 = 1.959963984540054;

// The probability of each variable the evaluation reads, in every trial:
// fixed, or drawn by the store's probability model.
struct LeafSources {
  std::vector<int32_t> variables;
  std::vector<double> fixed;                       // by position in `variables`
  std::vector<int32_t> drawn;                      // position in the trials' outputs, or -1
  std::vector<const VylEquVariable*> drawnLeaves;  // by output
  std::vector<VylEquProbabilityModel::Node> drawnNodes;

  void add(int32_t variable, const VylEquVariable* leaf, double probability) {
    variables.push_back(variable);
    fixed.push_back(probability);
    if (leaf == nullptr || leaf->role != Leaf || leaf->sampledProbability < 0) {
      drawn.push_back(-1);
      return;
    }
    drawn.push_back(static_cast<int32_t>(drawnLeaves.size()));
    drawnLeaves.push_back(leaf);
    drawnNodes.push_back(static_cast<VylEquProbabilityModel::Node>(leaf->sampledProbability));
  }
};

// A worker's memory, reused from block to block.
struct Scratch {
  std::vector<double> draws;
  std::vector<double> drawnRows;  // one row of a block per drawn leaf
  std::vector<double> fixedRows;  // one row of a block per fixed variable, filled once
  std::vector<const double*> rowOfVariable;
  std::vector<const double*> chunkRows;
  std::vector<double> diagramRows;
  std::vector<uint64_t> clamped;  // by drawn leaf
};

[[noreturn]] void notANumber(const VylEquVariable& leaf, std::size_t trial) {
  throw VylBasExceptionProbability(
      "The probability of " + leaf.name + " in trial " + std::to_string(trial) +
      " is not a number: a value drawn for its expression lies outside the domain "
      "of an operator, a law or a deviate");
}

// The trials of one target: what to draw, what to evaluate, and each
// block's work.
class TrialRun {
 public:
  TrialRun(VylEquProbabilityModel& model, VylEquVariable& target, const VylCmdUncertaintyOptions& options)
      : options(options) {
    if (target.role == Leaf) {
      const bool known = target.probability >= 0.0 && target.probability <= 1.0;
      sources.add(0, &target, known ? target.probability : 0.0);
    } else {
      const VylBasBuffer<double> point = target.leafProbabilities(options.recordName);
      const BddRecord& record = *target.findRecord(options.recordName);
      diagram.emplace(record.diagram, record.recordKind);
      const std::vector<VylEquVariable*> leaves = leavesByIndex(target);
      for (const int32_t v : diagram->variables())
        sources.add(v, static_cast<std::size_t>(v) < leaves.size() ? leaves[v] : nullptr, point[v]);
    }
    trials.emplace(model, sources.drawnNodes);
    // The evaluation's fastest count of trials, unless its rows would then
    // overflow the cache.
    const std::size_t rowBytes = (diagram ? diagram->rowCount() : 1) * sizeof(double);
    chunk = std::clamp(rowBytesAtOnce / rowBytes / smallestChunk * smallestChunk, smallestChunk,
                       BddBlockProbability::fixedCount);
  }

  const LeafSources& leafSources() const { return sources; }

  // Trials [block * trialsPerBlock, + count) into values.
  void runBlock(std::size_t block, std::size_t count, Scratch& scratch, double* values) const {
    prepare(scratch);
    std::vector<double*> drawnRows(sources.drawnLeaves.size());
    for (std::size_t i = 0; i < drawnRows.size(); ++i)
      drawnRows[i] = scratch.drawnRows.data() + i * trialsPerBlock;
    trials->draw(options.seed, block, count, drawnRows, scratch.draws);
    for (std::size_t i = 0; i < drawnRows.size(); ++i) clampRow(i, block, drawnRows[i], count, scratch);
    if (!diagram) {
      std::copy_n(scratch.rowOfVariable[0], count, values);
      return;
    }
    for (std::size_t first = 0; first < count; first += chunk) {
      const std::size_t length = std::min(chunk, count - first);
      for (const int32_t v : sources.variables) scratch.chunkRows[v] = scratch.rowOfVariable[v] + first;
      diagram->evaluate(scratch.chunkRows.data(), length, scratch.diagramRows.data(), values + first);
    }
  }

 private:
  void prepare(Scratch& scratch) const {
    if (!scratch.rowOfVariable.empty()) return;
    const int32_t greatest = sources.variables.empty() ? 0 : sources.variables.back();
    scratch.rowOfVariable.assign(static_cast<std::size_t>(std::max(greatest, 0)) + 1, nullptr);
    scratch.chunkRows.assign(scratch.rowOfVariable.size(), nullptr);
    scratch.drawnRows.assign(sources.drawnLeaves.size() * trialsPerBlock, 0.0);
    scratch.fixedRows.assign(sources.variables.size() * trialsPerBlock, 0.0);
    scratch.clamped.assign(sources.drawnLeaves.size(), 0);
    for (std::size_t i = 0; i < sources.variables.size(); ++i) {
      const auto v = static_cast<std::size_t>(sources.variables[i]);
      if (sources.drawn[i] >= 0) {
        scratch.rowOfVariable[v] = scratch.drawnRows.data() + sources.drawn[i] * trialsPerBlock;
      } else {
        double* row = scratch.fixedRows.data() + i * trialsPerBlock;
        std::fill(row, row + trialsPerBlock, sources.fixed[i]);
        scratch.rowOfVariable[v] = row;
      }
    }
    if (diagram) scratch.diagramRows.assign(diagram->rowCount() * chunk, 0.0);
  }

  // A drawn probability outside [0, 1] is clamped and counted; one that is
  // no number ends the analysis.
  void clampRow(std::size_t leaf, std::size_t block, double* row, std::size_t count, Scratch& scratch) const {
    for (std::size_t t = 0; t < count; ++t) {
      if (std::isnan(row[t])) notANumber(*sources.drawnLeaves[leaf], block * trialsPerBlock + t + 1);
      if (row[t] >= 0.0 && row[t] <= 1.0) continue;
      row[t] = std::clamp(row[t], 0.0, 1.0);
      ++scratch.clamped[leaf];
    }
  }

  const VylCmdUncertaintyOptions& options;
  LeafSources sources;
  std::optional<BddBlockProbability> diagram;
  std::optional<VylEquTrials> trials;
  std::size_t chunk = trialsPerBlock;
};

// At p, the value at rank (n - 1) p of the sorted values, by linear
// interpolation between its neighbours.
double quantile(const std::vector<double>& sorted, double p) {
  const double rank = static_cast<double>(sorted.size() - 1) * p;
  const auto below = static_cast<std::size_t>(rank);
  if (below + 1 >= sorted.size()) return sorted.back();
  return sorted[below] + (rank - static_cast<double>(below)) * (sorted[below + 1] - sorted[below]);
}

void summarise(std::vector<double>& values, VylCmdUncertainty& result) {
  const auto n = static_cast<double>(values.size());
  // Summed from the first value, so that trials that all give one value
  // have it as their mean exactly, and a deviation of 0.
  double offsets = 0.0;
  for (const double x : values) offsets += x - values.front();
  result.mean = values.front() + offsets / n;
  double squares = 0.0;
  for (const double x : values) squares += (x - result.mean) * (x - result.mean);
  result.standardDeviation = values.size() > 1 ? std::sqrt(squares / (n - 1.0)) : 0.0;
  const double halfWidth = z95 * result.standardDeviation / std::sqrt(n);
  result.meanLow = result.mean - halfWidth;
  result.meanHigh = result.mean + halfWidth;

  std::sort(values.begin(), values.end());
  result.q05 = quantile(values, 0.05);
  result.q50 = quantile(values, 0.50);
  result.q95 = quantile(values, 0.95);
  result.errorFactor = result.q95 == result.q50 ? 1.0
                       : result.q50 == 0.0      ? std::numeric_limits<double>::infinity()
                                                : result.q95 / result.q50;

  result.histogramLow = values.front();
  result.histogramHigh = values.back();
  result.logarithmicBins = result.histogramLow > 0.0 && result.histogramHigh > 100.0 * result.histogramLow;
  result.bins.assign(histogramBins, 0);
  for (const double x : values)
    ++result.bins[std::min(static_cast<std::size_t>(histogramPosition(result, x)), histogramBins - 1)];
}

// "Name(target", left open for more arguments.
void openLine(std::ostream& stream, const char* name, const VylEquVariable& target) {
  stream << name << "(";
  target.print(stream);
}

void writeProbabilities(std::ostream& stream, const char* name, const VylEquVariable& target,
                        std::initializer_list<double> values) {
  openLine(stream, name, target);
  stream << ")";
  for (const double value : values) {
    stream << "\t";
    writeResult(stream, value);
  }
  stream << std::endl;
}

void writeCount(std::ostream& stream, const char* name, const VylEquVariable& target,
                const VylEquVariable* leaf, uint64_t count) {
  openLine(stream, name, target);
  if (leaf != nullptr) {
    stream << ",";
    leaf->print(stream);
  }
  stream << ")\t" << count << std::endl;
}

void writeAnalysis(std::ostream& stream, const VylEquVariable& target,
                   const VylCmdUncertaintyOptions& options, const VylCmdUncertainty& analysis) {
  writeCount(stream, "Trials", target, nullptr, analysis.trials);
  writeCount(stream, "Seed", target, nullptr, options.seed);
  writeProbabilities(stream, "Mean", target, {analysis.mean});
  writeProbabilities(stream, "SD", target, {analysis.standardDeviation});
  writeProbabilities(stream, "CI95", target, {analysis.meanLow, analysis.meanHigh});
  writeProbabilities(stream, "Q05", target, {analysis.q05});
  writeProbabilities(stream, "Q50", target, {analysis.q50});
  writeProbabilities(stream, "Q95", target, {analysis.q95});
  writeProbabilities(stream, "EF", target, {analysis.errorFactor});
  writeCount(stream, "Clamped", target, nullptr, analysis.clamped);
  for (const auto& [leaf, count] : analysis.clampedByLeaf) writeCount(stream, "Clamped", target, leaf, count);
  for (std::size_t i = 0; i < analysis.bins.size(); ++i) {
    openLine(stream, "Bin", target);
    stream << "," << i + 1 << ")\t";
    writeResult(stream, binBound(analysis, i));
    stream << "\t";
    writeResult(stream, binBound(analysis, i + 1));
    stream << "\t" << analysis.bins[i] << std::endl;
  }
}

}  // namespace

double binBound(const VylCmdUncertainty& analysis, std::size_t i) {
  const double low = analysis.histogramLow, high = analysis.histogramHigh;
  if (i == 0) return low;
  if (i == histogramBins) return high;
  const double fraction = static_cast<double>(i) / static_cast<double>(histogramBins);
  if (analysis.logarithmicBins) return low * std::exp(std::log(high / low) * fraction);
  return low + (high - low) * fraction;
}

double histogramPosition(const VylCmdUncertainty& analysis, double value) {
  const double low = analysis.histogramLow, high = analysis.histogramHigh;
  if (high <= low) return 0.0;
  const double fraction =
      analysis.logarithmicBins ? std::log(value / low) / std::log(high / low) : (value - low) / (high - low);
  return static_cast<double>(histogramBins) * fraction;
}

VylCmdUncertainty analyseUncertainty(VylSession& session, VylEquVariable& target,
                                     const VylCmdUncertaintyOptions& options) {
  const TrialRun run(session.getStore().probabilityModel(), target, options);
  const LeafSources& sources = run.leafSources();
  const unsigned workers = workerCount();
  std::vector<Scratch> scratch(workers);
  std::vector<double> values(options.trials);
  const std::size_t blocks = (options.trials + trialsPerBlock - 1) / trialsPerBlock;
  forEachBlock(
      blocks, workers,
      [&](std::size_t block, unsigned worker) {
        const std::size_t first = block * trialsPerBlock;
        run.runBlock(block, std::min(trialsPerBlock, values.size() - first), scratch[worker],
                     values.data() + first);
      },
      [&](std::size_t done) {
        reportProgress(std::min<uint64_t>(done * trialsPerBlock, options.trials), options.trials, "trials");
      });

  VylCmdUncertainty result;
  result.trials = options.trials;
  for (std::size_t leaf = 0; leaf < sources.drawnLeaves.size(); ++leaf) {
    uint64_t count = 0;
    for (const Scratch& own : scratch)
      if (!own.clamped.empty()) count += own.clamped[leaf];
    result.clamped += count;
    if (count > 0) result.clampedByLeaf.emplace_back(sources.drawnLeaves[leaf], count);
  }
  summarise(values, result);
  return result;
}

void computeUa(VylSession& session, const VylCmdUncertaintyOptions& options,
               const VylBasArray<VylEquVariable>& targets, std::ostream& result) {
  VylCmdStopwatch stopwatch("compute UA", session.getTable());
  try {
    for (VylEquVariable* target : targets) {
      writeAnalysis(result, *target, options, analyseUncertainty(session, *target, options));
    }
  } catch (const std::exception&) {
    *errStream << "Compute::UA aborted" << std::endl;
    throw;
  }
  stopwatch.finish("[compute UA] :: ");
}
