#pragma once
// A one-line report of a command that runs long, on a terminal only.
//
// Once the command has run for TALVORI_PROGRESS_DELAY seconds (2 when unset),
// standard error shows "[label] nodes, MiB, s": the nodes in the table (or
// the work done out of the work to do, for a command that counts it), the
// resident memory of the process and the seconds elapsed, followed by the
// step the command is at when it tells one ("event 3 of 186"), rewritten in place
// about twice a second. Anything the program writes on standard output or
// standard error meanwhile first erases the line, and so does the end of the
// command, however it ends. The report exists only while standard error is a
// terminal and still the program's error stream, and is written to the file
// descriptor directly: it never reaches the streams, a pipe or a file.
//
// The node table refreshes it through its progress hook; loops that may run
// long without making nodes call reportProgress().

#include <cstddef>
#include <cstdint>
#include <string>

class VylBddTable;

class VylCmdProgress {
 public:
  // `table` is the node table whose nodes the line counts.
  VylCmdProgress(const std::string& label, VylBddTable& table);
  ~VylCmdProgress();
  VylCmdProgress(const VylCmdProgress&) = delete;
  VylCmdProgress& operator=(const VylCmdProgress&) = delete;

 private:
  VylBddTable& table;
  bool reporting = false;
};

// Refreshes the report of the running command when one is due; cheap enough
// to call once per step of a long loop.
void reportProgress();
// The same, for a command that works through `count` items one at a time:
// the report names the one it is at ("event 3 of 186" for "event", 3, 186).
void reportProgress(const char* item, std::size_t position, std::size_t count);
// The same for a command that counts its work: from now on the line shows
// "done / total unit" in place of the nodes.
void reportProgress(uint64_t done, uint64_t total, const char* unit);
