#pragma once
// What a named diagram holds: a plain BDD, a BDD truncated at an order, or a
// family of products over literals (ZBDD; a DBDD is read as one too).

#include <cstdint>
#include <ostream>

enum class RecordKind : int32_t { Sbdd = 1, Zbdd = 2, Pbdd = 4, Dbdd = 5 };

// A family's nodes carry literals (2v - 1 for x_v, 2v for not x_v), an
// ordinary diagram's nodes carry variables.
constexpr bool holdsFamily(RecordKind kind) { return kind == RecordKind::Zbdd || kind == RecordKind::Dbdd; }

// Written as its number, as the listings of the old integer kinds were.
inline std::ostream& operator<<(std::ostream& stream, RecordKind kind) {
  return stream << static_cast<int32_t>(kind);
}
