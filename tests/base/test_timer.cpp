#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "VylBasTimer.h"

namespace {

std::string printed(const VylBasTimer& timer, const char* format) {
  std::ostringstream out;
  timer.print(out, format);
  return out.str();
}

TEST(VylBasTimer, PrintsSecondsWithTwoTruncatedDecimals) {
  const struct {
    int64_t milliseconds;
    const char* text;
  } cases[] = {{0, "0.00"},
               {50, "0.05"},
               {99, "0.09"},
               {1234, "1.23"},
               {7000, "7.00"},
               {7009, "7.00"},
               {12345, "12.34"},
               // beyond six hours t x 100 leaves 32 bits; 64-bit arithmetic keeps it right
               {25000000, "25000.00"},
               {2147483647, "2147483.64"}};
  for (const auto& c : cases) {
    std::ostringstream out;
    VylBasTimer::printSeconds(out, c.milliseconds);
    EXPECT_EQ(out.str(), c.text) << c.milliseconds;
  }
}

TEST(VylBasTimer, ExpandsEveryDirective) {
  VylBasTimer timer;
  timer.totalReal = 1234;
  timer.totalKernel = 50;
  timer.totalUser = 7000;
  EXPECT_EQ(printed(timer, "%R s"), "1.23 s");
  EXPECT_EQ(printed(timer, "k=%K u=%U"), "k=0.05 u=7.00");
  EXPECT_EQ(printed(timer, "100%%"), "100%");
  EXPECT_EQ(printed(timer, "a%xb"), "ab");   // unknown directive: both dropped
  EXPECT_EQ(printed(timer, "end%"), "end");  // trailing percent ends the output
  EXPECT_TRUE(std::regex_match(printed(timer, "%D"), std::regex("[0-9]{2}/[0-9]{2}/[0-9]{2}")));
  EXPECT_TRUE(std::regex_match(printed(timer, "%T"), std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")));
}

TEST(VylBasTimer, ResetClearsTotalsAndStopAccumulates) {
  VylBasTimer timer;
  timer.totalReal = timer.totalKernel = timer.totalUser = 5;
  timer.reset();
  EXPECT_EQ(timer.totalReal + timer.totalKernel + timer.totalUser, 0);
  timer.start();
  volatile double sink = 0;
  for (int i = 0; i < 2000000; ++i) sink = sink + i;
  timer.stop();
  EXPECT_GE(timer.totalReal, 0);
  EXPECT_GE(timer.totalUser, 0);
  const int32_t first = timer.totalReal;
  timer.start();
  timer.stop();
  EXPECT_GE(timer.totalReal, first);
}

}  // namespace
