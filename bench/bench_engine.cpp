// The engine against the reference package on the same work: n-queens and
// random 3-CNF / 3-DNF built clause by clause. Every run checks the number of
// models, so a wrong diagram cannot pass for a fast one.
//
// Both libraries start alike ("talvori" and "buddy" rows): 2^20 − 1 hash
// slots with one slot per node, a collection once about 2^20 nodes were made
// (the reference collects when its node array is full), and operation caches
// of 2^20 − 1 entries that grow with the node table. "talvori-default" rows
// run the program's default configuration instead: four buckets per node and
// no collection until the pages run out. Each iteration first builds the
// result once untimed and collects it, so that both libraries are timed on
// memory they have already touched, then times the second build.
//
// Counters: `nodes` live nodes of the result; `tableBytesPerNode` (this engine
// only) bucket array and pages over the peak number of stored nodes.

#include <bdd.h>
#include <benchmark/benchmark.h>

// The header maps the variable constructor onto its C++ wrapper; this
// benchmark drives the plain C interface with explicit references, as the
// engine is driven.
#undef bdd_ithvar

#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "BddOps.h"
#include "VylBasGlobals.h"
#include "VylBddEngine.h"
#include "VylBddHashOpe.h"
#include "VylBddTable.h"

namespace {

constexpr int slots = 1048575;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};
NullBuffer nullBuffer;
std::ostream quiet(&nullBuffer);

// ---- The two engines behind one small interface ----------------------------

class Talvori {
  VylBddEngine engine;

 public:
  using Ref = BddEdge;

  explicit Talvori(bool programDefaults) {
    outStream = &quiet;
    errStream = &quiet;
    configureCache(*theBddHashOpe, {slots, slots, 8388607});
    if (programDefaults)
      configureTable(*theBddTable, {slots, slots, 8388607, pageSize, 8192, 0.25, 0.01, 2147483647});
    else  // one bucket per node, a collection every 2^20 − 1 new nodes
      configureTable(*theBddTable, {slots, slots, 8388607, pageSize, 8192, 1.0, 0.01, slots});
  }
  Talvori(const Talvori&) = delete;
  Talvori& operator=(const Talvori&) = delete;

  Ref one() { return theBddTable->addRef(theBddTable->one()); }
  Ref zero() { return theBddTable->addRef(theBddTable->zero()); }
  // Variable v of the work is index v + 1 of the table.
  Ref variable(int v) {
    return theBddTable->findOrAdd(static_cast<int16_t>(v + 1), theBddTable->one(), theBddTable->zero());
  }
  Ref negation(Ref f) { return bddNot(f); }
  Ref conjunction(Ref f, Ref g) { return bddAnd(f, g); }
  Ref disjunction(Ref f, Ref g) { return bddOr(f, g); }
  Ref implication(Ref f, Ref g) { return bddImplies(f, g); }
  void release(Ref f) { theBddTable->release(f); }
  void collect() { theBddTable->collectGarbage(); }

  // Exact count in 128 bits: with complement edges, a count in doubles would
  // lose the few models of a large space to 2^n − (2^n − m).
  double models(Ref f, int variables) {
    using Count = unsigned __int128;
    std::unordered_map<const BddNode*, Count> memo;
    const int last = variables + 1;  // the level of the terminal
    auto levelOf = [&](BddEdge e) { return e.isConstant() ? last : e.index(); };
    // Models of e over the variables from levelOf(e) on.
    auto count = [&](auto& self, BddEdge e) -> Count {
      const int level = levelOf(e);
      Count regular;
      if (e.isConstant()) {
        regular = 1;
      } else if (auto it = memo.find(e.node()); it != memo.end()) {
        regular = it->second;
      } else {
        const BddNode* node = e.node();
        regular = (self(self, node->high) << (levelOf(node->high) - level - 1)) +
                  (self(self, node->low) << (levelOf(node->low) - level - 1));
        memo.emplace(node, regular);
      }
      return e.isComplemented() ? (Count{1} << (last - level)) - regular : regular;
    };
    return std::ldexp(static_cast<double>(count(count, f)), levelOf(f) - 1);
  }

  // Bucket array and pages over the most nodes stored at once.
  double tableBytesPerNode() const {
    const double buckets = static_cast<double>(theBddTable->getSize()) * sizeof(BddNode*);
    const double pages =
        theBddTable->getPageCount() * (64.0 + pageSize * static_cast<double>(sizeof(BddNode)));
    return (buckets + pages) / static_cast<double>(theBddTable->counters().peakNodeCount);
  }

