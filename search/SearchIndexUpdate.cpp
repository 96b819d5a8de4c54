// The search index's update: for now it keeps nothing; the archive already calls it.
#include "search/SearchIndex.h"

#include <utility>

namespace horofu {

SearchIndexUpdate::SearchIndexUpdate(std::string site) : site_(std::move(site)) {}
SearchIndexUpdate::~SearchIndexUpdate() = default;

void SearchIndexUpdate::Put(const SearchThread&) {}

bool SearchIndexUpdate::Commit(std::string&) {
    return true;
}

}  // namespace horofu
