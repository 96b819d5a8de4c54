// Where the archive's conversions run: in worker processes that the platform starts, several
// at once, since one process converts one thread at a time (its channels are the process's).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace horofu {

class SiteWorkers {
  public:
    virtual ~SiteWorkers() = default;
    // What one conversion does in its worker: the bytes it hands back.
    using Work = std::function<std::string(std::size_t job)>;
    // Told in the caller's process of each job's end, in any order: whether its worker ended
    // normally, and the bytes it handed back.
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
