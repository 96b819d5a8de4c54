// The archive's conversions in threads of the calling process, as many at once as there are
// cores: for a system that cannot fork, such as Windows.
#pragma once

#include "archive/SiteWorkers.h"

namespace horofu {

class ThreadedSiteWorkers final : public SiteWorkers {
  public:
    // At most count threads at once; 0: one per core.
    explicit ThreadedSiteWorkers(unsigned count = 0);
    // Done is called on the calling thread only, so what it changes needs no lock of its own.
    // A thread that cannot be started leaves its share to the others, or, when none starts,
    // to the calling thread.
    void Run(std::size_t count, const Work& work, const Done& done) override;

  private:
    unsigned count_;
};

}  // namespace horofu
