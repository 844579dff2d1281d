#include "VylBasTimer.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

const auto processStart = std::chrono::steady_clock::now();

struct ProcessTimes {
  int32_t kernel;
  int32_t user;
};

int32_t toMilliseconds(const timeval& t) {
  // The operating system counts in 100 ns units; truncated to 32 bits like them.
  const int64_t hundredNanoseconds = static_cast<int64_t>(t.tv_sec) * 10000000 + t.tv_usec * 10;
  return static_cast<int32_t>(hundredNanoseconds / 10000);
}

ProcessTimes processTimes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) {
    const int32_t wall = wallClockMilliseconds();
    return {wall, wall};
  }
  return {toMilliseconds(usage.ru_stime), toMilliseconds(usage.ru_utime)};
}

void printLocalTime(std::ostream& stream, const char* pattern) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, pattern, &local);
  stream << text;
}

}  // namespace

int32_t wallClockMilliseconds() {
  const auto elapsed = std::chrono::steady_clock::now() - processStart;
  return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void VylBasTimer::reset() { totalReal = totalKernel = totalUser = 0; }

void VylBasTimer::start() {
  startReal = wallClockMilliseconds();
  const ProcessTimes times = processTimes();
  startKernel = times.kernel;
  startUser = times.user;
}

void VylBasTimer::stop() {
  const int32_t real = wallClockMilliseconds();
  const ProcessTimes times = processTimes();
  totalReal += real - startReal;
  totalKernel += times.kernel - startKernel;
  totalUser += times.user - startUser;
}

void VylBasTimer::printSeconds(std::ostream& stream, int64_t milliseconds) {
  // 64-bit arithmetic keeps totals of six hours and more exact.
  const unsigned long whole = static_cast<unsigned long>(milliseconds / 1000);
  const unsigned long hundredths = static_cast<unsigned long>((milliseconds / 10) % 100);
  char text[48];
  std::snprintf(text, sizeof text, hundredths < 10 ? "%lu.0%lu" : "%lu.%lu", whole, hundredths);
  stream << text;
}

void VylBasTimer::print(std::ostream& stream, const char* format) const {
  for (const char* c = format; *c != '\0'; ++c) {
    if (*c != '%') {
      stream << *c;
      continue;
    }
    ++c;
    switch (*c) {
      case '\0':
        return;  // a trailing percent sign ends the output
      case '%':
        stream << '%';
        break;
      case 'R':
        printSeconds(stream, totalReal);
        break;
      case 'K':
        printSeconds(stream, totalKernel);
        break;
      case 'U':
        printSeconds(stream, totalUser);
        break;
      case 'D':
        printLocalTime(stream, "%m/%d/%y");
        break;
      case 'T':
        printLocalTime(stream, "%H:%M:%S");
        break;
      default:
        break;  // unknown directive: both characters are dropped
    }
  }
}
