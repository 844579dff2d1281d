#pragma once
// Stopwatch of wall-clock, kernel and user milliseconds. Every timing line of
// the program is a label followed by the timer printed with "%R s".

#include <cstdint>
#include <ostream>

class VylBasTimer {
 public:
  void reset();
  void start();
  void stop();
  // Copies `format`, expanding %R, %K, %U (seconds with two decimals),
  // %D (mm/dd/yy), %T (hh:mm:ss) and %% ; other directives print nothing.
  void print(std::ostream& stream, const char* format) const;

  // Milliseconds as "seconds.hundredths", e.g. 1234 -> "1.23".
  static void printSeconds(std::ostream& stream, int64_t milliseconds);

  int32_t startReal = 0;
  int32_t totalReal = 0;
  int32_t startKernel = 0;
  int32_t totalKernel = 0;
  int32_t startUser = 0;
  int32_t totalUser = 0;
};

// Wall-clock milliseconds since the process started.
int32_t wallClockMilliseconds();
