// Where the archive's conversions run: several at once, in worker processes that the platform
// starts or in threads of the calling process (each conversion has a channel table of its own).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace horofu {

class SiteWorkers {
  public:
    virtual ~SiteWorkers() = default;
    // What one conversion does in its worker: the bytes it hands back. Workers may be threads
    // of the caller's process, so work may run on several threads at once and alongside done:
    // what it reads that done changes must be guarded by the caller.
    using Work = std::function<std::string(std::size_t job)>;
    // Told in the caller's process of each job's end, in any order, one job at a time, on the
    // thread that called Run: whether its worker ended normally, and the bytes it handed back.
    using Done = std::function<void(std::size_t job, bool ended, std::string& bytes)>;
    // Runs jobs 0 to count - 1 and returns when all have ended.
    virtual void Run(std::size_t count, const Work& work, const Done& done) = 0;
};

// The jobs one after the other in the calling process: for tests, and where no worker can be
// started.
class InProcessWorkers final : public SiteWorkers {
  public:
    void Run(std::size_t count, const Work& work, const Done& done) override {
        for (std::size_t job = 0; job < count; ++job) {
            std::string bytes = work(job);
            done(job, true, bytes);
        }
    }
};

}  // namespace horofu
