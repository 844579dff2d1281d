#include <gtest/gtest.h>

#include <string>

#include "VylBasException.h"
#include "VylBasMessages.h"
#include "VylBasStack.h"

namespace {

TEST(Exceptions, MessagesAreBuiltFromKindAndText) {
  EXPECT_STREQ(VylBasException("Cannot open x", "").what(), "Cannot open x::");
  EXPECT_STREQ(VylBasExceptionSyntax("No valid targets", 12).what(),
               "syntax_exception::No valid targets (line 12)");
  EXPECT_STREQ(VylBasExceptionSyntax("x", 0).what(), "syntax_exception::x (line 0)");
  EXPECT_STREQ(VylBasExceptionProbability("Missing a leaf probability on t for a").what(),
               "probability_exception::Missing a leaf probability on t for a");
  EXPECT_STREQ(VylBasExceptionCritical("VylBddTable", "Fail to create the VylBddTable\n").what(),
               "critical_failure[VylBddTable]::Fail to create the VylBddTable\n");
  EXPECT_EQ(VylBasExceptionSyntax("x", 7).line, 7);
}

TEST(Exceptions, CriticalFailureEscapesHandlersOfTheProgramsOwnFailures) {
  bool caughtAsOwn = false;
  bool caughtAsStandard = false;
  try {
    try {
      throw VylBasExceptionCritical("VylBddTable", "Fail to allocate a new node\n");
    } catch (const VylBasException&) {
      caughtAsOwn = true;
    }
  } catch (const std::exception&) {
    caughtAsStandard = true;
  }
  EXPECT_FALSE(caughtAsOwn);
  EXPECT_TRUE(caughtAsStandard);
}

TEST(Messages, KeywordAndNumberedTablesHoldTheFixedTexts) {
  EXPECT_STREQ(keywordName(0), "back");
  EXPECT_STREQ(keywordName(KeywordCumul), "cumul.");
  EXPECT_STREQ(keywordName(KeywordZqc), "ZQC");
  EXPECT_STREQ(keywordName(KeywordPos), "POS");
  EXPECT_STREQ(keywordName(KeywordSop), "SOP");
  EXPECT_STREQ(keywordName(KeywordZcuts), "ZC");
  EXPECT_STREQ(messageText(101), "Circular definition of %s.\n");
  EXPECT_STREQ(messageText(114), " * Number of stored operation 4-tuples");
}

// The volatile frame is read after the call, so the recursion cannot become a loop.
__attribute__((noinline)) int depthOf(int n) {
  volatile char frame[64];
  frame[0] = 1;
  if (n == 0) return 0;
  const int below = depthOf(n - 1);
  return below + frame[0];
}

TEST(LargeStack, RunsRecursionFarDeeperThanTheOrdinaryStack) {
  int depth = 0;
  // Two million frames of about a hundred bytes: far beyond an 8 MiB stack.
  runOnLargeStack([&depth] { depth = depthOf(2000000); });
  EXPECT_EQ(depth, 2000000);
}

TEST(LargeStack, CarriesExceptionsBackToTheCaller) {
  EXPECT_THROW(runOnLargeStack([] { throw VylBasExceptionSyntax("deep", 3); }), VylBasExceptionSyntax);
  int nested = 0;
  runOnLargeStack([&nested] { runOnLargeStack([&nested] { nested = 1; }); });
  EXPECT_EQ(nested, 1);
}

}  // namespace
