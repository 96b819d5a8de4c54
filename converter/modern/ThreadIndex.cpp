// The first reading's facts about a thread, sorted for the second.
#include "converter/modern/ThreadIndex.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "converter/modern/ShownText.h"
#include "runtime/Fnv.h"

namespace horofu {
namespace {

// IDs are told apart by a hash, so that no ID text is kept.
uint64_t HashOf(std::string_view text) {
    return Fnv(text) | 1;  // 0 stands for no ID
}

}  // namespace

bool ThreadIndex::AddPost(uint32_t number, std::string_view idKey) {
    CompactPost();
    postReplies_ = replies_.size();
    compactAt_ = 0;
    numbers_.push_back(number);
    filtered_.push_back(false);
    // IDs are counted by what the page shows of them: two that look alike count together.
    shownId_.clear();
    AppendShown(idKey, Marks::Shown, shownId_);
    idHashes_.push_back(idKey.empty() ? 0 : HashOf(shownId_));
    return !ahead_.empty() && ahead_.erase(number) > 0;
}

void ThreadIndex::AddReply(uint32_t target) {
    if (numbers_.empty()) return;
    if (target > numbers_.back()) ahead_.insert(target);
    replies_.emplace_back(target, static_cast<uint32_t>(numbers_.size() - 1));
    // A post's replies are sorted and made unique whenever they have doubled since.
    const std::size_t mine = replies_.size() - postReplies_;
    if (mine >= compactAt_ && mine >= 64) {
        CompactPost();
        compactAt_ = 2 * (replies_.size() - postReplies_);
    }
}

void ThreadIndex::AddRange(uint32_t from, uint32_t to) {
    if (to <= from + 1 || to - from > kLongestRange) return;
    const uint32_t between = to - from - 1;
    if (rangeReplies_ + between > textBytes_ / 32 + kRangeSlack) return;
    rangeReplies_ += between;
    for (uint32_t n = from + 1; n < to; ++n) AddReply(n);
}

void ThreadIndex::CompactPost() {
    const auto begin = replies_.begin() + static_cast<std::ptrdiff_t>(postReplies_);
    std::sort(begin, replies_.end());
    replies_.erase(std::unique(begin, replies_.end()), replies_.end());
}

// Marks the repliers of filtered posts, theirs in turn, and so on: each filtered post's
// repliers are looked at once, found through the replies grouped by target.
void ThreadIndex::FilterChains() {
    const std::size_t count = numbers_.size();
    std::vector<uint32_t> start(count + 1, 0);
    for (const auto& reply : replies_) {
        const std::size_t t = Find(reply.first);
        if (t != kNone) ++start[t + 1];
    }
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<uint32_t> repliers(start[count]);
    {
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        for (const auto& [target, replier] : replies_) {
            const std::size_t t = Find(target);
            if (t != kNone) repliers[next[t]++] = replier;
        }
    }
    std::vector<uint32_t> queue;
    for (std::size_t i = 0; i < count; ++i) {
        if (filtered_[i]) queue.push_back(static_cast<uint32_t>(i));
    }
    for (std::size_t q = 0; q < queue.size(); ++q) {
        for (uint32_t k = start[queue[q]]; k < start[queue[q] + 1]; ++k) {
            if (!filtered_[repliers[k]]) {
                filtered_[repliers[k]] = true;
                queue.push_back(repliers[k]);
            }
        }
    }
}

void ThreadIndex::Finish(bool chain) {
    CompactPost();
    ahead_ = {};
    if (chain) FilterChains();
    // Each ID's posts, in thread order, numbered: counted in a table of the IDs (their
    // hashes, at most two-thirds full) as they come, each post's count then set from its ID's
    // total (the ID's place in the table kept meanwhile where the total goes).
    const std::size_t count = numbers_.size();
    idOrdinal_.assign(count, 0);
    idTotal_.assign(count, 0);
    {
        // A place is taken from the hash's top bits scaled to the table, so that its size
        // need not be a power of two.
        const std::size_t slots = std::max<std::size_t>(64, count + count / 2);
        std::vector<uint64_t> table(slots, 0);
        std::vector<uint32_t> tally(slots, 0);
        for (std::size_t i = 0; i < count; ++i) {
            const uint64_t hash = idHashes_[i];
            if (hash == 0 || filtered_[i]) continue;
            std::size_t at = static_cast<std::size_t>((hash >> 32) * slots >> 32);
            while (table[at] != 0 && table[at] != hash) at = at + 1 == slots ? 0 : at + 1;
            table[at] = hash;
            idOrdinal_[i] = ++tally[at];
            idTotal_[i] = static_cast<uint32_t>(at);
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (idOrdinal_[i] != 0) idTotal_[i] = tally[idTotal_[i]];
        }
    }
    idHashes_ = {};

    // Replies to posts in the thread, grouped by target, each replier once: turned into
    // (target index, replier index) where they are, as they may be most of the memory.
    std::vector<std::pair<uint32_t, uint32_t>> kept = std::move(replies_);
    replies_ = {};
    std::size_t write = 0;
    for (const auto& [target, replier] : kept) {
        // A filtered post neither gets back-links nor gives them.
        const std::size_t t = Find(target);
        if (t != kNone && !filtered_[t] && !filtered_[replier]) {
            kept[write++] = {static_cast<uint32_t>(t), replier};
        }
    }
    kept.resize(write);
    // Grouped by target with a counting sort: kept is in the order of its repliers already,
    // so each target's repliers come out in order, a repeated one beside itself.
    repliesStart_.assign(count + 1, 0);
    lastReplier_.assign(count, kNoReplier);
    for (const auto& [target, replier] : kept) ++repliesStart_[target + 1];
    std::partial_sum(repliesStart_.begin(), repliesStart_.end(), repliesStart_.begin());
    repliers_.resize(kept.size());
    {
        std::vector<uint32_t> next(repliesStart_.begin(), repliesStart_.end() - 1);
        for (const auto& [target, replier] : kept) repliers_[next[target]++] = replier;
    }
    kept = {};
    // Repliers as numbers, repeats dropped, in place: each group moves down by what went
    // before it.
    std::size_t placed = 0;
    for (std::size_t target = 0; target < count; ++target) {
        const uint32_t begin = repliesStart_[target];
        const uint32_t end = repliesStart_[target + 1];
        repliesStart_[target] = static_cast<uint32_t>(placed);
        uint32_t previous = kNoReplier;
        for (uint32_t i = begin; i < end; ++i) {
            const uint32_t replier = repliers_[i];
            if (replier == previous) continue;
            previous = replier;
            repliers_[placed++] = numbers_[replier];
            lastReplier_[target] = replier;
        }
    }
    repliers_.resize(placed);
    repliesStart_[count] = static_cast<uint32_t>(placed);
}

std::size_t ThreadIndex::Find(uint32_t number) const {
    // Most threads number their posts 1, 2, 3…: try the place the number would have then.
    if (number >= 1 && number <= numbers_.size() && numbers_[number - 1] == number) {
        return number - 1;
    }
    const auto it = std::lower_bound(numbers_.begin(), numbers_.end(), number);
    if (it == numbers_.end() || *it != number) return kNone;
    return static_cast<std::size_t>(it - numbers_.begin());
}

std::span<const uint32_t> ThreadIndex::RepliesTo(std::size_t post) const {
    if (post + 1 >= repliesStart_.size()) return {};
    return std::span<const uint32_t>(repliers_).subspan(
        repliesStart_[post], repliesStart_[post + 1] - repliesStart_[post]);
}

}  // namespace horofu