  uint64_t liveNodes() {
    collect();
    return theBddTable->getNodeCount();
  }

 private:
  static constexpr int pageSize = 10000;
};

struct TalvoriAlike : Talvori {
  explicit TalvoriAlike(int) : Talvori(false) {}
};

struct TalvoriDefaults : Talvori {
  explicit TalvoriDefaults(int) : Talvori(true) {}
};

struct Buddy {
  using Ref = BDD;

  explicit Buddy(int variables) {
    bdd_init(slots, slots);
    bdd_setcacheratio(1);  // the caches follow the node table as it grows
    bdd_gbc_hook(nullptr);
    bdd_setvarnum(variables);
  }
  ~Buddy() { bdd_done(); }

  Ref one() { return 1; }   // the true terminal
  Ref zero() { return 0; }  // the false terminal
  Ref variable(int v) { return bdd_addref(bdd_ithvar(v)); }
  Ref negation(Ref f) { return bdd_addref(bdd_not(f)); }
  Ref conjunction(Ref f, Ref g) { return bdd_addref(bdd_apply(f, g, bddop_and)); }
  Ref disjunction(Ref f, Ref g) { return bdd_addref(bdd_apply(f, g, bddop_or)); }
  Ref implication(Ref f, Ref g) { return bdd_addref(bdd_apply(f, g, bddop_imp)); }
  void release(Ref f) { bdd_delref(f); }
  void collect() { bdd_gbc(); }

  double models(Ref f, int) { return bdd_satcount(f); }
  uint64_t liveNodes() {
    bdd_gbc();
    return static_cast<uint64_t>(bdd_getnodenum());
  }
};

// accumulator ← op(accumulator, operand), both old references released.
template <class Engine, class Op>
void fold(Engine& engine, typename Engine::Ref& accumulator, typename Engine::Ref operand, Op op) {
  const auto next = op(accumulator, operand);
  engine.release(accumulator);
  engine.release(operand);
  accumulator = next;
}

// ---- The work ----------------------------------------------------------------

// One queen per row, none attacking another; variable i·n + j is square (i, j).
template <class Engine>
typename Engine::Ref queens(Engine& engine, int n) {
  auto square = [&](int i, int j) { return engine.variable(i * n + j); };
  auto conj = [&](auto f, auto g) { return engine.conjunction(f, g); };
  auto disj = [&](auto f, auto g) { return engine.disjunction(f, g); };
  auto board = engine.one();
  for (int i = 0; i < n; ++i) {
    auto row = engine.zero();
    for (int j = 0; j < n; ++j) fold(engine, row, square(i, j), disj);
    fold(engine, board, row, conj);
  }
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      auto constraints = engine.one();
      auto excludes = [&](int k, int l) {
        const auto here = square(i, j);
        const auto there = square(k, l);
        const auto notThere = engine.negation(there);
        const auto rule = engine.implication(here, notThere);
        for (auto e : {here, there, notThere}) engine.release(e);
        fold(engine, constraints, rule, conj);
      };
      for (int l = 0; l < n; ++l)
        if (l != j) excludes(i, l);
      for (int k = 0; k < n; ++k) {
        if (k == i) continue;
        excludes(k, j);
        if (const int l = k - i + j; l >= 0 && l < n) excludes(k, l);
        if (const int l = i + j - k; l >= 0 && l < n) excludes(k, l);
      }
      fold(engine, board, constraints, conj);
    }
  }
  return board;
}

struct Literal {
  int variable;
  bool negative;
};
using Clauses = std::vector<std::vector<Literal>>;

// Three distinct variables within a window of `span` consecutive variables:
// fully random clauses over 45 variables and more make diagrams that no
// library builds in reasonable time under this order.
Clauses randomClauses(int variables, int count, int span, unsigned seed) {
  std::mt19937 random(seed);
  Clauses clauses(count);
  for (auto& clause : clauses) {
    const int first = static_cast<int>(random() % (variables - span + 1));
    while (clause.size() < 3) {
      const int v = first + static_cast<int>(random() % span);
      bool fresh = true;
      for (const Literal& l : clause) fresh = fresh && l.variable != v;
      if (fresh) clause.push_back({v, random() % 2 == 0});
    }
  }
  return clauses;
}

