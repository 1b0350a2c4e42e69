// The process-wide atom table: open addressing over entry pointers, plus an index by atom number.
#include "font/atom.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

#include "font/alloc.h"

namespace {
AtomTable table;

bool matches(const AtomEntry* entry, std::int32_t hash, const char* text, std::int32_t length) {
    // length 0 may come with a null text, which memcmp must not see.
    return entry->hash == hash && entry->length == length &&
           (length == 0 || std::memcmp(entry->text, text, static_cast<std::size_t>(length)) == 0);
}

// The floor remainder, then odd: atomHash leaves -2^31 negative, and a negative step would walk
// before the table.
std::int32_t probeStep(std::int32_t hash, std::int32_t stepModulus) {
    return ((hash % stepModulus + stepModulus) % stepModulus) | 1;
}

std::int32_t nextSlot(std::int32_t i, std::int32_t step, std::int32_t capacity) {
    i += step;
    if (i >= capacity) i -= capacity;
    return i;
}

// Finds the slot holding the string, or the empty slot where it would go; -1 when the table is
// full and the string is absent (possible only after growing failed again and again).
std::int32_t findSlot(std::int32_t hash, const char* text, std::int32_t length, bool* found) {
    *found = false;
    std::int32_t i = hash & table.mask;
    std::int32_t step = probeStep(hash, table.stepModulus);
    for (std::int32_t probes = 0; probes < table.capacity; ++probes) {
        AtomEntry* entry = table.slots[i];
        if (!entry) return i;
        if (matches(entry, hash, text, length)) {
            *found = true;
            return i;
        }
        i = nextSlot(i, step, table.capacity);
    }
    return -1;
}

[[nodiscard]] bool growSlots() {
    std::int32_t newCapacity = table.capacity == 0 ? 1024 : 2 * table.capacity;
    auto** slots = static_cast<AtomEntry**>(allocate(sizeof(AtomEntry*) * static_cast<std::size_t>(newCapacity)));
    if (!slots) return false;
    std::memset(slots, 0, sizeof(AtomEntry*) * static_cast<std::size_t>(newCapacity));
    std::int32_t newMask = newCapacity - 1;
    std::int32_t newModulus = newCapacity - 3;
    for (std::int32_t k = 0; k < table.capacity; ++k) {
        AtomEntry* entry = table.slots[k];
        if (!entry) continue;
        std::int32_t i = entry->hash & newMask;
        std::int32_t step = probeStep(entry->hash, newModulus);
        while (slots[i]) i = nextSlot(i, step, newCapacity);
        slots[i] = entry;
    }
    release(table.slots);
    table.slots = slots;
    table.capacity = newCapacity;
    table.mask = newMask;
    table.stepModulus = newModulus;
    return true;
}

// Makes room for `atom`. Doubling once is not always enough: after growth failed for a run of
// atoms, the next atom may lie beyond twice the old capacity.
[[nodiscard]] bool growByAtom(Atom atom) {
    std::uint64_t newCapacity = table.byAtomCapacity == 0 ? 1000 : 2 * std::uint64_t{table.byAtomCapacity};
    while (newCapacity <= atom) newCapacity *= 2;
    if (newCapacity > std::numeric_limits<std::uint32_t>::max()) return false;
    void* grown = resize(table.byAtom, sizeof(AtomEntry*) * static_cast<std::size_t>(newCapacity));
    if (!grown) return false;
    table.byAtom = static_cast<AtomEntry**>(grown);
    // Cleared, so that an atom whose entry could not be stored after an earlier failed growth
    // reads as missing rather than as whatever the block held.
    std::memset(table.byAtom + table.byAtomCapacity, 0,
                sizeof(AtomEntry*) * static_cast<std::size_t>(newCapacity - table.byAtomCapacity));
    table.byAtomCapacity = static_cast<std::uint32_t>(newCapacity);
    return true;
}
}  // namespace

std::int32_t atomHash(const char* text, std::int32_t length) {
    std::uint32_t h = 0;
    for (std::int32_t k = 0; k < length; ++k) {
        // Bytes enter as signed 8-bit values, so 0x80..0xFF are sign-extended.
        auto b = static_cast<std::int32_t>(static_cast<signed char>(text[k]));
        h = (h << 3) ^ static_cast<std::uint32_t>(b);
    }
    auto signedHash = static_cast<std::int32_t>(h);
    // The absolute value, except that -2^31 has none and stays as it is.
    if (signedHash < 0 && h != 0x80000000u) signedHash = -signedHash;
    return signedHash;
}

Atom internAtom(const char* text, std::int32_t length, int makeIfAbsent) {
    if (length < 0) return 0;
    std::int32_t hash = atomHash(text, length);
    std::int32_t slot = -1;
    if (table.slots) {
        bool found;
        slot = findSlot(hash, text, length, &found);
        if (found) return table.slots[slot]->atom;
    }
    if (!makeIfAbsent) return 0;

    auto* entry = static_cast<AtomEntry*>(allocate(sizeof(AtomEntry) + static_cast<std::size_t>(length) + 1));
    if (!entry) return 0;
    char* bytes = reinterpret_cast<char*>(entry + 1);
    if (length > 0) std::memcpy(bytes, text, static_cast<std::size_t>(length));
    bytes[length] = '\0';

    if (table.entryCount >= table.capacity / 2) {
        if (growSlots()) {
            bool found;
            slot = findSlot(hash, text, length, &found);
        }
    }
    // No slot at all: the first table could not be made, or a full table could not grow.
    if (slot < 0) {
        release(entry);
        return 0;
    }
    entry->text = bytes;
    entry->length = length;
    entry->hash = hash;
    entry->atom = ++table.lastAtom;
    table.slots[slot] = entry;
    ++table.entryCount;
    if (entry->atom < table.byAtomCapacity || growByAtom(entry->atom)) table.byAtom[entry->atom] = entry;
    return entry->atom;
}

const char* atomName(Atom atom) {
    // An atom whose index entry could not be stored lies at or past byAtomCapacity.
    if (atom == 0 || atom > table.lastAtom || atom >= table.byAtomCapacity) return nullptr;
    const AtomEntry* entry = table.byAtom[atom];
    return entry ? entry->text : nullptr;
}

const AtomTable& atomTable() { return table; }

void resetAtomTableForTesting() { clearAtomTable(); }

void clearAtomTable() {
    for (std::int32_t k = 0; k < table.capacity; ++k) release(table.slots[k]);
    release(table.slots);
    release(table.byAtom);
    table = AtomTable{};
}
