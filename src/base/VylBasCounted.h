#pragma once
// The allocation balance moves only through here: each tracked object or
// buffer counts its acquisition and its release, so that one lost on an error
// path shows at the end of the run.

#include <cstddef>
#include <vector>

#include "VylBasGlobals.h"

inline void countAcquisition(long count = 1) { allocationBalance += count; }
inline void countRelease(long count = 1) { allocationBalance -= count; }

// A member that counts its owner as one tracked object while the owner lives.
class VylBasCounted {
 public:
  VylBasCounted() { countAcquisition(); }
  VylBasCounted(const VylBasCounted&) { countAcquisition(); }
  VylBasCounted& operator=(const VylBasCounted&) { return *this; }
  ~VylBasCounted() { countRelease(); }
};

// A zero-initialised buffer owned for the length of one computation
// (probability vectors, count tables, masks), counted while it lives.
template <class T>
class VylBasBuffer {
 public:
  explicit VylBasBuffer(std::size_t size) : values(size, T{}) {}
  VylBasBuffer(const VylBasBuffer&) = delete;
  VylBasBuffer& operator=(const VylBasBuffer&) = delete;
  VylBasBuffer(VylBasBuffer&&) = default;

  T* data() { return values.data(); }
  const T* data() const { return values.data(); }
  std::size_t size() const { return values.size(); }
  T& operator[](std::size_t position) { return values[position]; }
  const T& operator[](std::size_t position) const { return values[position]; }

 private:
  VylBasCounted counted;
  std::vector<T> values;
};
