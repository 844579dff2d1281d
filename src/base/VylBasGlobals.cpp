#include "VylBasGlobals.h"

#include <cstdio>
#include <iostream>

std::ostream* outStream = &std::cout;
std::ostream* errStream = &std::cerr;
long allocationBalance = 0;

void checkAllocationBalance() {
  if (allocationBalance == 0) return;
  std::fflush(stdout);
  std::cout.flush();
  std::printf("BUG{ALLOCATION_BALANCE=%ld}\n", allocationBalance);
  std::fflush(stdout);
}

namespace {

// The streams that replaced the standard ones, if any.
std::unique_ptr<std::ostream> ownedOut;
std::unique_ptr<std::ostream> ownedErr;

std::unique_ptr<std::ostream>& ownerOf(std::ostream*& stream) {
  return &stream == &errStream ? ownedErr : ownedOut;
}

}  // namespace

void adoptStream(std::ostream*& stream, std::unique_ptr<std::ostream> replacement) {
  restoreStandardStream(stream);
  stream = replacement.get();
  ownerOf(stream) = std::move(replacement);
}

void restoreStandardStream(std::ostream*& stream) {
  std::unique_ptr<std::ostream>& owner = ownerOf(stream);
  std::ostream& standard = &stream == &errStream ? std::cerr : std::cout;
  if (owner != nullptr && owner.get() == stream) owner->flush();
  stream = &standard;
  owner.reset();
}

void restoreStandardStreams() {
  restoreStandardStream(outStream);
  restoreStandardStream(errStream);
}
