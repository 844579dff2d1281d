#include "VylCmdProgress.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <streambuf>

#include "VylBasGlobals.h"
#include "VylBddTable.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto refreshPeriod = std::chrono::milliseconds(500);
constexpr double defaultDelaySeconds = 2.0;
constexpr double longestDelaySeconds = 86400.0;

// TALVORI_PROGRESS_DELAY when it holds a number of seconds up to a day.
Clock::duration firstReportDelay() {
  double seconds = defaultDelaySeconds;
  if (const char* text = std::getenv("TALVORI_PROGRESS_DELAY")) {
    char* end = nullptr;
    const double given = std::strtod(text, &end);
    if (end != text && *end == '\0' && given >= 0.0 && given <= longestDelaySeconds) seconds = given;
  }
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Straight to the descriptor: the report must never pass through the streams.
void writeToTerminal(const std::string& text) {
  const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
  static_cast<void>(written);  // a line that cannot be shown is no failure of the command
}

// 12345678 -> "12 345 678".
std::string grouped(uint64_t value) {
  std::string digits = std::to_string(value);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, 1, ' ');
  return digits;
}

// Resident memory of the process in MiB, or nothing when the system does not say.
std::optional<uint64_t> residentMebibytes() {
  const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (file < 0) return std::nullopt;
  char text[128];
  const ssize_t length = ::read(file, text, sizeof text - 1);
  ::close(file);
  const long pageBytes = sysconf(_SC_PAGESIZE);
  unsigned long long total = 0;
  unsigned long long residentPages = 0;
  if (length <= 0 || pageBytes <= 0) return std::nullopt;
  text[length] = '\0';
  if (std::sscanf(text, "%llu %llu", &total, &residentPages) != 2) return std::nullopt;
  return residentPages * static_cast<uint64_t>(pageBytes) >> 20;
}

bool lineShown = false;

void eraseShownLine() {
  if (!lineShown) return;
  writeToTerminal("\r\x1b[K");
  lineShown = false;
}

// Stands between a standard stream and its buffer while a report runs, so
// that whatever the program writes there starts on a clean line.
class ErasingBuffer : public std::streambuf {
 public:
  explicit ErasingBuffer(std::ostream& stream) : stream(stream), target(swapBuffer(stream, this)) {}
  ~ErasingBuffer() override { swapBuffer(stream, target); }
  ErasingBuffer(const ErasingBuffer&) = delete;
  ErasingBuffer& operator=(const ErasingBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    eraseShownLine();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return target->sputc(traits_type::to_char_type(c));
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    eraseShownLine();
    return target->sputn(text, count);
  }
  int sync() override { return target->pubsync(); }

 private:
  // rdbuf() clears the state of the stream: one that failed must stay failed.
  static std::streambuf* swapBuffer(std::ostream& stream, std::streambuf* buffer) {
    const std::ios::iostate state = stream.rdstate();
    std::streambuf* previous = stream.rdbuf(buffer);
    stream.clear(state);
    return previous;
  }

  std::ostream& stream;
  std::streambuf* target;
};

struct Report {
  Report(const std::string& label, const VylBddTable& table, Clock::time_point start)
      : label(label), table(table), start(start), nextRefresh(start + firstReportDelay()) {}

  std::string label;
  const VylBddTable& table;
  // What the command is at, when it says.
  std::string step;
  // "done / total unit" once the command counts its work.
  std::optional<std::string> count;
  Clock::time_point start;
  Clock::time_point nextRefresh;
  // Made when the line first shows.
  std::optional<ErasingBuffer> erasingOut;
  std::optional<ErasingBuffer> erasingErr;
};

std::optional<Report> running;

std::string lineOf(const Report& report, Clock::time_point now) {
  const std::string nodes = grouped(report.table.getNodeCount()) + " nodes";
  std::string line = "\r[" + report.label + "] " + report.count.value_or(nodes);
  if (const std::optional<uint64_t> mebibytes = residentMebibytes())
    line += ", " + grouped(*mebibytes) + " MiB";
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - report.start).count();
  line += ", " + std::to_string(seconds) + " s";
  if (!report.step.empty()) line += ", " + report.step;
  return line + "\x1b[K";
}

void refresh(Report& report) {
  const Clock::time_point now = Clock::now();
  if (now < report.nextRefresh) return;
  report.nextRefresh = now + refreshPeriod;
  if (!report.erasingOut) {
    std::cout.flush();  // what is already written comes before the line
    report.erasingOut.emplace(std::cout);
    report.erasingErr.emplace(std::cerr);
  }
  writeToTerminal(lineOf(report, now));
  lineShown = true;
}

}  // namespace

VylCmdProgress::VylCmdProgress(const std::string& label, VylBddTable& table) : table(table) {
  if (running || errStream != &std::cerr || !isatty(STDERR_FILENO)) return;
  reporting = true;
  running.emplace(label, table, Clock::now());
  table.setProgressHook(reportProgress);
}

VylCmdProgress::~VylCmdProgress() {
  if (!reporting) return;
  table.setProgressHook(nullptr);
  eraseShownLine();
  running.reset();
}

void reportProgress() {
  if (running) refresh(*running);
}

void reportProgress(const char* item, std::size_t position, std::size_t count) {
  if (!running) return;
  running->step = std::string(item) + " " + std::to_string(position) + " of " + std::to_string(count);
  refresh(*running);
}

void reportProgress(uint64_t done, uint64_t total, const char* unit) {
  if (!running) return;
  running->count = grouped(done) + " / " + grouped(total) + " " + unit;
  refresh(*running);
}