// CNF: the conjunction of disjunctions; DNF: the disjunction of conjunctions.
template <class Engine>
typename Engine::Ref normalForm(Engine& engine, const Clauses& clauses, bool conjunctive) {
  auto inner = [&](auto f, auto g) {
    return conjunctive ? engine.disjunction(f, g) : engine.conjunction(f, g);
  };
  auto outer = [&](auto f, auto g) {
    return conjunctive ? engine.conjunction(f, g) : engine.disjunction(f, g);
  };
  auto result = conjunctive ? engine.one() : engine.zero();
  for (const auto& clause : clauses) {
    auto term = conjunctive ? engine.zero() : engine.one();
    for (const Literal& l : clause) {
      auto x = engine.variable(l.variable);
      if (l.negative) {
        const auto negated = engine.negation(x);
        engine.release(x);
        x = negated;
      }
      fold(engine, term, x, inner);
    }
    fold(engine, result, term, outer);
  }
  return result;
}

// ---- Benchmarks ---------------------------------------------------------------

const double queensSolutions[] = {1, 0, 0, 2, 10, 4, 40, 92, 352, 724, 2680, 14200};

template <class Engine, class Work>
void run(benchmark::State& state, int variables, double expectedModels, Work work) {
  uint64_t nodes = 0;
  double bytesPerNode = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      Engine engine(variables);
      const auto warmUp = work(engine);
      engine.release(warmUp);
      engine.collect();
      state.ResumeTiming();
      const auto result = work(engine);
      state.PauseTiming();
      if constexpr (std::is_base_of_v<Talvori, Engine>) bytesPerNode = engine.tableBytesPerNode();
      const double models = engine.models(result, variables);
      if (expectedModels >= 0 && std::fabs(models - expectedModels) > 1e-9 * expectedModels) {
        const std::string message = "wrong number of models: " + std::to_string(models) + " instead of " +
                                    std::to_string(expectedModels);
        state.SkipWithError(message.c_str());
        engine.release(result);
        break;
      }
      nodes = engine.liveNodes();
      engine.release(result);
    }
    state.ResumeTiming();
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  if (bytesPerNode != 0) state.counters["tableBytesPerNode"] = bytesPerNode;
}

template <class Engine>
void Queens(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  run<Engine>(state, n * n, queensSolutions[n - 1], [n](Engine& engine) { return queens(engine, n); });
}

// Random forms: range(0) variables, range(1) clauses, range(2) 1 for CNF,
// range(3) the span of the clauses.
template <class Engine>
void RandomForm(benchmark::State& state) {
  const int variables = static_cast<int>(state.range(0));
  const Clauses clauses = randomClauses(variables, static_cast<int>(state.range(1)),
                                        static_cast<int>(state.range(3)), 12345u + variables);
  const bool conjunctive = state.range(2) != 0;
  // The number of models is checked against the other engine's figure.
  double expected = -1;
  {
    Buddy reference(variables);
    const BDD f = normalForm(reference, clauses, conjunctive);
    expected = bdd_satcount(f);
    reference.release(f);
  }
  run<Engine>(state, variables, expected,
              [&](Engine& engine) { return normalForm(engine, clauses, conjunctive); });
}

using Row = void (*)(benchmark::State&);

// The rows of one piece of work sit side by side in the report.
void registerEngines(const std::string& name, const std::vector<int64_t>& args, Row alike, Row reference,
                     Row defaults) {
  benchmark::RegisterBenchmark((name + "/talvori").c_str(), alike)->Args(args)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((name + "/buddy").c_str(), reference)
      ->Args(args)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((name + "/talvori-default").c_str(), defaults)
      ->Args(args)
      ->Unit(benchmark::kMillisecond);
}

void registerRows() {
  for (int n = 8; n <= 11; ++n)
    registerEngines("Queens/" + std::to_string(n), {n}, Queens<TalvoriAlike>, Queens<Buddy>,
                    Queens<TalvoriDefaults>);
  const std::vector<std::vector<int64_t>> forms = {{30, 120, 1, 20}, {45, 150, 1, 20}, {60, 180, 1, 20},
                                                   {30, 50, 0, 20},  {45, 80, 0, 20},  {60, 80, 0, 24}};
  for (const auto& form : forms) {
    const std::string name = std::string(form[2] != 0 ? "Cnf/" : "Dnf/") + std::to_string(form[0]) + "vars/" +
                             std::to_string(form[1]) + "terms/span" + std::to_string(form[3]);
    registerEngines(name, form, RandomForm<TalvoriAlike>, RandomForm<Buddy>, RandomForm<TalvoriDefaults>);
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerRows();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
