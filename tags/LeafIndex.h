// The leaf index: leaves by full path, exact bytes, first leaf of a path
// kept. A flat table probed in place whose slots hold each leaf's hash and
// node: with tens of thousands of tags, a node-per-entry map (and a growth
// that has to read the paths again) spends InitDevice on cache misses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

// `PathOf` gives a node's path as a view of the node's own text; the index
// keeps no copy, so it must not outlive its nodes.
template <class Node, class PathOf>
class LeafIndex {
public:
    // Adds the leaf under its path; false when the path is already there
    // (the first leaf keeps it).
    bool emplace(const Node* leaf)
    {
        if ((m_count + 1) * 4 > m_slots.size() * 3) Grow();
        const std::string_view path = PathOf{}(leaf);
        const size_t hash = std::hash<std::string_view>{}(path);
        size_t at = Home(hash);
        for (; m_slots[at].node; at = Next(at)) {
            if (Matches(m_slots[at], hash, path)) return false;
        }
        m_slots[at] = {hash, leaf};
        ++m_count;
        return true;
    }

    // The leaf of that exact path, or null.
    const Node* find(std::string_view path) const
    {
        if (m_slots.empty()) return nullptr;
        const size_t hash = std::hash<std::string_view>{}(path);
        for (size_t at = Home(hash); m_slots[at].node; at = Next(at)) {
            if (Matches(m_slots[at], hash, path)) return m_slots[at].node;
        }
        return nullptr;
    }

    // Starts loading the node find(path) will return, so that lookups made
    // ahead of their use overlap their cache misses instead of paying them
    // one at a time. Compares hashes only; a wrong guess costs nothing.
    void Prefetch(std::string_view path) const
    {
        if (m_slots.empty()) return;
        const size_t hash = std::hash<std::string_view>{}(path);
        for (size_t at = Home(hash); m_slots[at].node; at = Next(at)) {
            if (m_slots[at].hash != hash) continue;
            const char* node = reinterpret_cast<const char*>(m_slots[at].node);
            for (size_t line = 0; line < sizeof(Node); line += kCacheLine) __builtin_prefetch(node + line);
            return;
        }
    }

    size_t size() const { return m_count; }

private:
    static constexpr size_t kCacheLine = 64;
    struct Slot {
        size_t hash = 0;
        const Node* node = nullptr;
    };

    size_t Home(size_t hash) const { return hash & (m_slots.size() - 1); }
    size_t Next(size_t at) const { return (at + 1) & (m_slots.size() - 1); }
    bool Matches(const Slot& slot, size_t hash, std::string_view path) const { return slot.hash == hash && PathOf{}(slot.node) == path; }
    // Doubles the table (at most three quarters full) from the stored
    // hashes alone: no node is read again.
    void Grow()
    {
        std::vector<Slot> old(m_slots.empty() ? 16 : m_slots.size() * 2);
        old.swap(m_slots);
        for (const Slot& slot : old) {
            if (!slot.node) continue;
            size_t at = Home(slot.hash);
            while (m_slots[at].node) at = Next(at);
            m_slots[at] = slot;
        }
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};
