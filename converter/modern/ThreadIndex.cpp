// The first reading's facts about a thread, sorted for the second.
#include "converter/modern/ThreadIndex.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "converter/modern/ShownText.h"

namespace horofu {
namespace {

// FNV-1a: IDs are told apart by a 64-bit hash, so that no ID text is kept.
uint64_t HashOf(std::string_view text) {
    uint64_t h = 14695981039346656037ull;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h | 1;  // 0 stands for no ID
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
    idOf_.push_back(idKey.empty() ? kNoId : SlotOf(HashOf(shownId_)));
    return !ahead_.empty() && ahead_.erase(number) > 0;
}

uint32_t ThreadIndex::SlotOf(uint64_t hash) {
    // Kept at most half full: grown by doubling, the hashes put again in their new places.
    if (2 * (ids_ + 1) > idSlots_.size()) {
        std::vector<uint64_t> hashes = std::move(idSlots_);
        std::vector<uint32_t> numbers = std::move(slotId_);
        idSlots_.assign(std::max<std::size_t>(1024, 2 * hashes.size()), 0);
        slotId_.assign(idSlots_.size(), 0);
        const std::size_t mask = idSlots_.size() - 1;
        for (std::size_t i = 0; i < hashes.size(); ++i) {
            if (hashes[i] == 0) continue;
            std::size_t at = (hashes[i] ^ hashes[i] >> 29) & mask;
            while (idSlots_[at] != 0) at = (at + 1) & mask;
            idSlots_[at] = hashes[i];
            slotId_[at] = numbers[i];
        }
    }
    const std::size_t mask = idSlots_.size() - 1;
    std::size_t at = (hash ^ hash >> 29) & mask;
    while (idSlots_[at] != 0 && idSlots_[at] != hash) at = (at + 1) & mask;
    if (idSlots_[at] == 0) {
        idSlots_[at] = hash;
        slotId_[at] = ids_++;
    }
    return slotId_[at];
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

void ThreadIndex::Finish() {
    CompactPost();
    ahead_ = {};
    // Each ID's posts, in thread order, numbered: counted once through, then numbered in a
    // second pass as their count is known.
    const std::size_t count = numbers_.size();
    idOrdinal_.assign(count, 0);
    idTotal_.assign(count, 0);
    idSlots_ = {};
    slotId_ = {};
    {
        std::vector<uint32_t> seen(ids_, 0);
        for (std::size_t i = 0; i < count; ++i) {
            if (idOf_[i] != kNoId && !filtered_[i]) idOrdinal_[i] = ++seen[idOf_[i]];
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (idOrdinal_[i] != 0) idTotal_[i] = seen[idOf_[i]];
        }
    }
    idOf_ = {};
    ids_ = 0;

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
