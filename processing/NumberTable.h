#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace parlune {

// A hash table from string numbers to nonzero 32-bit values, flat in one array: open
// addressing with linear probing, kept at most half full, doubled when it would fill up.
class NumberTable {
public:
    // Room for this many numbers before the first doubling.
    explicit NumberTable(std::size_t expected = 0);

    // The value of number, or 0 when it has none.
    std::uint32_t Get(std::int32_t number) const { return slots[slotOf(number)].value; }
    // Starts loading the slot where a Get of number begins.
    void Prefetch(std::int32_t number) const { __builtin_prefetch(&slots[homeSlot(number)]); }
    // Gives number the value unless it has one; returns whether it did.
    bool Add(std::int32_t number, std::uint32_t value);
    std::size_t Size() const { return count; }

private:
    struct Slot {
        std::int32_t number;
        std::uint32_t value; // 0 for an empty slot
    };

    void allocate(std::size_t capacity);
    std::size_t homeSlot(std::int32_t number) const {
        // Multiplicative hashing spreads runs of consecutive numbers, the usual table, evenly.
        return (static_cast<std::uint32_t>(number) * 2654435769u) >> shift;
    }
    std::size_t slotOf(std::int32_t number) const;

    std::vector<Slot> slots;
    unsigned shift = 0;
    std::size_t count = 0;
};

} // namespace parlune
