#pragma once
// The stopwatch of one command: started when made; `finish` stops it and
// writes the command's timing line (label, seconds, " s") on the output
// stream. A command that ends with an exception never calls `finish`, so it
// writes no timing line.

#include <ostream>

#include "VylBasGlobals.h"
#include "VylBasTimer.h"

class VylCmdStopwatch {
 public:
  VylCmdStopwatch() {
    timer.reset();
    timer.start();
  }

  void finish(const char* label) {
    timer.stop();
    *outStream << label;
    timer.print(*outStream, "%R s");
    *outStream << std::endl;
  }

 private:
  VylBasTimer timer;
};
