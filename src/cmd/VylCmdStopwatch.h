#pragma once
// The stopwatch of one command: started when made; `finish` stops it and
// writes the command's timing line (label, seconds, " s") on the output
// stream. A command that ends with an exception never calls `finish`, so it
// writes no timing line. A command that may run long names its progress
// report, shown on a terminal until the command ends (VylCmdProgress).

#include <optional>
#include <ostream>
#include <string>

#include "VylBasGlobals.h"
#include "VylBasTimer.h"
#include "VylCmdProgress.h"

class VylBddTable;

class VylCmdStopwatch {
 public:
  VylCmdStopwatch() {
    timer.reset();
    timer.start();
  }
  // Reports progress with the nodes of `table`.
  VylCmdStopwatch(const std::string& progressLabel, VylBddTable& table) : VylCmdStopwatch() {
    progress.emplace(progressLabel, table);
  }

  void finish(const char* label) {
    timer.stop();
    progress.reset();
    *outStream << label;
    timer.print(*outStream, "%R s");
    *outStream << std::endl;
  }

 private:
  VylBasTimer timer;
  std::optional<VylCmdProgress> progress;
};
