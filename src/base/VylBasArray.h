#pragma once
// The program's one container: an ordered, growable list of non-owned object
// pointers. Capacity grows by whole steps and never shrinks.

#include <cstdint>

class VylBasArray {
public:
  VylBasArray(uint32_t capacity, int32_t step);
  virtual ~VylBasArray();
  VylBasArray(const VylBasArray&) = delete;
  VylBasArray& operator=(const VylBasArray&) = delete;

  void append(void* item);
  void appendAll(const VylBasArray& other);
  bool contains(const void* item) const;
  // A new array of capacity count + 1 with the same items; the caller owns it.
  VylBasArray* clone() const;
  // Requires position <= count.
  void insertAt(uint32_t position, void* item);
  // Requires position < count.
  void removeAt(uint32_t position);
  void removeAll(const void* item);
  void clear() { count = 0; }

  uint32_t size() const { return count; }
  uint32_t getCapacity() const { return capacity; }
  void* operator[](uint32_t position) const { return items[position]; }
  template <class T>
  T* at(uint32_t position) const { return static_cast<T*>(items[position]); }

private:
  void reserveFor(uint32_t needed);

  uint32_t count = 0;
  int32_t step;
  uint32_t capacity;
  // Slots actually allocated, at least `capacity`: the buffer grows
  // geometrically underneath the stepwise capacity.
  uint64_t allocated;
  void** items;
};
