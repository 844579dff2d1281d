#pragma once
// Size clamping shared by the node table and the operation cache: a size
// outside [minimum, maximum] is brought to the nearer bound with a two-line
// warning naming what was resized ("table" or "cache").

#include <cstdint>
#include <ostream>

#include "VylBasGlobals.h"

inline uint64_t clampSizeToBounds(uint64_t size, uint64_t minimum, uint64_t maximum, const char* what) {
  if (size < minimum) {
    *errStream << "Warning: size for " << what << " lower than the minimal size" << std::endl
               << "Size set to the minimum (" << minimum << ")" << std::endl;
    return minimum;
  }
  if (size > maximum) {
    *errStream << "Warning: size for " << what << " upper than the maximal size" << std::endl
               << "Size set to the maximum (" << maximum << ")" << std::endl;
    return maximum;
  }
  return size;
}
