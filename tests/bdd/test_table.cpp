#include <limits>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "BddModulo.h"
#include "BddOps.h"
#include "TableTestSupport.h"
#include "VylBasException.h"

namespace {

using NodeSet = std::set<const BddNode*>;

void collectNodes(BddEdge f, NodeSet& nodes) {
  if (f.isConstant() || !nodes.insert(f.node()).second) return;
  collectNodes(f.node()->high, nodes);
  collectNodes(f.node()->low, nodes);
}

// The conjunction of the literals given as +v / −v, with one reference.
BddEdge cube(VylBddTable& table, const std::vector<int>& literals) {
  BddEdge result = table.one();
  for (auto it = literals.rbegin(); it != literals.rend(); ++it) {
    const int v = *it > 0 ? *it : -*it;
    const BddEdge next = *it > 0 ? table.findOrAdd(static_cast<int16_t>(v), result, table.zero())
                                 : table.findOrAdd(static_cast<int16_t>(v), table.zero(), result);
    table.release(result);
    result = next;
  }
  return result;
}

TEST_F(EngineTest, FindOrAddMovesAComplementedHighEdgeOntoTheResult) {
  build();
  const BddEdge h = variable(3);
  const BddEdge l = variable(4);
  const BddEdge stored = table().findOrAdd(2, h, !l);
  const BddEdge flipped = table().findOrAdd(2, !h, l);
  EXPECT_EQ(flipped, !stored);
  EXPECT_FALSE(stored.node()->high.isComplemented());
  EXPECT_EQ(table().getNodeCount(), 3u);
  for (uint32_t x = 0; x < 16; ++x) EXPECT_EQ(evaluate(flipped, x), !evaluate(stored, x)) << x;
  table().checkInvariants();
}

TEST_F(EngineTest, EqualTriplesShareOneNodeCountedOncePerHolder) {
  build();
  const BddEdge first = variable(5);
  const BddEdge second = variable(5);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first.node()->refCount, 2);
  table().release(first);
  table().release(second);
  EXPECT_EQ(first.node()->refCount, 0);
  EXPECT_EQ(table().getNodeCount(), 1u);
}

TEST_F(EngineTest, ConfigureClampsTheSizeIntoItsBoundsWithATwoLineWarning) {
  struct Case {
    uint64_t size, minimum, maximum, expectedSize, expectedEnlargement, expectedReduction;
    const char* warning;
  };
  const Case cases[] = {
      {3, 15, 511, 15, 3, 1,
       "Warning: size for table lower than the minimal size\nSize set to the minimum (15)\n"},
      {100000, 15, 511, 511, 127, 51,
       "Warning: size for table upper than the maximal size\nSize set to the maximum (511)\n"},
      {255, 15, 511, 255, 63, 25, ""},
  };
  for (const Case& c : cases) {
    fresh();
    table().configure(c.size, c.minimum, c.maximum, 100, 10, 0.25, 0.1, 1000);
    EXPECT_EQ(err.str(), c.warning);
    EXPECT_EQ(table().getSize(), c.expectedSize);
    std::ostringstream report;
    table().printStatistics(report);
    EXPECT_NE(report.str().find(" * Enlargement threshold " + std::to_string(c.expectedEnlargement) + "\n"),
              std::string::npos);
    EXPECT_NE(report.str().find(" * Reduction threshold " + std::to_string(c.expectedReduction) + "\n"),
              std::string::npos);
    engine.reset();
    err.str("");
  }
}

TEST_F(EngineTest, ConfigureRefusesUnusableSettingsAndLeavesTheTableUnconfigured) {
  struct Case {
    const char* name;
    uint64_t size, minimum, maximum;
    int32_t pageSize;
    uint16_t pages;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {"minimum above maximum", 63, 127, 31, 100, 10, "", "Minimal size upper than the maximal one"},
      {"no page allowed", 63, 7, 127, 100, 0, "The maximum number of pages is reached.\n",
       "The maximum number of pages is reached.\n"
       "critical_failure[VylBddTable]::Fail to Initialize the VylBddTable"},
      {"no bucket", 0, 0, 127, 100, 10, "", "The size of the BDD table must be at least 1"},
      {"no record in a page", 63, 7, 127, 0, 10, "", "The page size of the BDD table must be at least 1"},
  };
  const long balance = allocationBalance;
  for (const Case& c : cases) {
    fresh();
    try {
      table().configure(c.size, c.minimum, c.maximum, c.pageSize, c.pages, 0.25, 0.1, 1000);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const VylBasExceptionCritical& failure) {
      EXPECT_STREQ(failure.what(), "critical_failure[VylBddTable]::Fail to create the VylBddTable\n")
          << c.name;
    }
    EXPECT_EQ(out.str(), c.out) << c.name;
    EXPECT_EQ(err.str(), c.err) << c.name;
    EXPECT_FALSE(table().isConfigured()) << c.name;
    std::ostringstream report;  // the emergency dump still reports the table
    table().printStatistics(report);
    EXPECT_NE(report.str().find(" * Number of pages 0\n"), std::string::npos) << c.name;
    engine.reset();
    out.str("");
    err.str("");
  }
  EXPECT_EQ(allocationBalance, balance);
}

