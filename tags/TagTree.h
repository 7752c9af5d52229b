// The tag tree: nodes holding tag records, children by name, and the
// lookup of a dotted path with array indices.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tags/LeafIndex.h"
#include "tags/TagVariable.h"

class ITree {
public:
    virtual const ILabel* DEV_ZOLT_getLabel() const = 0;
    virtual const ITree* DEV_ZOLT_getParent() const = 0;
    virtual unsigned DEV_ZOLT_getChildCount() const = 0;
    virtual const ITree* DEV_ZOLT_at(unsigned int index) const = 0;
    virtual const ITree* DEV_ZOLT_find(const std::string& path) const = 0;
    virtual ~ITree() = default;
};

template <class Label>
class tree : public ITree {
public:
    tree() = default;
    explicit tree(const Label& label) : m_label(label) {}
    explicit tree(Label&& label) : m_label(std::move(label)) {}
    // Releases the subtree without recursion, so that depth cannot exhaust
    // the stack.
    ~tree() override
    {
        std::vector<std::unique_ptr<tree>> doomed = std::move(m_children);
        while (!doomed.empty()) {
            std::unique_ptr<tree> node = std::move(doomed.back());
            doomed.pop_back();
            for (auto& child : node->m_children) doomed.push_back(std::move(child));
            node->m_children.clear();
        }
    }
    tree(const tree&) = delete;
    tree& operator=(const tree&) = delete;

    const ILabel* DEV_ZOLT_getLabel() const override { return &m_label; }
    const ITree* DEV_ZOLT_getParent() const override { return m_parent; }
    unsigned DEV_ZOLT_getChildCount() const override { return static_cast<unsigned>(m_children.size()); }
    const ITree* DEV_ZOLT_at(unsigned int index) const override { return index < m_children.size() ? m_children[index].get() : nullptr; }
    const ITree* DEV_ZOLT_find(const std::string& path) const override { return find(path); }

    // Attaches a child; its name is reachable only if no sibling has it yet.
    tree* Adopt(std::unique_ptr<tree> child)
    {
        child->m_parent = this;
        tree* raw = child.get();
        if (!m_byName) m_byName = std::make_unique<std::unordered_map<std::string, tree*>>();
        m_byName->emplace(raw->m_label.getVarKey(), raw);
        m_children.push_back(std::move(child));
        return raw;
    }

    const tree* find(const std::string& path) const;
    const Label& label() const { return m_label; }
    const std::vector<std::unique_ptr<tree>>& children() const { return m_children; }

private:
    const tree* Child(const std::string& name) const
    {
        if (!m_byName) return nullptr;
        auto it = m_byName->find(name);
        return it == m_byName->end() ? nullptr : it->second;
    }

    tree* m_parent = nullptr;
    Label m_label;
    // Made by the first child: leaves, most of a tree, carry no empty map.
    std::unique_ptr<std::unordered_map<std::string, tree*>> m_byName;
    std::vector<std::unique_ptr<tree>> m_children;
};

template <class Label>
const tree<Label>* tree<Label>::find(const std::string& path) const
{
    if (path.empty()) return nullptr;
    size_t start = 0;
    for (;;) {
        const size_t dot = path.find('.', start);
        const std::string candidate = path.substr(0, dot);
        if (candidate.empty() || candidate.back() != ']') {
            if (const tree* child = Child(candidate)) {
                if (dot == std::string::npos) return child;
                if (const tree* found = child->find(path.substr(dot + 1))) return found;
            }
        } else {
            const size_t bracket = candidate.find('[');
            if (bracket != std::string::npos && bracket > 0) {
                if (const tree* child = Child(candidate.substr(0, bracket))) {
                    if (const tree* found = child->find(path.substr(bracket))) return found;
                }
            } else if (bracket == 0) {
                if (const tree* child = Child(candidate)) {
                    if (dot == std::string::npos) return child;
                    if (const tree* found = child->find(path.substr(dot + 1))) return found;
                }
            }
        }
        if (dot == std::string::npos) return nullptr;
        start = dot + 1;
    }
}

namespace KVSG {
using TagTree = tree<KVSGVariable>;
struct FullPathOf {
    std::string_view operator()(const TagTree* node) const { return node->label().m_fullPath; }
};
// Leaves by full path; the index views the nodes' own path texts, so it
// lives no longer than its tree.
using TagIndex = LeafIndex<TagTree, FullPathOf>;
inline void IndexLeaf(TagIndex& index, const TagTree* leaf) { index.emplace(leaf); }
} // namespace KVSG
