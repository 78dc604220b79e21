#include "processing/NumberTable.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace parlune {

NumberTable::NumberTable(std::size_t expected) {
    allocate(2 * expected);
}

void NumberTable::allocate(std::size_t capacity) {
    capacity = std::bit_ceil(std::max<std::size_t>(capacity, 16));
    slots.assign(capacity, Slot{0, 0});
    shift = 32 - static_cast<unsigned>(std::countr_zero(capacity));
}

bool NumberTable::Add(std::int32_t number, std::uint32_t value) {
    Slot* slot = &slots[slotOf(number)];
    if (slot->value != 0)
        return false;
    if (2 * (count + 1) > slots.size()) {
        std::vector<Slot> old = std::exchange(slots, {});
        allocate(2 * old.size());
        for (const Slot& moved : old)
            if (moved.value != 0)
                slots[slotOf(moved.number)] = moved;
        slot = &slots[slotOf(number)];
    }
    *slot = {number, value};
    ++count;
    return true;
}

std::size_t NumberTable::slotOf(std::int32_t number) const {
    std::size_t slot = homeSlot(number);
    while (slots[slot].value != 0 && slots[slot].number != number)
        slot = (slot + 1) & (slots.size() - 1);
    return slot;
}

} // namespace parlune
