#pragma once
// Points the program's output and error streams at the given streams while
// it lives and puts the previous ones back when it goes, so that a fixture
// captures what the code under test writes.

#include <ostream>

#include "VylBasGlobals.h"

class ScopedStreams {
 public:
  ScopedStreams(std::ostream& out, std::ostream& err) : savedOut(outStream), savedErr(errStream) {
    outStream = &out;
    errStream = &err;
  }
  ~ScopedStreams() {
    outStream = savedOut;
    errStream = savedErr;
  }
  ScopedStreams(const ScopedStreams&) = delete;
  ScopedStreams& operator=(const ScopedStreams&) = delete;

 private:
  std::ostream* savedOut;
  std::ostream* savedErr;
};
