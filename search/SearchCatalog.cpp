// The catalog file, written and read back.
#include "search/SearchCatalog.h"

#include <algorithm>

#include "search/PostingCode.h"
#include "search/ScriptValue.h"

namespace horofu {

uint32_t CatalogSegment::Posts() const {
    uint32_t n = 0;
    for (const CatalogRange& r : ranges) n += r.posts;
    return n;
}

namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;

}  // namespace

CatalogThread CatalogThreads::operator[](std::size_t slot) const {
    const Row& row = rows_[slot];
    CatalogThread t{row.gen, row.segment, row.lastTime, row.posts, boards_[row.board], {}, {}};
    const std::string_view block = blocks_[row.block];
    std::size_t at = row.at;
    uint64_t length = 0;
    ReadNumber(block, at, length);
    t.key = block.substr(at, length);
    ReadNumber(block, at += length, length);
    t.title = block.substr(at, length);
    return t;
}

std::string_view CatalogThreads::Key(std::size_t slot) const {
    const std::string_view block = blocks_[rows_[slot].block];
    std::size_t at = rows_[slot].at;
    uint64_t length = 0;
    ReadNumber(block, at, length);
    return block.substr(at, length);
}

void CatalogThreads::Add(const CatalogThread& thread) {
    rows_.emplace_back();
    Set(rows_.size() - 1, thread);
}

void CatalogThreads::Set(std::size_t slot, const CatalogThread& thread) {
    Row& row = rows_[slot];
    row.gen = thread.gen;
    row.segment = thread.segment;
    row.lastTime = thread.lastTime;
    row.posts = thread.posts;
    row.board = BoardNumber(thread.board);
    SetTexts(row, thread.key, thread.title);
}

// A thread put again with the same texts (the usual case) keeps their place; texts no longer
// than before are written over the old ones; others go at the end, the old bytes left unused.
void CatalogThreads::SetTexts(Row& row, std::string_view key, std::string_view title) {
    std::string bytes;
    AppendNumber(bytes, key.size());
    bytes += key;
    AppendNumber(bytes, title.size());
    bytes += title;
    if (row.block != kNoBlock) {
        std::string& block = blocks_[row.block];
        std::size_t at = row.at;
        uint64_t length = 0;
        ReadNumber(block, at, length);
        at += length;
        ReadNumber(block, at, length);
        at += length;
        if (bytes.size() <= at - row.at) {
            if (std::string_view(block).substr(row.at, bytes.size()) != bytes) {
                block.replace(row.at, bytes.size(), bytes);
            }
            return;
        }
    }
    if (blocks_.empty() || blocks_.back().size() + bytes.size() > blocks_.back().capacity()) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(kBlockBytes, bytes.size()));
    }
    row.block = static_cast<uint32_t>(blocks_.size() - 1);
    row.at = static_cast<uint32_t>(blocks_.back().size());
    blocks_.back() += bytes;
}

uint32_t CatalogThreads::BoardNumber(std::string_view board) {
    if (const auto it = boardNumbers_.find(board); it != boardNumbers_.end()) return it->second;
    const auto number = static_cast<uint32_t>(boards_.size());
    boards_.emplace_back(board);
    boardNumbers_.emplace(boards_.back(), number);
    return number;
}

void CatalogThreads::Clear() {
    rows_.clear();
    boardNumbers_.clear();
    boards_.clear();
    blocks_.clear();
}

bool SearchCatalog::Live(const CatalogSegment& segment, const CatalogRange& range) const {
    return range.slot >= 0 && static_cast<std::size_t>(range.slot) < threads.size() &&
           threads.Segment(static_cast<std::size_t>(range.slot)) == segment.id;
}

std::string SearchCatalog::Script() const {
    std::string out;
    Script([&out](std::string_view piece) { out += piece; });
    return out;
}

void SearchCatalog::Script(const std::function<void(std::string_view)>& put) const {
    std::string out = "horofuSearch.catalog(1,";
    out += std::to_string(next);
    out += ",[";
    for (const CatalogSegment& s : segments) {
        out += &s == segments.data() ? "[" : ",[";
        out += std::to_string(s.id);
        out += ',';
        out += std::to_string(s.buckets);
        for (const CatalogRange& r : s.ranges) {
            out += ',';
            out += std::to_string(r.slot);
            out += ',';
            out += std::to_string(r.posts);
            if (out.size() > 4096) {
                put(out);
                out.clear();
            }
        }
        out += ']';
    }
    out += "],[";
    for (std::size_t slot = 0; slot < threads.size(); ++slot) {
        const CatalogThread t = threads[slot];
        if (slot != 0) out += ',';
        out += "\n[";
        for (int64_t n : {int64_t{t.gen}, int64_t{t.segment}, t.lastTime, int64_t{t.posts}}) {
            out += std::to_string(n);
            out += ',';
        }
        AppendJsonString(out, t.board);
        out += ',';
        AppendJsonString(out, t.key);
        out += ',';
        AppendJsonString(out, t.title);
        out += ']';
        if (out.size() > 4096) {
            put(out);
            out.clear();
        }
    }
    out += "]);\n";
    put(out);
}

