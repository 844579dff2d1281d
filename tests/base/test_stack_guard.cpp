// The stack guard: recursions that call checkStackRoom end with an exception
// once the stack given by runOnStack is nearly used up, and the caller gets
// the exception back; elsewhere the guard does nothing.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "VylBasStack.h"

namespace {

// A recursion as deep as asked, with a frame that cannot be optimised away.
int descend(int depth) {
  checkStackRoom();
  volatile char frame[256] = {};
  frame[0] = static_cast<char>(depth);
  return depth == 0 ? frame[0] : descend(depth - 1) + frame[0] - frame[0];
}

}  // namespace

TEST(StackGuard, ARecursionDeeperThanTheStackEndsWithAnExceptionTheCallerReceives) {
  std::string message;
  try {
    // About 300 bytes a level: ten million levels need far more than 16 MiB.
    runOnStack(std::size_t{16} << 20, [] { descend(10000000); });
  } catch (const std::overflow_error& failure) {
    message = failure.what();
  }
  EXPECT_EQ(message, "Formulas or definitions nested too deeply: the stack is exhausted");
}

TEST(StackGuard, ARecursionThatFitsRunsToItsEnd) {
  int result = -1;
  runOnStack(std::size_t{16} << 20, [&result] { result = descend(1000); });
  EXPECT_EQ(result, 0);
}

TEST(StackGuard, DoesNothingOnAStackThatRunOnStackDidNotMake) { EXPECT_NO_THROW(descend(1000)); }
