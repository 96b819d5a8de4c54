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

void ThreadIndex::Finish() {
    CompactPost();
    ahead_ = {};
    // Each ID's posts, in thread order, numbered.
    const std::size_t count = numbers_.size();
    idOrdinal_.assign(count, 0);
    idTotal_.assign(count, 0);
    {
        // Sorted by hash and then by place, each ID's posts stand together in thread order.
        std::vector<std::pair<uint64_t, uint32_t>> order;
        order.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (idHashes_[i] != 0 && !filtered_[i])
                order.emplace_back(idHashes_[i], static_cast<uint32_t>(i));
        }
        std::sort(order.begin(), order.end());
        for (std::size_t i = 0; i < order.size();) {
            std::size_t j = i;
            while (j < order.size() && order[j].first == order[i].first) ++j;
            for (std::size_t k = i; k < j; ++k) {
                idOrdinal_[order[k].second] = static_cast<uint32_t>(k - i + 1);
                idTotal_[order[k].second] = static_cast<uint32_t>(j - i);
            }
            i = j;
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
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    repliesStart_.assign(count + 1, 0);
    lastReplier_.assign(count, kNoReplier);
    repliers_.reserve(kept.size());
    for (const auto& [target, replier] : kept) {
        ++repliesStart_[target + 1];
        repliers_.push_back(numbers_[replier]);
        lastReplier_[target] = replier;  // the last, as kept is sorted
    }
    std::partial_sum(repliesStart_.begin(), repliesStart_.end(), repliesStart_.begin());
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
