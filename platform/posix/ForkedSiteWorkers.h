// The archive's conversions in forked worker processes, as many at once as there are cores.
#pragma once

#include "archive/SiteWorkers.h"

namespace horofu {

class ForkedSiteWorkers final : public SiteWorkers {
  public:
    // At most count workers at once; 0: one per online core.
    explicit ForkedSiteWorkers(unsigned count = 0);
    void Run(std::size_t count, const Work& work, const Done& done) override;

  private:
    unsigned count_;
};

}  // namespace horofu
