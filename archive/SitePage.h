// A thread's page as part of a site: the shared stylesheet, the navigation line, addresses of
// the site's threads as local links, and the facts the site's indexes and search need.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "archive/ThreadFacts.h"
#include "converter/modern/PageSiteHooks.h"

namespace horofu {

// What a page's link to another thread of the site shows of it.
struct LinkedThread {
    std::string board, key, title;
    uint64_t posts = 0;
};

// Fills thread with the thread of the site with id "board/key"; false when the site has none.
using SiteLookup = std::function<bool(const std::string& id, LinkedThread& thread)>;

// Marks a name in ThreadFacts::names whose link depends on the thread's number of posts.
inline constexpr char kCountedMark[] = ":l";

// The part of an address for a board or key: bytes that are not plain letters, digits and a
// few signs written as %XX, so that any folder name makes a working relative address.
std::string HrefSegment(std::string_view name);

// Hooks for one thread's page. Made by the archive in the process that converts the thread.
class SitePage final : public PageSiteHooks {
  public:
    SitePage(SiteLookup lookup, std::string navigation, ThreadFacts& facts)
        : lookup_(std::move(lookup)), navigation_(std::move(navigation)), facts_(facts) {}

    std::string_view StylesheetHref() override { return "../style.css"; }
    std::string_view Navigation() override { return navigation_; }
    bool LocalAddress(std::string_view address, std::string& href, std::string& preview) override;
    void PageTitle(std::string_view title) override { facts_.title.assign(title); }
    void PostWritten(const PostHeader& header) override;
    void PostLeftOut() override;
    void BodyWritten(std::string_view line, bool continues) override;

  private:
    SiteLookup lookup_;
    std::string navigation_;
    ThreadFacts& facts_;
    std::unordered_set<std::string> named_;
    bool joinNext_ = false;
};

}  // namespace horofu
