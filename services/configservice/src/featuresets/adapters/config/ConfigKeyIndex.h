#ifndef CONFIG_CONFIGKEYINDEX_H
#define CONFIG_CONFIGKEYINDEX_H

#include <cstddef>
#include <string>
#include <vector>

#include "ConfigKeyEquals.h"
#include "ConfigKeyHash.h"

namespace ZVFUnified {

// A hash index over the entries of an ordered map keyed by configuration
// key (compared ignoring case): one flat array of (hash, iterator) slots,
// open addressing with linear probing, kept at most half full. A lookup
// costs one hash and usually one slot and one key comparison, and touches
// no node but the entry's own. The map's nodes never move, so the index
// holds their iterators; the owner keeps the two in step (insert after
// inserting into the map, erase before erasing from it). Not thread-safe.
template <class Iterator>
class ConfigKeyIndex {
public:
    // The entry of key, or end.
    Iterator find(const std::wstring& key, std::size_t hash, Iterator end) const {
        if (slots.empty()) {
            return end;
        }
        const Slot& slot = slots[probe(key, hash)];
        return slot.occupied ? slot.entry : end;
    }

    // Indexes a new entry of the map (its key is not indexed yet).
    void insert(Iterator entry, std::size_t hash, std::size_t entriesAfter) {
        if (slots.empty() || entriesAfter * 2 > slots.size()) {
            grow(entriesAfter);
        }
        place(entry, hash);
    }

    // Forgets the entry of key; false when it was not indexed.
    bool erase(const std::wstring& key, std::size_t hash) {
        if (slots.empty()) {
            return false;
        }
        std::size_t hole = probe(key, hash);
        if (!slots[hole].occupied) {
            return false;
        }
        slots[hole].occupied = false;
        // Backward-shift deletion: later members of the probe run move into
        // the hole, so that no lookup stops early at it.
        std::size_t next = (hole + 1) & mask;
        while (slots[next].occupied) {
            const std::size_t home = slots[next].hash & mask;
            const bool between = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
            if (!between) {
                slots[hole] = slots[next];
                slots[next].occupied = false;
                hole = next;
            }
            next = (next + 1) & mask;
        }
        return true;
    }

    // Indexes every entry of [begin, end), dropping what was indexed.
    void rebuild(Iterator begin, Iterator end, std::size_t entries) {
        slots.assign(capacityFor(entries), Slot());
        mask = slots.size() - 1;
        for (Iterator entry = begin; entry != end; ++entry) {
            place(entry, ConfigKeyHash::hashOf(entry->first.data(), entry->first.size()));
        }
    }

    void clear() {
        slots.clear();
        mask = 0;
    }

private:
    struct Slot {
        std::size_t hash = 0;
        Iterator entry{};
        bool occupied = false;
    };

    static std::size_t capacityFor(std::size_t entries) {
        std::size_t capacity = 16;
        while (capacity < entries * 2) {
            capacity *= 2;
        }
        return capacity;
    }

    // The slot of an equal key, or the empty slot where its probe ends.
    std::size_t probe(const std::wstring& key, std::size_t hash) const {
        const ConfigKeyEquals equals;
        std::size_t index = hash & mask;
        while (slots[index].occupied) {
            const Slot& slot = slots[index];
            if (slot.hash == hash && equals(slot.entry->first, key)) {
                break;
            }
            index = (index + 1) & mask;
        }
        return index;
    }

    void place(Iterator entry, std::size_t hash) {
        std::size_t index = hash & mask;
        while (slots[index].occupied) {
            index = (index + 1) & mask;
        }
        slots[index].hash = hash;
        slots[index].entry = entry;
        slots[index].occupied = true;
    }

    void grow(std::size_t entries) {
        std::vector<Slot> old;
        old.swap(slots);
        slots.assign(capacityFor(entries), Slot());
        mask = slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.occupied) {
                place(slot.entry, slot.hash);
            }
        }
    }

    std::vector<Slot> slots;
    std::size_t mask = 0;
};

}  // namespace ZVFUnified

#endif
