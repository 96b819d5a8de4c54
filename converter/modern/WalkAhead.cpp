// The walk on its own thread, and the batches it hands to the page.
#include "converter/modern/WalkAhead.h"

#include <functional>
#include <system_error>

namespace horofu {
namespace {

constexpr std::size_t kBatchBytes = 128 * 1024;  // a batch is handed on at this size
constexpr std::size_t kBatchEvents = 4096;       // or with this many lines and headers
constexpr std::size_t kBatchesAhead = 2;         // batches waiting at most

}  // namespace

WalkAhead::WalkAhead(std::function<void(WalkAhead&)> walk) : walk_(std::move(walk)) {
    try {
        walker_ = std::thread([this] {
            try {
                walk_(*this);
                Hand();
            } catch (...) {
                const std::lock_guard<std::mutex> hold(lock_);
                failure_ = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> hold(lock_);
                ended_ = true;
            }
            changed_.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread to be had: Started() says so, and the caller walks.
    }
}

WalkAhead::~WalkAhead() {
    Stop();
    Join();
}

void WalkAhead::Join() {
    if (walker_.joinable()) walker_.join();
}

void WalkAhead::Stop() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopped_ = true;
    }
    changed_.notify_all();
}

uint32_t WalkAhead::Keep(std::string_view text) {
    // What the walk says of a line (its header's parts, the line as body) mostly points into
    // the line itself, which the batch holds already.
    if (!line_.empty() && std::less_equal<const char*>()(line_.data(), text.data()) &&
        std::less_equal<const char*>()(text.data() + text.size(), line_.data() + line_.size())) {
        return lineAt_ + static_cast<uint32_t>(text.data() - line_.data());
    }
    const auto at = static_cast<uint32_t>(filling_.bytes.size());
    filling_.bytes.append(text);
    return at;
}

void WalkAhead::Record(Kind kind, std::string_view text, bool continues) {
    const uint32_t at = Keep(text);
    filling_.events.push_back({kind, continues, at, static_cast<uint32_t>(text.size())});
}

bool WalkAhead::Line(std::string_view line, bool continues) {
    Pass();
    if (stopped_) return false;
    line_ = {};
    Record(Kind::Line, line, continues);
    // The line's bytes stay where they are until the walk reads on, and the walk looks past
    // them only after copying them elsewhere: while this line is told of, its views point
    // either into it or to other memory.
    line_ = line;
    lineAt_ = filling_.events.back().begin;
    return true;
}

void WalkAhead::Title(std::string_view text) {
    Record(Kind::Title, text, false);
}

void WalkAhead::Body(std::string_view line, bool continues) {
    Record(Kind::Body, line, continues);
}

void WalkAhead::Header(const PostHeader& header) {
    Head head{header.number, header.kind, static_cast<uint32_t>(filling_.parts.size()), 0, 0, 0};
    for (const HeaderPart& part : header.parts) {
        const uint32_t at = Keep(part.text);
        filling_.parts.push_back({part.kind, at, static_cast<uint32_t>(part.text.size())});
    }
    head.partsEnd = static_cast<uint32_t>(filling_.parts.size());
    head.idBegin = Keep(header.idKey);
    head.idSize = static_cast<uint32_t>(header.idKey.size());
    filling_.events.push_back(
        {Kind::Header, false, static_cast<uint32_t>(filling_.heads.size()), 0});
    filling_.heads.push_back(head);
}

// Called before each line, so that a line's header and body lines stay in its batch.
void WalkAhead::Pass() {
    if (filling_.bytes.size() >= kBatchBytes || filling_.events.size() >= kBatchEvents) Hand();
}

void WalkAhead::Hand() {
    line_ = {};
    if (filling_.events.empty()) return;
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return ready_.size() < kBatchesAhead || stopped_; });
    if (stopped_) {
        filling_.Clear();
        return;
    }
    ready_.push_back(std::move(filling_));
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        filling_ = Batch();
    }
    filling_.Clear();
    hold.unlock();
    changed_.notify_all();
}

bool WalkAhead::Take(Batch& batch) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return !ready_.empty() || ended_; });
    if (ready_.empty()) {
        if (failure_) std::rethrow_exception(failure_);
        return false;
    }
    batch = std::move(ready_.front());
    ready_.pop_front();
    hold.unlock();
    changed_.notify_all();
    return true;
}

void WalkAhead::Return(Batch&& batch) {
    batch.Clear();
    const std::lock_guard<std::mutex> hold(lock_);
    if (spare_.size() < kBatchesAhead) spare_.push_back(std::move(batch));
}

}  // namespace horofu