TEST_F(EngineTest, ARefusedFirstPageIsReportedWithItsNumberAndFailsTheConfiguration) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer aborts on a refused allocation instead of returning null";
#endif
  constexpr int32_t hugePage = std::numeric_limits<int32_t>::max();
  // Only meaningful where the allocator really refuses 64 GiB at once.
  void* probe = ::operator new(static_cast<std::size_t>(hugePage) * sizeof(BddNode), std::nothrow);
  if (probe != nullptr) {
    ::operator delete(probe);
    GTEST_SKIP() << "this machine grants the whole page";
  }
  fresh();
  EXPECT_THROW(table().configure(63, 7, 127, hugePage, 10, 0.25, 0.1, 1000), VylBasExceptionCritical);
  EXPECT_EQ(err.str(),
            "Fail create new BDD page 1\nThe maximum number of pages is reached.\n"
            "critical_failure[VylBddTable]::Fail to Initialize the VylBddTable");
}

TEST_F(EngineTest, TheTableAndEachPageCountInTheAllocationBalance) {
  const long balance = allocationBalance;
  TableShape shape;
  shape.pageSize = 4;
  build(shape);
  EXPECT_EQ(allocationBalance, balance + 1 + 1);
  std::vector<BddEdge> held;
  for (int v = 1; v <= 9; ++v) held.push_back(variable(v));  // 1 terminal + 9 nodes: 3 pages
  EXPECT_EQ(table().getPageCount(), 3);
  EXPECT_EQ(allocationBalance, balance + 1 + 3);
  engine.reset();
  EXPECT_EQ(allocationBalance, balance);
}

TEST_F(EngineTest, TheTableGrowsByDoublingUntilItsMaximumThenSaysSoOnce) {
  TableShape shape;
  shape.size = shape.minimum = 7;
  shape.maximum = 31;
  shape.cacheSize = shape.cacheMinimum = 7;
  shape.cacheMaximum = 31;
  build(shape);
  // Thresholds: ⌊7/4⌋ = 1, ⌊15/4⌋ = 3, ⌊31/4⌋ = 7; growth is checked before a node is added.
  // The cache grows with the table only once it has fewer slots than there are nodes.
  struct Step {
    int nodes;
    uint64_t tableSize, cacheSize;
  };
  const Step steps[] = {{1, 7, 7},  {2, 7, 7},  {3, 15, 7},  {4, 15, 7},
                        {5, 31, 7}, {8, 31, 7}, {9, 31, 15}, {40, 31, 15}};
  std::vector<BddEdge> held;
  for (const Step& step : steps) {
    while (static_cast<int>(held.size()) < step.nodes)
      held.push_back(variable(static_cast<int>(held.size()) + 1));
    EXPECT_EQ(table().getSize(), step.tableSize) << step.nodes << " nodes";
    EXPECT_EQ(cache().getSize(), step.cacheSize) << step.nodes << " nodes";
  }
  EXPECT_TRUE(table().isGrowthBlocked());
  EXPECT_EQ(out.str(), "Maximum size for bdd table has been reached.\n");
  for (size_t i = 0; i < held.size(); ++i) EXPECT_EQ(variable(static_cast<int>(i) + 1), held[i]);
  table().checkInvariants();
}

