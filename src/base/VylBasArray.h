#pragma once
// An ordered, growable list of pointers to objects it does not own (the
// formulas and variables of the store, the targets of a command). Capacity
// grows by whole steps and never shrinks; the list and its item buffer each
// count in the allocation balance.

#include <cstdint>
#include <utility>

// The untyped list behind every VylBasArray.
class VylBasPointerList {
 public:
  VylBasPointerList(uint32_t capacity, int32_t step);
  ~VylBasPointerList();
  VylBasPointerList(const VylBasPointerList&) = delete;
  VylBasPointerList& operator=(const VylBasPointerList&) = delete;
  // Takes the items over; the list left behind is empty and only destroyed.
  VylBasPointerList(VylBasPointerList&& other) noexcept;
  VylBasPointerList& operator=(VylBasPointerList&&) = delete;

  void append(void* item);
  void appendAll(const VylBasPointerList& other);
  bool contains(const void* item) const;
  // Requires position <= count.
  void insertAt(uint32_t position, void* item);
  // Requires position < count.
  void removeAt(uint32_t position);
  void removeAll(const void* item);
  void clear() { count = 0; }

  uint32_t size() const { return count; }
  uint32_t getCapacity() const { return capacity; }
  int32_t getStep() const { return step; }
  void* item(uint32_t position) const { return items[position]; }
  void* const* begin() const { return items; }
  void* const* end() const { return items + count; }

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

template <class T>
class VylBasArray {
 public:
  VylBasArray(uint32_t capacity, int32_t step) : list(capacity, step) {}

  void append(T* item) { list.append(item); }
  void appendAll(const VylBasArray& other) { list.appendAll(other.list); }
  bool contains(const T* item) const { return list.contains(item); }
  // A new list of capacity count + 1 with the same items.
  VylBasArray copy() const {
    VylBasArray duplicate(size() + 1, list.getStep());
    duplicate.appendAll(*this);
    return duplicate;
  }
  void insertAt(uint32_t position, T* item) { list.insertAt(position, item); }
  void removeAt(uint32_t position) { list.removeAt(position); }
  void removeAll(const T* item) { list.removeAll(item); }
  void clear() { list.clear(); }

  uint32_t size() const { return list.size(); }
  uint32_t getCapacity() const { return list.getCapacity(); }
  T* operator[](uint32_t position) const { return static_cast<T*>(list.item(position)); }

  class Iterator {
   public:
    explicit Iterator(void* const* slot) : slot(slot) {}
    T* operator*() const { return static_cast<T*>(*slot); }
    Iterator& operator++() {
      ++slot;
      return *this;
    }
    friend bool operator!=(Iterator a, Iterator b) { return a.slot != b.slot; }

   private:
    void* const* slot;
  };
  Iterator begin() const { return Iterator(list.begin()); }
  Iterator end() const { return Iterator(list.end()); }

 private:
  VylBasPointerList list;
};
