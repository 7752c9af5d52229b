// The leaf index: leaves by full path, exact bytes, first leaf of a path
// kept. A flat table probed in place, each leaf's hash kept beside it: with
// tens of thousands of tags, a node-per-entry map (and any growth that has
// to read the paths again) spends InitDevice on cache misses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

template <class Node>
class LeafIndex {
public:
    // Adds the leaf under the path it carries; false when the path is
    // already there (the first leaf keeps it). `path` must live as long as
    // the index: it views the node's own text.
    bool emplace(std::string_view path, const Node* leaf)
    {
        if ((m_leaves.size() + 1) * 4 > m_slots.size() * 3) Rehash(m_slots.empty() ? 16 : m_slots.size() * 2);
        const uint64_t hash = std::hash<std::string_view>{}(path);
        size_t at = Home(hash);
        for (; m_slots[at].leaf != kEmpty; at = (at + 1) & (m_slots.size() - 1)) {
            if (Matches(m_slots[at], hash, path)) return false;
        }
        // The leaf first: a slot never names a leaf that failed to arrive.
        m_leaves.push_back({path, leaf, hash});
        m_slots[at] = {static_cast<uint32_t>(hash), static_cast<uint32_t>(m_leaves.size() - 1)};
        return true;
    }

    // The leaf of that exact path, or null.
    const Node* find(std::string_view path) const
    {
        if (m_slots.empty()) return nullptr;
        const uint64_t hash = std::hash<std::string_view>{}(path);
        for (size_t at = Home(hash); m_slots[at].leaf != kEmpty; at = (at + 1) & (m_slots.size() - 1)) {
            if (Matches(m_slots[at], hash, path)) return m_leaves[m_slots[at].leaf].node;
        }
        return nullptr;
    }

    // Starts loading the node find(path) will return, so that a run of
    // lookups made ahead of their use overlaps its cache misses instead of
    // paying them one at a time. Reads only the table; any answer is fine.
    void Prefetch(std::string_view path) const
    {
        if (m_slots.empty()) return;
        const uint64_t hash = std::hash<std::string_view>{}(path);
        for (size_t at = Home(hash); m_slots[at].leaf != kEmpty; at = (at + 1) & (m_slots.size() - 1)) {
            if (m_slots[at].hash != static_cast<uint32_t>(hash)) continue;
            const Leaf& leaf = m_leaves[m_slots[at].leaf];
            __builtin_prefetch(leaf.path.data());
            const char* node = reinterpret_cast<const char*>(leaf.node);
            for (size_t line = 0; line < sizeof(Node); line += kCacheLine) __builtin_prefetch(node + line);
            return;
        }
    }

    size_t size() const { return m_leaves.size(); }

private:
    static constexpr uint32_t kEmpty = UINT32_MAX;
    static constexpr size_t kCacheLine = 64;
    // Eight bytes a slot: a table for 40 000 leaves fits the second-level cache.
    struct Slot {
        uint32_t hash = 0;
        uint32_t leaf = kEmpty;
    };
    struct Leaf {
        std::string_view path;
        const Node* node;
        uint64_t hash;
    };

    size_t Home(uint64_t hash) const { return static_cast<size_t>(hash) & (m_slots.size() - 1); }
    bool Matches(const Slot& slot, uint64_t hash, std::string_view path) const
    {
        return slot.hash == static_cast<uint32_t>(hash) && m_leaves[slot.leaf].path == path;
    }
    void Rehash(size_t slots)
    {
        m_slots.assign(slots, Slot{});
        for (size_t i = 0; i < m_leaves.size(); ++i) {
            size_t at = Home(m_leaves[i].hash);
            while (m_slots[at].leaf != kEmpty) at = (at + 1) & (m_slots.size() - 1);
            m_slots[at] = {static_cast<uint32_t>(m_leaves[i].hash), static_cast<uint32_t>(i)};
        }
    }

    std::vector<Slot> m_slots;
    std::vector<Leaf> m_leaves;
};
