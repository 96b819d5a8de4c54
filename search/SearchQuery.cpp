// Searching a site's index from the command.
#include "search/SearchQuery.h"

#include <algorithm>

#include "search/PostingCode.h"
#include "search/ScriptValue.h"
#include "search/SearchFold.h"
#include "search/SiteFiles.h"

namespace horofu {

namespace {
constexpr std::size_t kFewCandidates = 64;  // as the page's script has it
}  // namespace

std::string SearchHit::Link() const {
    return board + "/" + key + ".html#" + std::to_string(number);
}

bool MatchPost(std::string_view text, std::u32string_view folded, std::u32string& line,
               std::size_t& start, std::size_t& end) {
    if (folded.empty()) return false;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t stop = text.find('\n', at);
        if (stop == std::string_view::npos) stop = text.size();
        line = DecodeUtf8(text.substr(at, stop - at));
        const FoldedLine f = FoldLine(line);
        const std::size_t found = f.text.find(folded);
        if (found != std::u32string::npos) {
            start = f.from[found];
            end = f.to[found + folded.size() - 1];
            return true;
        }
        at = stop + 1;
    }
    return false;
}

bool SiteSearch::Open(const std::string& site, std::string& error) {
    folder_ = IndexFolder(site);
    const std::string path = folder_ + "/" + kCatalogFileName;
    std::string script;
    bool missing = false;
    if (!ReadWholeFile(path, script, &missing)) {
        error = missing
                    ? site + ": has no search index; build the site with horofu --site=" + site +
                          " SOURCE..."
                    : path + ": cannot be read";
        return false;
    }
    if (!catalog_.Parse(script)) {
        error = path + ": is not a search catalog; build the site again with horofu --site";
        return false;
    }
    return true;
}

bool SiteSearch::Grams(const CatalogSegment& segment, uint32_t bucket, const GramCodes*& grams,
                       std::string& error) {
    const auto [it, added] = gramFiles_.try_emplace({segment.id, bucket});
    grams = &it->second;
    if (!added) return true;
    const std::string path = folder_ + "/" + GramFileName(segment.id, bucket);
    std::string script;
    bool missing = false;
    if (!ReadWholeFile(path, script, &missing)) {
        if (missing) return true;  // no gram of this bucket in the segment
        error = path + ": cannot be read";
        return false;
    }
    ScriptValue a;
    if (!ParseScriptCall(script, a) || a[2].kind != ScriptValue::Kind::Object) {
        error = path + ": is damaged; build the site again with horofu --site";
        return false;
    }
    for (auto& [gram, code] : a[2].members) it->second.emplace(gram, std::move(code.text));
    return true;
}

