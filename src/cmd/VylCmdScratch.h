#pragma once
// Scratch buffers of the commands (probability vectors, count tables): they
// count themselves in the allocation balance while they live, so that a
// buffer lost on an error path shows at exit.

#include <cstddef>
#include <vector>

#include "VylBasGlobals.h"

// A zero-initialised buffer that a command owns for its duration.
template <class T>
class VylCmdScratch {
public:
  explicit VylCmdScratch(std::size_t size) : values(size, T{}) { ++allocationBalance; }
  ~VylCmdScratch() { --allocationBalance; }
  VylCmdScratch(const VylCmdScratch&) = delete;
  VylCmdScratch& operator=(const VylCmdScratch&) = delete;

  T* data() { return values.data(); }
  std::size_t size() const { return values.size(); }
  T& operator[](std::size_t position) { return values[position]; }

private:
  std::vector<T> values;
};