bool SearchCatalog::Parse(std::string_view script) {
    CatalogReader reader(*this);
    for (std::size_t end; !script.empty(); script.remove_prefix(end + 1)) {
        end = std::min(script.find('\n'), script.size());
        if (!reader.Line(script.substr(0, end))) return false;
        if (end == script.size()) break;
    }
    return reader.Done();
}

// Read a value at a time: a large site's ranges and threads parsed whole as values would take
// many times the catalog's size. The first line holds the segments; each thread has a line.
bool CatalogReader::Line(std::string_view line) {
    if (failed_ || done_) return !failed_ && line.find_first_not_of(" \t\r") == line.npos;
    failed_ = true;
    ScriptReader r(line);
    if (!started_) {
        catalog_.segments.clear();
        catalog_.threads.Clear();
        int64_t version = 0, nextId = 0;
        if (!r.Open() || !r.Number(version) || version != 1 || !r.Next(',') || !r.Number(nextId) ||
            !r.Next(',') || !r.Next('[')) {
            return false;
        }
        catalog_.next = static_cast<uint32_t>(nextId);
        if (!r.Next(']')) {
            do {
                CatalogSegment segment;
                int64_t id = 0, buckets = 0;
                if (!r.Next('[') || !r.Number(id) || !r.Next(',') || !r.Number(buckets)) {
                    return false;
                }
                segment.id = static_cast<uint32_t>(id);
                segment.buckets = static_cast<uint32_t>(buckets);
                if (segment.buckets == 0 || segment.buckets > kMostBuckets ||
                    (segment.buckets & (segment.buckets - 1)) != 0) {
                    return false;
                }
                while (r.Next(',')) {
                    int64_t slot = 0, posts = 0;
                    if (!r.Number(slot) || !r.Next(',') || !r.Number(posts)) return false;
                    segment.ranges.push_back({slot, static_cast<uint32_t>(posts)});
                }
                if (!r.Next(']')) return false;
                catalog_.segments.push_back(std::move(segment));
            } while (r.Next(','));
            if (!r.Next(']')) return false;
        }
        if (!r.Next(',') || !r.Next('[')) return false;
        started_ = true;
        done_ = r.Next(']');
        failed_ = done_ ? !r.Close() : !r.End();
        return !failed_;
    }
    ScriptValue t;
    if (!r.Value(t) || t.size() != 7 || t[4].kind != ScriptValue::Kind::String) return false;
    catalog_.threads.Add({static_cast<uint32_t>(t[0].number), static_cast<uint32_t>(t[1].number),
                          t[2].number, static_cast<uint32_t>(t[3].number), t.items[4].text,
                          t.items[5].text, t.items[6].text});
    if (r.Next(',')) {
        failed_ = !r.End();
    } else {
        done_ = r.Next(']');
        failed_ = !done_ || !r.Close();
    }
    return !failed_;
}

OrdinalMap::OrdinalMap(const SearchCatalog& catalog, const CatalogSegment& segment) {
    uint32_t start = 0;
    for (const CatalogRange& r : segment.ranges) {
        starts_.push_back(start);
        slots_.push_back(catalog.Live(segment, r) ? r.slot : -1);
        start += r.posts;
    }
    ranges_ = static_cast<uint32_t>(segment.ranges.size());
    starts_.push_back(start);
    slots_.push_back(-1);
}

OrdinalPlace OrdinalMap::Find(uint32_t ordinal) const {
    const auto it = std::upper_bound(starts_.begin(), starts_.end(), ordinal);
    const std::size_t i = static_cast<std::size_t>(it - starts_.begin()) - 1;
    return {slots_[i], ordinal - starts_[i]};
}

uint32_t GramHash(std::string_view utf8Gram) {
    uint32_t hash = 2166136261u;
    for (char c : utf8Gram) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

uint32_t BucketsFor(uint64_t posts) {
    uint32_t buckets = 1;
    while (buckets < kMostBuckets && uint64_t{buckets} * 500 < posts) buckets *= 2;
    return buckets;
}

std::string ThreadFileName(uint32_t slot, uint32_t gen) {
    std::string name = "t";  // appended, not added: GCC 12 warns wrongly about "t" + text
    name += std::to_string(slot);
    name += '-';
    name += std::to_string(gen);
    return name += ".js";
}

std::string GramFileName(uint32_t segment, uint32_t bucket) {
    std::string name = "g";
    name += std::to_string(segment);
    name += '-';
    name += std::to_string(bucket);
    return name += ".js";
}

std::string IndexFolder(const std::string& site) {
    return site + "/search";
}

}  // namespace horofu
