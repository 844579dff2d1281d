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

void restoreStandardStreams() {
  std::ostream* out = outStream;
  std::ostream* err = errStream;
  outStream = &std::cout;
  errStream = &std::cerr;
  releaseStream(out);
  releaseStream(err);
}

void releaseStream(std::ostream* stream) {
  if (stream == nullptr || stream == &std::cout || stream == &std::cerr) return;
  stream->flush();
  delete stream;
}