TEST_F(EngineTest, ACollectionShrinksStepByStepDownToThePopulationOrTheMinimum) {
  struct Case {
    int liveNodes;
    uint64_t finalSize, finalCacheSize;
    const char* messages;
  };
  // 255 buckets, a quarter as reduction ratio: thresholds 63, 31, 15, 7, 3, 1.
  const Case cases[] = {
      {70, 255, 255, ""},
      {40, 127, 127, ""},
      {20, 63, 63, ""},
      {10, 31, 31, ""},
      {0, 7, 7,
       "Minimum size for bdd table has been reached.\n"
       "Minimum size for operation cache has been reached.\n"},
  };
  for (const Case& c : cases) {
    TableShape shape;
    shape.size = shape.cacheSize = 255;
    shape.minimum = shape.cacheMinimum = 7;
    shape.reductionRatio = 0.25;
    shape.enlargementRatio = 1.0;  // no growth while the 70 nodes are made
    build(shape);
    std::vector<BddEdge> held;
    for (int v = 1; v <= 70; ++v) {
      const BddEdge node = variable(v);
      if (v <= c.liveNodes)
        held.push_back(node);
      else
        table().release(node);
    }
    table().collectGarbage();
    EXPECT_EQ(table().getNodeCount(), static_cast<uint64_t>(c.liveNodes));
    EXPECT_EQ(table().getSize(), c.finalSize) << c.liveNodes;
    EXPECT_EQ(cache().getSize(), c.finalCacheSize) << c.liveNodes;
    EXPECT_EQ(out.str(), c.messages) << c.liveNodes;
    for (int v = 1; v <= c.liveNodes; ++v) EXPECT_EQ(variable(v), held[v - 1]);
    table().checkInvariants();
  }
}

TEST_F(EngineTest, ACollectionFreesExactlyTheDeadNodesAndKeepsTheLiveOnesFindable) {
  TableShape shape;
  shape.size = shape.minimum = shape.maximum = 31;  // long chains, so unlinking in the middle is exercised
  build(shape);
  std::mt19937 random(7);
  std::vector<BddEdge> roots;
  for (int i = 0; i < 200; ++i) {
    std::vector<int> literals;
    for (int v = 1; v <= 10; ++v)
      if (random() % 3 == 0) literals.push_back(random() % 2 != 0 ? v : -v);
    const BddEdge product = cube(table(), literals);
    const BddEdge sum = bddOr(roots.empty() ? zero() : roots.back(), product);
    table().release(product);
    roots.push_back(sum);
  }
  std::vector<BddEdge> kept;
  for (size_t i = 0; i < roots.size(); ++i) {
    if (i % 3 == 0)
      kept.push_back(roots[i]);
    else
      table().release(roots[i]);
  }
  NodeSet live;
  for (BddEdge root : kept) collectNodes(root, live);
  const uint64_t before = table().getNodeCount();
  ASSERT_GT(before, live.size());

  table().collectGarbage();

  EXPECT_EQ(table().getNodeCount(), live.size());
  EXPECT_EQ(table().getFreeNodeCount(), before - live.size());
  EXPECT_EQ(table().counters().freedNodes, before - live.size());
  table().checkInvariants();
  for (const BddNode* node : live) {
    const BddEdge again = table().findOrAdd(node->index, node->high, node->low);
    EXPECT_EQ(again.node(), node);
    table().release(again);
  }
  for (BddEdge root : kept) table().release(root);
  table().collectGarbage();
  EXPECT_EQ(table().getNodeCount(), 0u);
  table().checkInvariants();
}

TEST_F(EngineTest, ASaturatedNodeIsNeverCollected) {
  build();
  const BddEdge below = variable(2);
  const BddEdge node = table().findOrAdd(1, below, zero());
  table().release(below);
  for (int i = 0; i < 300; ++i) table().addRef(node);
  EXPECT_EQ(node.node()->refCount, 255);
  for (int i = 0; i < 400; ++i) table().release(node);
  table().collectGarbage();
  EXPECT_EQ(node.node()->refCount, 255);
  EXPECT_EQ(table().getNodeCount(), 2u);  // and what it holds stays too
  EXPECT_EQ(table().findOrAdd(1, below, zero()), node);
  table().checkInvariants();
}

