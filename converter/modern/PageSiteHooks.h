// What a modern page made for a site asks of the site, and what it tells the site as it goes.
#pragma once

#include <string>
#include <string_view>

namespace horofu {

struct PostHeader;

// Given to the modern page through PageOptions::site by the archive, which builds one page per
// thread of a site. Every member has the default of a page made on its own.
class PageSiteHooks {
  public:
    virtual ~PageSiteHooks() = default;
    // The shared stylesheet's address, linked in place of the page's own style; empty: the page
    // carries its style.
    virtual std::string_view StylesheetHref() { return {}; }
    // A line of HTML written below the title and again at the end of the page.
    virtual std::string_view Navigation() { return {}; }
    // Whether an address in a post leads to a page of the site: if so, the link's href and the
    // preview (HTML) shown beside it.
    virtual bool LocalAddress(std::string_view /*address*/, std::string& /*href*/,
                              std::string& /*preview*/) {
        return false;
    }
    // Told, in order, of the page's title, each post header and each body line as written,
    // and of each post filtered out (NG) in its place, of which nothing is told.
    virtual void PageTitle(std::string_view /*title*/) {}
    virtual void PostWritten(const PostHeader& /*header*/) {}
    virtual void PostLeftOut() {}
    virtual void BodyWritten(std::string_view /*line*/, bool /*continues*/) {}
};

}  // namespace horofu
