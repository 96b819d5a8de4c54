// What the modern page learns of a thread in its first reading: the posts' numbers, who
// replies to whom, and how many posts each ID wrote. Its size follows the number of posts and
// replies, not the length of the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace horofu {

class ThreadIndex {
  public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // First reading, in the thread's order. AddPost returns true when an earlier post already
    // replied to this one (its preview is wanted before the second reading reaches it).
    bool AddPost(uint32_t number, std::string_view idKey);
    // A reply from the latest post (none before the first post) to target. A post's replies
    // to one target are kept once, so that a post repeating a link costs nothing more.
    void AddReply(uint32_t target);
    // The posts between the ends of a range (">>10-20" names 11 to 19) from the latest post,
    // as replies while a range names at most 100 and the posts all ranges named stay within
    // a 32nd of the text's bytes read so far (and 65,536): a thread of wide ranges cannot grow
    // back-links and memory out of proportion to its size.
    void AddRange(uint32_t from, uint32_t to);
    // Counts a body line read, for the bound on ranges. Called by the first reading for each.
    void AddText(std::size_t lineBytes) { textBytes_ += lineBytes; }
    // Marks the latest post as filtered out (NG): it counts for no ID and replies to it or
    // from it make no back-link.
    void FilterLatest() { filtered_[numbers_.size() - 1] = true; }
    bool Filtered(std::size_t post) const { return post < filtered_.size() && filtered_[post]; }
    // Ends the first reading: keeps the replies to posts in the thread, once each. With chain,
    // a post that replies to a filtered one is filtered too, and so on down the chain, whether
    // the post it replies to comes before or after it (a range's posts count as replied to).
    void Finish(bool chain = false);

    std::size_t PostCount() const { return numbers_.size(); }
    // The index of the post numbered number, or kNone.
    std::size_t Find(uint32_t number) const;
    uint32_t Number(std::size_t post) const { return numbers_[post]; }
    // The numbers of the posts that reply to post, in order.
    std::span<const uint32_t> RepliesTo(std::size_t post) const;
    // The post's place among the posts of its ID and their count; a count of 0 when none.
    uint32_t IdOrdinal(std::size_t post) const { return idOrdinal_[post]; }
    uint32_t IdTotal(std::size_t post) const { return idTotal_[post]; }
    // The index of the last post that replies to post, or kNone.
    std::size_t LastReplier(std::size_t post) const {
        return lastReplier_[post] == kNoReplier ? kNone : lastReplier_[post];
    }

  private:
    static constexpr uint32_t kNoReplier = static_cast<uint32_t>(-1);
    static constexpr uint32_t kLongestRange = 100;
    static constexpr uint64_t kRangeSlack = 65536;
    void CompactPost();
    void FilterChains();

    uint64_t textBytes_ = 0;
    uint64_t rangeReplies_ = 0;
    std::size_t postReplies_ = 0;  // where the latest post's replies start in replies_
    std::size_t compactAt_ = 0;    // their count that makes them compacted
    std::vector<uint32_t> numbers_;
    std::vector<bool> filtered_;
    std::vector<uint64_t> idHashes_;                      // first reading only
    std::string shownId_;                                 // an ID as the page shows it
    std::vector<std::pair<uint32_t, uint32_t>> replies_;  // (target number, replier index)
    std::unordered_set<uint32_t> ahead_;  // numbers replied to before their post came
    std::vector<uint32_t> idOrdinal_;
    std::vector<uint32_t> idTotal_;
    std::vector<uint32_t> repliesStart_;  // per post, into repliers_; one more at the end
    std::vector<uint32_t> repliers_;      // replier numbers, grouped by target
    std::vector<uint32_t> lastReplier_;   // per post, the index of its last replier
};

}  // namespace horofu
