// Finding any of many words in a text in one pass over its bytes: an NG file may list
// thousands of words, and every line of a thread is searched for all of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace horofu {

// The words' bytes as a tree of their starts, each start linked to its longest end that starts
// a word too, so that each byte of a text is looked at a bounded number of times on average,
// whatever the words.
class WordSearch {
  public:
    // Adds a word (not empty) of the kinds given (bits of the caller's choosing). Called
    // before Finish.
    void Add(std::string_view word, uint8_t kinds);
    // Builds the tree of the words added; called once all are.
    void Finish();
    // Whether text holds a word of one of kinds.
    bool Holds(std::string_view text, uint8_t kinds) const;
    bool Empty() const { return words_.empty() && nodes_.size() <= 1; }

  private:
    // Nodes are numbered breadth first, a node's children one after another: the node an edge
    // leads to is numbered one past the edge, so that an edge is only its byte. A node costs
    // 13 bytes, and an NG file of many words has about as many nodes as bytes.
    struct Node {
        uint32_t firstEdge = 0;  // its children's edges, in bytes_ sorted
        uint32_t fallback = 0;   // the longest end of this start that starts a word too
        uint16_t edgeCount = 0;
        uint8_t kinds = 0;  // of the words that end here, or at an end of it
    };
    static constexpr uint32_t kNone = static_cast<uint32_t>(-1);
    uint32_t Child(uint32_t node, unsigned char byte) const;

    std::vector<std::pair<std::string, uint8_t>> words_;  // until Finish
    std::vector<Node> nodes_{1};                          // nodes_[0] is the empty start
    std::vector<unsigned char> bytes_;                    // each edge's byte
};

}  // namespace horofu
