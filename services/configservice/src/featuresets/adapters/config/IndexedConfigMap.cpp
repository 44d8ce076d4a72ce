#include "IndexedConfigMap.h"

#include "ConfigKeyEquals.h"

namespace ZVFUnified {

namespace {

// Kept at most half full, so that probes stay short.
std::size_t capacityFor(std::size_t entries) {
    std::size_t capacity = 16;
    while (capacity < entries * 2) {
        capacity *= 2;
    }
    return capacity;
}

}  // namespace

IndexedConfigMap& IndexedConfigMap::operator=(const IndexedConfigMap& other) {
    if (this != &other) {
        map = other.map;
        rebuildIndex();
    }
    return *this;
}

IndexedConfigMap& IndexedConfigMap::operator=(ConfigMap other) {
    map.swap(other);
    rebuildIndex();
    return *this;
}

std::size_t IndexedConfigMap::probe(const std::wstring& key, std::size_t hash) const {
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

IndexedConfigMap::const_iterator IndexedConfigMap::find(const std::wstring& key, std::size_t hash) const {
    if (slots.empty()) {
        return map.end();
    }
    const Slot& slot = slots[probe(key, hash)];
    return slot.occupied ? const_iterator(slot.entry) : map.end();
}

void IndexedConfigMap::indexEntry(ConfigMap::iterator entry, std::size_t hash) {
    std::size_t index = hash & mask;
    while (slots[index].occupied) {
        index = (index + 1) & mask;
    }
    slots[index].hash = hash;
    slots[index].entry = entry;
    slots[index].occupied = true;
}

void IndexedConfigMap::rebuildIndex() { reindex(capacityFor(map.size())); }

void IndexedConfigMap::reindex(std::size_t capacity) {
    slots.assign(capacity, Slot());
    mask = capacity - 1;
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        indexEntry(entry, ConfigKeyHash::hashOf(entry->first.data(), entry->first.size()));
    }
}

void IndexedConfigMap::growIfNeeded() {
    if ((map.size() + 1) * 2 > slots.size()) {
        reindex(capacityFor(map.size() + 1));
    }
}

void IndexedConfigMap::assign(const std::wstring& key, const std::wstring& value) {
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    if (!slots.empty()) {
        Slot& slot = slots[probe(key, hash)];
        if (slot.occupied) {
            slot.entry->second = value;
            return;
        }
    }
    growIfNeeded();
    indexEntry(map.emplace(key, value).first, hash);
}

bool IndexedConfigMap::insert(const std::wstring& key, const std::wstring& value) {
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    if (!slots.empty() && slots[probe(key, hash)].occupied) {
        return false;
    }
    growIfNeeded();
    indexEntry(map.emplace(key, value).first, hash);
    return true;
}

bool IndexedConfigMap::erase(const std::wstring& key) {
    if (slots.empty()) {
        return false;
    }
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    std::size_t hole = probe(key, hash);
    if (!slots[hole].occupied) {
        return false;
    }
    map.erase(slots[hole].entry);
    slots[hole].occupied = false;
    // Backward-shift deletion: pull later members of the probe run into the
    // hole, so that no lookup stops early at it.
    std::size_t next = (hole + 1) & mask;
    while (slots[next].occupied) {
        const std::size_t home = slots[next].hash & mask;
        // Move the entry when its home lies cyclically outside (hole, next].
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

void IndexedConfigMap::clear() {
    map.clear();
    slots.clear();
    mask = 0;
}

}  // namespace ZVFUnified
