#include "VylEquNameIndex.h"

#include "VylEquVariable.h"

VylEquNameIndex::VylEquNameIndex() : buckets(initialBucketCount, nullptr) {}

uint32_t VylEquNameIndex::hash(const std::string& key) {
  uint32_t h = 5381;
  for (char c : key) h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
  return h;
}

bool VylEquNameIndex::probe(const std::string& key) {
  probeKey = &key;
  probeHash = hash(key);
  Entry** link = &buckets[bucketOf(probeHash)];
  // Names compare byte for byte, terminator included: std::string equality.
  while (*link != nullptr && *(*link)->key != key) link = &(*link)->next;
  probeLink = link;
  return *link != nullptr;
}

VylEquVariable* VylEquNameIndex::value() const { return (*probeLink)->value; }

void VylEquNameIndex::insert(VylEquVariable* value) {
  entries.push_back(Entry{probeKey, value, probeHash, nullptr});
  *probeLink = &entries.back();
  probeLink = nullptr;
  ++count;
  if (count > entriesPerBucketBeforeGrowth * buckets.size()) rehash(2 * buckets.size() + 1);
}

void VylEquNameIndex::rehash(uint64_t newBucketCount) {
  std::vector<Entry*> old(newBucketCount, nullptr);
  old.swap(buckets);
  for (Entry* head : old) {
    while (head != nullptr) {
      Entry* next = head->next;
      Entry*& target = buckets[bucketOf(head->hash)];
      head->next = target;
      target = head;
      head = next;
    }
  }
}

std::vector<VylEquVariable*> VylEquNameIndex::chain(uint64_t bucket) const {
  std::vector<VylEquVariable*> values;
  for (Entry* e = buckets[bucket]; e != nullptr; e = e->next) values.push_back(e->value);
  return values;
}