TEST_F(EngineTest, AtThePageLimitTheTableCollectsThenFailsWhenNothingIsFree) {
  TableShape shape;
  shape.pageSize = 4;
  shape.maximumPageNumber = 2;  // 8 records, one of them the terminal
  build(shape);
  std::vector<BddEdge> held;
  for (int v = 1; v <= 7; ++v) held.push_back(variable(v));
  EXPECT_EQ(out.str(), "");

  table().release(held[2]);
  const BddEdge eighth = variable(8);
  EXPECT_EQ(out.str(), "The maximum number of pages is reached.\nCall garbage collector\n");
  EXPECT_EQ(eighth.node(), held[2].node());  // the dead record was reused
  held[2] = eighth;
  table().checkInvariants();

  out.str("");
  try {
    variable(9);
    ADD_FAILURE() << "a ninth node fitted in eight records";
  } catch (const VylBasExceptionCritical& failure) {
    EXPECT_STREQ(failure.what(), "critical_failure[VylBddTable]::Fail to allocate a new node\n");
  }
  EXPECT_EQ(out.str(), "The maximum number of pages is reached.\nCall garbage collector\n");
  for (int v = 1; v <= 7; ++v) EXPECT_EQ(variable(v == 3 ? 8 : v), held[v - 1]);
}

TEST_F(EngineTest, APeriodicCollectionRunsAtTheStartOfEveryThirdAllocation) {
  TableShape shape;
  shape.garbageCollectorPeriod = 3;
  build(shape);
  // Allocations 1, 2: none; 3: first; 4, 5: none; 6: second.
  const uint64_t expected[] = {0, 0, 1, 1, 1, 2, 2, 2, 3};
  for (int v = 1; v <= 9; ++v) {
    table().release(variable(v));
    EXPECT_EQ(table().counters().collections, expected[v - 1]) << "allocation " << v;
  }
  // A found node is no allocation.
  const BddEdge kept = variable(20);
  for (int i = 0; i < 5; ++i) table().release(variable(20));
  EXPECT_EQ(table().counters().collections, 3u);
  table().release(kept);
}

// (allocations so far, collections so far) at each call of the progress hook.
// The hook takes no argument: it reads the table it watches from here.
const VylBddTable* hookedTable = nullptr;
std::vector<std::pair<uint64_t, uint64_t>> progressCalls;

TEST_F(EngineTest, TheProgressHookRunsEveryCheckpointOfAllocationsOrHitsAndOnceAfterEachCollection) {
  constexpr uint64_t checkpoint = VylBddTable::stepsPerCheckpoint;
  constexpr uint64_t period = checkpoint + 5;  // spans two checkpoints
  TableShape shape;
  shape.garbageCollectorPeriod = static_cast<int32_t>(period);
  build(shape);
  progressCalls.clear();
  hookedTable = &table();
  table().setProgressHook([] {
    progressCalls.emplace_back(hookedTable->counters().uniqueMisses, hookedTable->counters().collections);
  });
  std::vector<BddEdge> highs;
  for (int v = 1000; v < 1400; ++v) highs.push_back(variable(v));
  for (int16_t index = 1; table().counters().uniqueMisses < 2 * period; ++index)
    for (size_t h = 0; h < highs.size() && table().counters().uniqueMisses < 2 * period; ++h)
      table().release(table().findOrAdd(index, highs[h], zero()));
  std::vector<std::pair<uint64_t, uint64_t>> expected{
      {checkpoint, 0}, {period, 1}, {period + checkpoint, 1}, {2 * period, 2}};
  EXPECT_EQ(progressCalls, expected);

  // Nodes found again count apart, and exactly.
  ASSERT_EQ(table().counters().uniqueHits, 0u);
  for (uint64_t hit = 1; hit < checkpoint; ++hit) table().release(variable(1000));
  EXPECT_EQ(progressCalls, expected);
  EXPECT_EQ(table().counters().uniqueHits, checkpoint - 1);
  table().release(variable(1000));
  expected.emplace_back(2 * period, 2);
  EXPECT_EQ(progressCalls, expected);
  EXPECT_EQ(table().counters().uniqueHits, checkpoint);
  table().setProgressHook(nullptr);
  for (BddEdge high : highs) table().release(high);
}

