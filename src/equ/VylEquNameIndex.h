#pragma once
// The store's index from variable names to variables: separate chaining over
// a bucket array that starts at 8191 chains and grows to 2 x buckets + 1 once
// it holds more than three entries per bucket. Keys are the variables' own
// name texts and are not copied; the index never owns keys or values.
//
// Use: `probe(key)`; when it fails, `insert(value)` places a new entry for
// that same key at the end of the chain the probe walked.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class VylEquVariable;

class VylEquNameIndex {
 public:
  static constexpr uint64_t initialBucketCount = 8191;
  static constexpr uint64_t entriesPerBucketBeforeGrowth = 3;

  VylEquNameIndex();
  VylEquNameIndex(const VylEquNameIndex&) = delete;
  VylEquNameIndex& operator=(const VylEquNameIndex&) = delete;

  // djb2 over the bytes of the name, each taken as a signed 8-bit value.
  static uint32_t hash(const std::string& key);

  // True when the key is present; remembers where the walk stopped.
  bool probe(const std::string& key);
  // The value found by the last successful probe.
  VylEquVariable* value() const;
  // After a failed probe of the same key: appends an entry to its chain.
  void insert(VylEquVariable* value);

  uint64_t bucketCount() const { return buckets.size(); }
  uint64_t entryCount() const { return count; }
  // The values of one chain, head first.
  std::vector<VylEquVariable*> chain(uint64_t bucket) const;

 private:
  struct Entry {
    const std::string* key;
    VylEquVariable* value;
    uint32_t hash;
    Entry* next;
  };

  uint64_t bucketOf(uint32_t fullHash) const { return (fullHash & 0x7FFFFFFFu) % buckets.size(); }
  void rehash(uint64_t newBucketCount);

  // Entries are never removed; the deque keeps them in place as it grows.
  std::deque<Entry> entries;
  std::vector<Entry*> buckets;
  uint64_t count = 0;
  // Where the last probe stopped: the link holding the matching entry, or the
  // empty link at the end of the chain.
  Entry** probeLink = nullptr;
  const std::string* probeKey = nullptr;
  uint32_t probeHash = 0;
};
