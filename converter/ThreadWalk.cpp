// The walk of a thread on a thread of its own, handed over in batches.
#include "converter/ThreadWalk.h"

#include <utility>

namespace horofu {
namespace {

constexpr std::size_t kBatchText = 256 * 1024;  // a batch is handed over past this much text
constexpr std::size_t kBatchSteps = 8192;       // or past this many steps
constexpr std::size_t kBatchesAhead = 2;        // batches waiting at most

}  // namespace

// The visitor the walking thread gives WalkThread: copies each step into the batch.
class WalkAhead::Recorder {
  public:
    Recorder(WalkAhead& owner) : owner_(owner) { Fresh(); }

    bool Line(std::string_view line, bool continues) {
        if (batch_->text.size() >= kBatchText || batch_->steps.size() >= kBatchSteps) {
            if (!owner_.Hand(std::move(batch_))) return false;
            Fresh();
        }
        Add(WalkBatch::Kind::Line, owner_.lineTexts_ ? line : std::string_view(), continues);
        return true;
    }
    void Title(std::string_view text) { Add(WalkBatch::Kind::Title, text, false); }
    void Header(const PostHeader& header) {
        WalkBatch& b = *batch_;
        for (const HeaderPart& part : header.parts) {
            b.parts.push_back({part.kind, b.text.size(), part.text.size()});
            b.text.append(part.text);
        }
        b.numbers.push_back(header.number);
        Add(WalkBatch::Kind::Header, header.idKey, false);
        b.steps.back().parts = static_cast<uint32_t>(header.parts.size());
    }
    void Body(std::string_view line, bool continues, const BodyLinks& found) {
        WalkBatch& b = *batch_;
        Add(WalkBatch::Kind::Body, line, continues);
        b.steps.back().parts = static_cast<uint32_t>(found.links.size());
        b.steps.back().ranges = static_cast<uint32_t>(found.ranges.size());
        b.links.insert(b.links.end(), found.links.begin(), found.links.end());
        b.ranges.insert(b.ranges.end(), found.ranges.begin(), found.ranges.end());
    }
    // Hands over the last batch.
    bool Finish() { return owner_.Hand(std::move(batch_)); }

  private:
    void Fresh() {
        batch_ = owner_.Spare();
        batch_->Clear();
    }
    void Add(WalkBatch::Kind kind, std::string_view text, bool continues) {
        batch_->steps.push_back({kind, continues, 0, 0, batch_->text.size(), text.size()});
        batch_->text.append(text);
    }

    WalkAhead& owner_;
    std::unique_ptr<WalkBatch> batch_;
};

WalkAhead::WalkAhead(ThreadLines& lines, bool dat, BodyScan scan, bool lineTexts)
    : lines_(lines), dat_(dat), scan_(scan), lineTexts_(lineTexts) {
    walker_ = std::thread([this] { Walk(); });
}

WalkAhead::~WalkAhead() {
    Stop();
}

void WalkAhead::Stop() {
    if (!walker_.joinable()) return;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    walker_.join();
}

bool WalkAhead::Dat() {
    Stop();
    return dat_;
}

void WalkAhead::Walk() {
    try {
        Recorder recorder(*this);
        if (WalkThread(lines_, dat_, scan_, recorder)) recorder.Finish();
    } catch (...) {
        const std::lock_guard<std::mutex> hold(lock_);
        failure_ = std::current_exception();
    }
    {
        const std::lock_guard<std::mutex> hold(lock_);
        walked_ = true;
    }
    changed_.notify_all();
}

std::unique_ptr<WalkBatch> WalkAhead::Spare() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        if (!spare_.empty()) {
            std::unique_ptr<WalkBatch> batch = std::move(spare_.back());
            spare_.pop_back();
            return batch;
        }
    }
    return std::make_unique<WalkBatch>();
}

bool WalkAhead::Hand(std::unique_ptr<WalkBatch> batch) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return ready_.size() < kBatchesAhead || quit_; });
    if (quit_) return false;
    ready_.push_back(std::move(batch));
    hold.unlock();
    changed_.notify_all();
    return true;
}

std::unique_ptr<WalkBatch> WalkAhead::Take() {
    std::unique_ptr<WalkBatch> batch;
    {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] { return !ready_.empty() || walked_; });
        if (ready_.empty()) {
            if (failure_) std::rethrow_exception(failure_);
            return nullptr;
        }
        batch = std::move(ready_.front());
        ready_.pop_front();
    }
    changed_.notify_all();
    return batch;
}

void WalkAhead::Give(std::unique_ptr<WalkBatch> batch) {
    const std::lock_guard<std::mutex> hold(lock_);
    spare_.push_back(std::move(batch));
}

}  // namespace horofu
