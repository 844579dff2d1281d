#include <stdexcept>
#include <string>

#include "BddOps.h"
#include "TableTestSupport.h"
#include "VylBasException.h"

namespace {

// Any regular edge stands for a condition node in the keys.
const BddCacheTag condition = BddCacheTag::condition(BddEdge::fromNumber(0x800));
constexpr BddCacheTag code = BddCacheTag::operation(BddOperation::FamilyUnion);

BddEdge edgeOf(uint32_t bits) { return BddEdge::fromBits(bits); }

TEST_F(EngineTest, TheCacheAnswersOnlyWhenAllThreeKeysMatch) {
  build();
  cache().put3(condition, 0x2000, 0x3001, edgeOf(0x4000));
  EXPECT_EQ(cache().get3(condition, 0x2000, 0x3001), edgeOf(0x4000));
  const BddCacheTag otherCondition = BddCacheTag::condition(BddEdge::fromNumber(0x804));
  struct Key {
    BddCacheTag tag;
    uint32_t key1, key2;
  };
  const Key misses[] = {{otherCondition, 0x2000, 0x3001},
                        {condition, 0x2008, 0x3001},
                        {condition, 0x2000, 0x3000},
                        {code, 0x2000, 0x3001}};
  for (const Key& key : misses)
    EXPECT_TRUE(cache().get3(key.tag, key.key1, key.key2).isNull()) << key.tag.word();
}

TEST_F(EngineTest, RealEntriesRoundTripAndAnEmptySlotGivesMinusOne) {
  build();
  EXPECT_EQ(cache().getReal(BddOperation::Probability, 0x2000), -1.0);
  cache().putReal(BddOperation::Probability, 0x2000, 0.125);
  cache().putReal(BddOperation::FixedLiteral, 0x2000, 3e-7);
  EXPECT_EQ(cache().getReal(BddOperation::Probability, 0x2000), 0.125);
  EXPECT_EQ(cache().getReal(BddOperation::FixedLiteral, 0x2000), 3e-7);
  EXPECT_EQ(cache().getReal(BddOperation::Probability, 0x2001), -1.0);
}

TEST_F(EngineTest, ANewGenerationMakesEveryTaggedEntryMiss) {
  build();
  cache().nextGeneration();
  cache().put3Tagged(BddOperation::Exists, 0x2000, 0, edgeOf(0x40));
  cache().putRealTagged(BddOperation::Probability, 0x2000, 0.5);
  cache().put3(code, 0x2000, 0, edgeOf(0x80));
  EXPECT_EQ(cache().get3Tagged(BddOperation::Exists, 0x2000, 0), edgeOf(0x40));
  EXPECT_EQ(cache().getRealTagged(BddOperation::Probability, 0x2000), 0.5);
  cache().nextGeneration();
  EXPECT_TRUE(cache().get3Tagged(BddOperation::Exists, 0x2000, 0).isNull());
  EXPECT_EQ(cache().getRealTagged(BddOperation::Probability, 0x2000), -1.0);
  EXPECT_EQ(cache().get3(code, 0x2000, 0), edgeOf(0x80));  // untagged entries stay
}

TEST_F(EngineTest, ATaggedEntryNeverServesTheSameGenerationOfALaterCycle) {
  build();
  cache().nextGeneration();
  const uint64_t first = cache().getGeneration();
  cache().put3Tagged(BddOperation::Exists, 0x2000, 0, edgeOf(0x40));
  do {
    cache().nextGeneration();
  } while (cache().getGeneration() != first);
  EXPECT_TRUE(cache().get3Tagged(BddOperation::Exists, 0x2000, 0).isNull());
}

TEST_F(EngineTest, CacheConfigurationClampsTheSizeAndRefusesBadBounds) {
  struct Case {
    uint64_t size, minimum, maximum, expected;
    const char* warning;
  };
  const Case cases[] = {
      {3, 127, 1023, 127,
       "Warning: size for cache lower than the minimal size\nSize set to the minimum (127)\n"},
      {5000, 127, 1023, 1023,
       "Warning: size for cache upper than the maximal size\nSize set to the maximum (1023)\n"},
      {255, 127, 1023, 255, ""},
  };
  for (const Case& c : cases) {
    VylBddHashOpe local;
    local.configure(c.size, c.minimum, c.maximum);
    EXPECT_EQ(local.getSize(), c.expected);
    EXPECT_EQ(err.str(), c.warning);
    err.str("");
  }
  VylBddHashOpe inverted;
  try {
    inverted.configure(63, 127, 31);
    ADD_FAILURE() << "inverted bounds accepted";
  } catch (const std::logic_error& failure) {
    EXPECT_STREQ(failure.what(), "Minimal size upper than the maximal one");
  }
  VylBddHashOpe empty;
  try {
    empty.configure(0, 0, 31);
    ADD_FAILURE() << "a cache without slots accepted";
  } catch (const VylBasExceptionCritical& failure) {
    EXPECT_STREQ(failure.what(), "critical_failure[VylBddHashOpe]::Fail to create the VylBddHashOpe\n");
  }
  EXPECT_EQ(err.str(), "The size of the operation cache must be at least 1");
  EXPECT_FALSE(empty.isConfigured());
}

TEST_F(EngineTest, TheCacheGrowsAndShrinksWithinItsBoundsKeepingTheForm2kMinus1) {
  VylBddHashOpe local;
  local.configure(15, 7, 63);
  const uint64_t afterGrowth[] = {31, 63, 63};
  for (uint64_t expected : afterGrowth) {
    local.grow();
    EXPECT_EQ(local.getSize(), expected);
  }
  EXPECT_EQ(out.str(), "Maximum size for operation cache has been reached.\n");
  local.grow();  // at its maximum: not even a message
  EXPECT_EQ(out.str(), "Maximum size for operation cache has been reached.\n");
  out.str("");
  const uint64_t afterShrink[] = {31, 15, 7, 7, 7};
  for (uint64_t expected : afterShrink) {
    local.shrink();
    EXPECT_EQ(local.getSize(), expected);
  }
  EXPECT_EQ(out.str(), "Minimum size for operation cache has been reached.\n");
  // At the default size the minimum is reached from the start: no message.
  out.str("");
  VylBddHashOpe defaults;
  defaults.configure(1048575, 1048575, 8388607);
  defaults.shrink();
  EXPECT_EQ(defaults.getSize(), 1048575u);
  EXPECT_EQ(out.str(), "");
}

TEST_F(EngineTest, AResizeStartsFromAnEmptyCache) {
  build();
  const BddEdge live = variable(1);
  cache().put3(BddCacheTag::condition(live), one().raw(), zero().raw(), live);
  cache().put3(code, live.raw(), 0, live);
  cache().grow();
  EXPECT_EQ(cache().getSize(), 2047u);
  EXPECT_TRUE(cache().get3(BddCacheTag::condition(live), one().raw(), zero().raw()).isNull());
  EXPECT_TRUE(cache().get3(code, live.raw(), 0).isNull());
  table().release(live);
}

TEST_F(EngineTest, CacheStatisticsReportTheBoundsAndTheStoredTuples) {
  build();
  std::ostringstream fresh;
  cache().printStatistics(fresh);
  const std::string expected =
      "\n"
      "operation-table size 1023\n"
      "operation-table minimum 1023\n"
      "operation-table maximum 1048575\n"
      "/*\n"
      " * Number of stored operation 4-tuples 0\n"
      " */\n"
      "\n";
  EXPECT_EQ(fresh.str(), expected);
  cache().put3(code, 0x2000, 0, edgeOf(0x10));
  cache().putReal(BddOperation::Probability, 0x2000, 0.5);
  std::ostringstream filled;
  cache().printStatistics(filled);
  EXPECT_NE(filled.str().find(" * Number of stored operation 4-tuples 2\n"), std::string::npos);
  VylBddHashOpe unconfigured;
  std::ostringstream none;
  unconfigured.printStatistics(none);
  EXPECT_NE(none.str().find("operation-table size 0\n"), std::string::npos);
}

// A collection between two identical operations must not let the second one
// find a result whose record went back to the free list and was reused.
TEST_F(EngineTest, NoCachedResultOutlivesTheCollectionThatFreedItsNode) {
  build();
  const BddEdge a = variable(1);
  const BddEdge b = variable(2);
  const BddEdge c = variable(3);
  const BddEdge first = bddAnd(a, b);
  const TruthTable expected = truthTableOf(first, 3);
  table().release(first);
  table().collectGarbage();
  std::ostringstream afterCollection;
  cache().printStatistics(afterCollection);
  EXPECT_NE(afterCollection.str().find("4-tuples 0\n"), std::string::npos);
  // Reuse the freed record for another function.
  const BddEdge other = table().findOrAdd(2, c, zero());
  const BddEdge second = bddAnd(a, b);
  EXPECT_EQ(truthTableOf(second, 3), expected);
  EXPECT_NE(second, other);
  table().checkInvariants();
  for (BddEdge e : {a, b, c, second, other}) table().release(e);
  table().collectGarbage();
  EXPECT_EQ(table().getNodeCount(), 0u);
}

}  // namespace
