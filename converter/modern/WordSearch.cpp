// Many words searched for at once.
#include "converter/modern/WordSearch.h"

#include <algorithm>
#include <deque>

namespace horofu {

uint32_t WordSearch::Child(uint32_t node, unsigned char byte) const {
    const auto begin = bytes_.begin() + nodes_[node].firstEdge;
    const auto end = begin + nodes_[node].edgeCount;
    const auto it = std::lower_bound(begin, end, byte);
    return it != end && *it == byte ? static_cast<uint32_t>(it - bytes_.begin()) + 1 : kNone;
}

void WordSearch::Add(std::string_view word, uint8_t kinds) {
    words_.emplace_back(std::string(word), kinds);
}

void WordSearch::Finish() {
    if (words_.empty()) return;
    std::sort(words_.begin(), words_.end());
    // As many nodes as the words have starts: each word adds those past what it shares with
    // the one before it.
    std::size_t count = 1;
    for (std::size_t w = 0; w < words_.size(); ++w) {
        const std::string& word = words_[w].first;
        std::size_t shared = 0;
        if (w > 0) {
            const std::string& before = words_[w - 1].first;
            while (shared < word.size() && shared < before.size() &&
                   word[shared] == before[shared]) {
                ++shared;
            }
        }
        count += word.size() - shared;
    }
    nodes_.assign(1, Node{});
    nodes_.reserve(count);
    bytes_.clear();
    bytes_.reserve(count - 1);
    // Breadth first, each node standing for the sorted words [from, to) that start with its
    // bytes, depth of them: its children are runs of those words by their next byte, and a
    // node's fallback, being shorter, is linked before it. Only the nodes yet to be looked at
    // are queued (a line of them at most as long as the words are many).
    struct Pending {
        uint32_t node;
        std::size_t from, to, depth;
    };
    std::deque<Pending> queue{{0, 0, words_.size(), 0}};
    while (!queue.empty()) {
        const Pending at = queue.front();
        queue.pop_front();
        std::size_t w = at.from;
        for (; w < at.to && words_[w].first.size() == at.depth; ++w) {
            nodes_[at.node].kinds |= words_[w].second;
        }
        nodes_[at.node].firstEdge = static_cast<uint32_t>(bytes_.size());
        while (w < at.to) {
            const auto byte = static_cast<unsigned char>(words_[w].first[at.depth]);
            std::size_t end = w;
            while (end < at.to && static_cast<unsigned char>(words_[end].first[at.depth]) == byte) {
                ++end;
            }
            const auto child = static_cast<uint32_t>(nodes_.size());
            nodes_.emplace_back();
            bytes_.push_back(byte);
            queue.push_back({child, w, end, at.depth + 1});
            w = end;
        }
        nodes_[at.node].edgeCount =
            static_cast<uint16_t>(bytes_.size() - nodes_[at.node].firstEdge);
    }
    // Fallbacks, in the same breadth-first order (nodes are numbered in it).
    for (uint32_t node = 0; node < nodes_.size(); ++node) {
        const Node& parent = nodes_[node];
        for (uint32_t e = parent.firstEdge; e < parent.firstEdge + parent.edgeCount; ++e) {
            const uint32_t child = e + 1;
            uint32_t to = kNone;
            if (node != 0) {
                for (uint32_t fallback = parent.fallback;; fallback = nodes_[fallback].fallback) {
                    to = Child(fallback, bytes_[e]);
                    if (to != kNone || fallback == 0) break;
                }
            }
            nodes_[child].fallback = to == kNone ? 0 : to;
            nodes_[child].kinds |= nodes_[nodes_[child].fallback].kinds;
        }
    }
    words_ = {};
}

bool WordSearch::Holds(std::string_view text, uint8_t kinds) const {
    if (nodes_.size() <= 1) return false;
    uint32_t node = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        for (;;) {
            const uint32_t to = Child(node, byte);
            if (to != kNone) {
                node = to;
                break;
            }
            if (node == 0) break;
            node = nodes_[node].fallback;
        }
        if ((nodes_[node].kinds & kinds) != 0) return true;
    }
    return false;
}

}  // namespace horofu
