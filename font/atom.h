// Process-wide table of interned strings. Atoms are numbered 1, 2, 3, ... in creation order;
// 0 means none. Entries live until the process ends.
#pragma once

#include <cstdint>

using Atom = std::uint32_t;

struct AtomEntry {
    const char* text;  // points just past the record, inside the same block
    std::int32_t length;
    std::int32_t hash;
    Atom atom;
};

struct AtomTable {
    AtomEntry** slots = nullptr;
    std::int32_t capacity = 0;
    std::int32_t mask = 0;
    std::int32_t stepModulus = 0;
    std::int32_t entryCount = 0;
    Atom lastAtom = 0;
    AtomEntry** byAtom = nullptr;
    std::uint32_t byAtomCapacity = 0;
};

[[nodiscard]] std::int32_t atomHash(const char* text, std::int32_t length);
// The atom of `length` bytes at `text` (need not be NUL-terminated). With makeIfAbsent 0 an unknown
// string gives 0 and nothing is allocated. 0 also when the entry cannot be allocated.
[[nodiscard]] Atom internAtom(const char* text, std::int32_t length, int makeIfAbsent);
// NUL-terminated text of an atom, or null for 0, for atoms past the last, or for an atom whose
// index entry could not be stored.
[[nodiscard]] const char* atomName(Atom atom);

// The table itself, for tests that check its growth.
const AtomTable& atomTable();
// Forgets every atom (entries are freed): a run that converts several fonts starts each from an
// empty table, so each font's atoms are numbered as in a run of its own. No atom of the old table
// may be used afterwards.
void clearAtomTable();
// Tests only: the same, so a test starts from an empty table.
void resetAtomTableForTesting();
