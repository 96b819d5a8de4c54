// The search page and its script and style, as the index writes them into a site:
// SITE/search.html, SITE/search/search.js, SITE/search/search.css. Their sources are
// search/page/, built into the program.
#pragma once

#include <string_view>

namespace horofu {

std::string_view SearchPageHtml();
std::string_view SearchPageScript();
std::string_view SearchPageStyle();

}  // namespace horofu
