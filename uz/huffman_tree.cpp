#include "uz/huffman_tree.h"

#include <algorithm>

namespace varnox::uz {

namespace {
constexpr int kSymbols = 256;
}

// The game's tree rule. The list starts as the 256 leaves in byte-value order (not sorted
// by count); trailing zero-count leaves are dropped; then the last two entries are joined
// (the last becomes child 0) and the new node goes before the first entry with a strictly
// smaller count. The list is never re-sorted, so zero-count leaves below the highest used
// byte stay in the tree and the shape differs from a textbook Huffman tree.
CodeTree buildTree(const ByteCounts& counts) {
    struct Entry {
        std::uint64_t count;
        int node;
    };
    CodeTree tree;
    tree.nodes.reserve(2 * kSymbols);
    std::vector<Entry> list;
    list.reserve(kSymbols);
    for (int s = 0; s < kSymbols; ++s) {
        tree.nodes.push_back({-1, -1, s});
        list.push_back({counts[s], s});
    }
    while (list.size() > 1 && list.back().count == 0) {
        list.pop_back();
    }
    while (list.size() > 1) {
        const Entry zero = list.back();
        list.pop_back();
        const Entry one = list.back();
        list.pop_back();
        const int node = static_cast<int>(tree.nodes.size());
        tree.nodes.push_back({zero.node, one.node, -1});
        const Entry joined{zero.count + one.count, node};
        auto at = std::find_if(list.begin(), list.end(),
                               [&](const Entry& e) { return e.count < joined.count; });
        list.insert(at, joined);
    }
    tree.root = list.front().node;
    return tree;
}

}  // namespace varnox::uz
