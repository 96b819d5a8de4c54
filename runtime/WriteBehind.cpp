// The background writer of an output channel: one buffer in flight, one being filled.
#include "runtime/WriteBehind.h"

#include <system_error>
#include <utility>

namespace horofu {

WriteBehind::WriteBehind(PlatformFile& file) : file_(file) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, no room for its stack): each buffer is then
        // written by the caller as it is handed over.
    }
}

WriteBehind::~WriteBehind() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool WriteBehind::Write(std::vector<char>& buffer, std::size_t size) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failed_) return false;
    if (!thread_.joinable()) {
        failed_ = !file_.Write(buffer.data(), size);
        return !failed_;
    }
    // The written-out buffer comes back to the caller for filling.
    pending_.swap(buffer);
    if (buffer.size() < pending_.size()) buffer.resize(pending_.size());
    pendingSize_ = size;
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool WriteBehind::Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    return !failed_;
}

void WriteBehind::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || stopping_; });
        if (!busy_) return;
        lock.unlock();
        const bool ok = file_.Write(pending_.data(), pendingSize_);
        lock.lock();
        failed_ = failed_ || !ok;
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace horofu
