// The page's place on Windows: the target's path, looked at when the place is opened. The
// desktop program's save dialog names the page, so nothing here is held open in between.
#include "runtime/PlatformFile.h"

namespace horofu {
namespace {

class PathPagePlace final : public PagePlace {
  public:
    explicit PathPagePlace(Text target)
        : target_(std::move(target)), kind_(ClassifyPageTarget(target_)) {}

    PageTarget Target() const override { return kind_; }

    std::unique_ptr<PlatformFile> OpenStream(bool /*throughLink*/, int* systemError) override {
        if (systemError != nullptr) *systemError = 0;
        if (kind_ != PageTarget::Stream) return nullptr;
        int error = 0;
        auto stream = OpenPlatformFile(target_, OpenMode::Output, &error);
        if (!stream && systemError != nullptr) *systemError = error != 0 ? error : 1;
        return stream;
    }

    std::unique_ptr<PendingPage> CreatePage(int* systemError) override {
        return CreatePageBeside(target_, systemError);
    }

  private:
    Text target_;
    PageTarget kind_;
};

}  // namespace

// Called by ConvertIntoPlace before the thread is opened.
std::unique_ptr<PagePlace> OpenPagePlace(const Text& target, int* /*systemError*/) {
    return std::make_unique<PathPagePlace>(target);
}

}  // namespace horofu