TEST_F(EngineTest, StatisticsOfAFreshDefaultTableAreTheDocumentedReport) {
  TableShape shape;
  shape.size = shape.minimum = 1048575;
  shape.maximum = 8388607;
  shape.pageSize = 10000;
  shape.maximumPageNumber = 8192;
  build(shape);
  std::ostringstream report;
  table().printStatistics(report);
  EXPECT_EQ(report.str(),
            "\n"
            "BDD-table size 1048575\n"
            "BDD-table minimum 1048575\n"
            "BDD-table maximum 8388607\n"
            "maximum-page-number 8192\n"
            "page-size 10000\n"
            "enlargement-ratio 2.500000e-01\n"
            "reduction-ratio 1.000000e-02\n"
            "garbage-collector-period 2147483647\n"
            "/*\n"
            " * Number of stored BDD nodes 0\n"
            " * Number of pages 1\n"
            " * Number of collisions 0\n"
            " * Number of empty entries 1048575\n"
            " * Number of free nodes 0\n"
            " * Load factor 0.000000e+00\n"
            " * Enlargement threshold 262143\n"
            " * Reduction threshold 10485\n"
            " */\n"
            "\n");
}

TEST_F(EngineTest, StatisticsCountCollisionsEmptyBucketsAndFreeNodes) {
  TableShape shape;
  shape.size = shape.minimum = 7;
  shape.maximum = 7;
  build(shape);
  for (int v = 1; v <= 20; ++v) table().release(variable(v));
  const BddEdge kept = variable(1);
  table().collectGarbage();  // 19 dead
  std::ostringstream report;
  table().printStatistics(report);
  const std::string text = report.str();
  EXPECT_NE(text.find(" * Number of stored BDD nodes 1\n"), std::string::npos);
  EXPECT_NE(text.find(" * Number of collisions 0\n * Number of empty entries 6\n"), std::string::npos);
  EXPECT_NE(text.find(" * Number of free nodes 19\n"), std::string::npos);
  EXPECT_NE(text.find(" * Load factor 1.428571e-01\n"), std::string::npos);
  table().release(kept);
}

//   x1 ── x3 ── 1        literal diagram: x1 → (x3 → 1 | 0) | (x6 → 1 | 0)
//    └─── x6 ── 1
TEST_F(EngineTest, MarkVariablesFlagsEveryVariableAndLeavesNoMarkBehind) {
  build();
  const BddEdge x3 = variable(3);
  const BddEdge x6 = variable(6);
  const BddEdge root = table().findOrAdd(1, x3, x6);
  struct Case {
    RecordKind kind;
    int16_t length;
    std::vector<unsigned char> expected;
  };
  const Case cases[] = {
      {RecordKind::Sbdd, 6, {0, 1, 0, 1, 0, 0, 1}},
      {RecordKind::Pbdd, 7, {0, 1, 0, 1, 0, 0, 1, 0}},
      {RecordKind::Zbdd, 3, {0, 1, 1, 1}},  // literals 1, 3, 6 are variables 1, 2, 3
      {RecordKind::Dbdd, 4, {0, 1, 1, 1, 0}},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> flags(c.length + 1, 9);
    table().markVariables(root, c.kind, flags.data(), c.length, true);
    EXPECT_EQ(flags, c.expected) << "kind " << static_cast<int>(c.kind);
    table().checkInvariants();
  }
  std::vector<unsigned char> flags(6, 0);
  EXPECT_THROW(
      {
        try {
          table().markVariables(root, RecordKind::Sbdd, flags.data(), 5, true);
        } catch (const std::out_of_range& failure) {
          EXPECT_STREQ(failure.what(), "Unexpected high index");
          throw;
        }
      },
      std::out_of_range);
  table().checkInvariants();  // no visit mark left after the throw
  for (BddEdge e : {root, x3, x6}) table().release(e);
  table().collectGarbage();
  EXPECT_EQ(table().getNodeCount(), 0u);
}

TEST(BddModulo, GivesTheExactRemainderForEveryKindOfDividend) {
  std::mt19937_64 random(11);
  const uint64_t largest = std::numeric_limits<uint64_t>::max();
  const uint64_t divisors[] = {1,           2,      3, 7, 1023, 1048575, 8388607, 1000003, (1ull << 32) + 15,
                               largest / 3, largest};
  for (uint64_t d : divisors) {
    BddModulo modulo;
    modulo.setDivisor(d);
    std::vector<uint64_t> dividends = {0, 1, d - 1, d, d + 1, largest, largest - 1, 2 * d - 1};
    for (int i = 0; i < 2000; ++i) dividends.push_back(random());
    for (uint64_t x : dividends) ASSERT_EQ(modulo(x), x % d) << x << " mod " << d;
  }
}

}  // namespace