bool SiteSearch::Find(std::string_view query, std::size_t limit, SearchResults& results,
                      std::string& error) {
    results = SearchResults();
    while (!query.empty() && (query.front() == ' ' || query.front() == '\t'))
        query.remove_prefix(1);
    while (!query.empty() && (query.back() == ' ' || query.back() == '\t')) query.remove_suffix(1);
    const std::u32string folded = FoldText(query);
    if (folded.empty() || folded.find(U'\n') != std::u32string::npos) return true;

    // Candidates by slot. One character: every post of the threads that hold it, and how many
    // do is known. Longer: the posts in the lists of all its pairs, intersected.
    const bool single = folded.size() == 1;
    std::vector<std::string> grams;
    if (single) grams.push_back(EncodeUtf8(folded));
    for (std::size_t i = 0; i + 1 < folded.size(); ++i) {
        grams.push_back(EncodeUtf8(folded.substr(i, 2)));
    }
    std::sort(grams.begin(), grams.end());
    grams.erase(std::unique(grams.begin(), grams.end()), grams.end());

    std::map<uint32_t, std::vector<uint32_t>> candidates;
    std::vector<uint32_t> found, list, both;
    for (const CatalogSegment& segment : catalog_.segments) {
        const OrdinalMap places(catalog_, segment);
        // Shortest lists first; once few candidates are left the longer lists are not read,
        // since every candidate is checked against its text anyway. Two characters have one.
        std::vector<std::string_view> codes;
        for (const std::string& gram : grams) {
            const GramCodes* lists = nullptr;
            if (!Grams(segment, GramHash(gram) % segment.buckets, lists, error)) return false;
            const auto it = lists->find(gram);
            codes.push_back(it != lists->end() ? std::string_view(it->second) : std::string_view());
        }
        std::sort(codes.begin(), codes.end(),
                  [](std::string_view a, std::string_view b) { return a.size() < b.size(); });
        found.clear();
        for (std::size_t c = 0; c < codes.size(); ++c) {
            if (c > 0 && found.size() <= kFewCandidates) break;
            list.clear();
            if (single ? !DecodeNumbers(codes[c], list) : !DecodePostings(codes[c], list)) {
                error = folder_ + ": a gram file of segment " + std::to_string(segment.id) +
                        " is damaged; build the site again with horofu --site";
                return false;
            }
            if (c == 0) {
                found.swap(list);
            } else {
                both.clear();
                std::set_intersection(found.begin(), found.end(), list.begin(), list.end(),
                                      std::back_inserter(both));
                found.swap(both);
            }
        }
        if (single) {
            int64_t range = -1;
            for (std::size_t k = 0; k + 1 < found.size(); k += 2) {
                range += int64_t{found[k]} + 1;
                const int64_t slot = places.RangeSlot(static_cast<uint32_t>(range));
                if (slot < 0) continue;
                results.total += found[k + 1];
                std::vector<uint32_t>& all = candidates[static_cast<uint32_t>(slot)];
                for (uint32_t i = 0; i < catalog_.threads.Posts(slot); ++i) all.push_back(i);
            }
            continue;
        }
        int64_t at = -1;
        std::vector<uint32_t>* into = nullptr;
        places.Walk(found, [&](int64_t slot, uint32_t index) {
            if (slot < 0) return;
            if (slot != at) into = &candidates[static_cast<uint32_t>(at = slot)];
            into->push_back(index);
        });
    }

    // One or two characters: the total is known, and only the newest threads need reading.
    // Longer: every candidate is checked.
    const bool exact = folded.size() <= 2;
    std::vector<uint32_t> order;
    for (const auto& [slot, indices] : candidates) {
        order.push_back(slot);
        if (folded.size() == 2) results.total += indices.size();
    }
    const auto& threads = catalog_.threads;
    std::sort(order.begin(), order.end(), [&threads](uint32_t a, uint32_t b) {
        return threads.LastTime(a) != threads.LastTime(b)
                   ? threads.LastTime(a) > threads.LastTime(b)
                   : a > b;
    });
    auto newer = [](const SearchHit& a, const SearchHit& b) {
        if (a.time != b.time) return a.time > b.time;
        return a.slot != b.slot ? a.slot > b.slot : a.index > b.index;
    };
    std::vector<StoredPost> posts;
    std::string script;
    std::u32string line;
    for (uint32_t slot : order) {
        const CatalogThread thread = threads[slot];
        if (exact && limit > 0 && results.hits.size() >= limit) {
            std::nth_element(results.hits.begin(), results.hits.begin() + (limit - 1),
                             results.hits.end(), newer);
            // Every post of this thread and the ones after is no newer than its newest.
            if (results.hits[limit - 1].time > thread.lastTime) break;
        }
        const std::string path = folder_ + "/" + ThreadFileName(slot, thread.gen);
        if (!ReadWholeFile(path, script) || !ParseThreadScript(script, posts)) {
            error = path + ": cannot be read; build the site again with horofu --site";
            return false;
        }
        for (uint32_t index : candidates[slot]) {
            if (index >= posts.size()) continue;
            const StoredPost& post = posts[index];
            std::size_t start = 0, end = 0;
            if (!MatchPost(post.text, folded, line, start, end)) continue;
            SearchHit hit;
            hit.board = thread.board;
            hit.key = thread.key;
            hit.title = thread.title;
            hit.number = post.number;
            hit.date = post.date;
            hit.name = post.name;
            const std::size_t from = start > kSnippetBefore ? start - kSnippetBefore : 0;
            const std::size_t to = std::min(line.size(), end + kSnippetAfter);
            hit.before = EncodeUtf8(std::u32string_view(line).substr(from, start - from));
            hit.match = EncodeUtf8(std::u32string_view(line).substr(start, end - start));
            hit.after = EncodeUtf8(std::u32string_view(line).substr(end, to - end));
            hit.cutBefore = from > 0;
            hit.cutAfter = to < line.size();
            hit.time = post.time;
            hit.slot = slot;
            hit.index = index;
            results.hits.push_back(std::move(hit));
            if (!exact) ++results.total;
        }
    }
    std::sort(results.hits.begin(), results.hits.end(), newer);
    if (limit > 0 && results.hits.size() > limit) results.hits.resize(limit);
    return true;
}

}  // namespace horofu
