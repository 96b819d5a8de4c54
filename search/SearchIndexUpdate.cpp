// The search index's update: each thread put has its text file written at once and its grams
// kept (spilled to a scratch file past a bound, so memory does not follow the site's size);
// Commit writes them as one new segment, merged with the newest older segments when those are
// no bigger than twice what is merged so far (with all of them when stale posts pass a
// quarter), then the catalog, then removes the files no catalog names any more.
#include <algorithm>
#include <map>
#include <utility>

#include "runtime/Fnv.h"
#include "runtime/PlatformFile.h"
#include "search/PostingCode.h"
#include "search/ScriptValue.h"
#include "search/SearchCatalog.h"
#include "search/SearchFold.h"
#include "search/SearchIndex.h"
#include "search/SearchPage.h"
#include "search/SiteFiles.h"
#include "search/ThreadText.h"

namespace horofu {

namespace {

constexpr std::size_t kSpillBytes = 2u << 20;  // memory stays well under the archive's bound

// Whether a gram is a pair of characters (else one): its UTF-8 lead bytes.
bool IsPair(std::string_view gram) {
    int characters = 0;
    for (char c : gram) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters == 2;
}

// Where the live ranges of one segment go in the merged one.
class Remap {
  public:
    void Reserve(std::size_t ranges) {
        old_.reserve(ranges);
        end_.reserve(ranges);
        new_.reserve(ranges);
    }
    void Add(uint32_t oldStart, uint32_t count, uint32_t newStart) {
        if (count == 0) return;
        old_.push_back(oldStart);
        end_.push_back(oldStart + count);
        new_.push_back(newStart);
    }
    // False for an ordinal of a stale range.
    bool Find(uint32_t ordinal, uint32_t& to) const {
        auto it = std::upper_bound(old_.begin(), old_.end(), ordinal);
        if (it == old_.begin()) return false;
        const std::size_t i = static_cast<std::size_t>(it - old_.begin()) - 1;
        if (ordinal >= end_[i]) return false;
        to = new_[i] + (ordinal - old_[i]);
        return true;
    }

  private:
    std::vector<uint32_t> old_, end_, new_;
};

// The catalog's slots by board and key: an open-addressing table of slot numbers, a few bytes a
// thread where a map of the names would take a hundred.
class SlotIndex {
  public:
    // The slot of board and key in threads; a new slot (threads.size(), not yet made) when none.
    uint32_t Find(const CatalogThreads& threads, std::string_view board, std::string_view key,
                  bool& added) {
        if ((count_ + 1) * 2 > table_.size()) Grow(threads);
        const std::size_t mask = table_.size() - 1;
        std::size_t at = Hash(board, key) & mask;
        for (; table_[at] != 0; at = (at + 1) & mask) {
            const uint32_t slot = table_[at] - 1;
            if (threads.Key(slot) == key && threads.Board(slot) == board) {
                added = false;
                return table_[at] - 1;
            }
        }
        added = true;
        ++count_;
        table_[at] = static_cast<uint32_t>(threads.size()) + 1;
        return static_cast<uint32_t>(threads.size());
    }
    // Indexes the catalog's threads; of two of one board and key, the later slot is found.
    void Load(const CatalogThreads& threads) {
        table_.clear();
        count_ = 0;
        Grow(threads, threads.size());
    }

  private:
    static uint64_t Hash(std::string_view board, std::string_view key) {
        return Fnv(key, Fnv("/", Fnv(board)));
    }
    void Grow(const CatalogThreads& threads, std::size_t indexed = SIZE_MAX) {
        std::vector<uint32_t> old = std::move(table_);
        std::size_t size = 64;
        const std::size_t want = indexed == SIZE_MAX ? count_ + 1 : indexed;
        while (size < want * 2 + 2) size *= 2;
        table_.assign(size, 0);
        const std::size_t mask = size - 1;
        auto place = [&](uint32_t slot) {
            const std::string_view board = threads.Board(slot), key = threads.Key(slot);
            std::size_t at = Hash(board, key) & mask;
            for (; table_[at] != 0; at = (at + 1) & mask) {
                const uint32_t other = table_[at] - 1;
                if (threads.Key(other) == key && threads.Board(other) == board) {
                    table_[at] = slot + 1;
                    return;
                }
            }
            table_[at] = slot + 1;
            ++count_;
        };
        if (indexed != SIZE_MAX) {
            for (uint32_t s = 0; s < indexed; ++s) place(s);
        } else {
            count_ = 0;
            for (uint32_t slot : old) {
                if (slot != 0) place(slot - 1);
            }
        }
    }

    std::vector<uint32_t> table_;
    std::size_t count_ = 0;
};

}  // namespace

struct SearchIndexUpdate::Run {
    bool loaded = false;
    std::string error;  // the first failure; Commit reports it
    SearchCatalog catalog;
    SlotIndex slots;
    uint32_t gen = 0;
    std::vector<CatalogRange> ranges;  // the new segment's, in ordinal order
    uint32_t posts = 0;
    // Each gram record by the gram's hash modulo kMostBuckets, in memory, then in the scratch
    // file: its length, the gram, and for a pair the post's ordinal, for a character the
    // range's index and how many of its posts hold the character.
    std::vector<std::string> buffered = std::vector<std::string>(kMostBuckets);
    std::size_t bufferedBytes = 0;
    std::unique_ptr<PlatformFile> scratch;
    uint64_t scratchEnd = 0;
    // Each spill's start in the scratch file, and where each of its buckets ends (counted from
    // that start, kMostBuckets numbers a spill): a few bytes a bucket, however many spills.
    std::vector<uint64_t> spillStarts;
    std::vector<uint32_t> spillEnds;
};

SearchIndexUpdate::SearchIndexUpdate(std::string site)
    : site_(std::move(site)), run_(std::make_unique<Run>()) {}
SearchIndexUpdate::~SearchIndexUpdate() = default;

namespace {

// Reads the catalog the last run left, or starts an empty one.
bool LoadCatalog(const std::string& site, SearchCatalog& catalog, std::string& error) {
    if (!MakeIndexFolder(IndexFolder(site), error)) return false;
    const std::string path = IndexFolder(site) + "/" + kCatalogFileName;
    int systemError = 0;
    auto file = OpenPlatformFile(Text(path), OpenMode::Input, &systemError);
    if (!file) {
        if (!FileExists(Text(path))) return true;
        error = path + ": cannot be read";
        return false;
    }
    // A line at a time: a large site's catalog is not held whole as well as read.
    CatalogReader reader(catalog);
    std::string pending;
    char buffer[65536];
    bool read = true;
    for (std::size_t got = 0; (read = file->Read(buffer, sizeof buffer, got)) && got > 0;) {
        pending.append(buffer, got);
        std::size_t at = 0;
        for (std::size_t end; (end = pending.find('\n', at)) != std::string::npos; at = end + 1) {
            reader.Line(std::string_view(pending).substr(at, end - at));
        }
        pending.erase(0, at);
    }
    if (!read) {
        error = path + ": cannot be read";
        return false;
    }
    reader.Line(pending);
    if (!reader.Done()) {
        error = path + ": is not a search catalog; remove the folder " + IndexFolder(site) +
                " and run again to index every thread anew";
        return false;
    }
    return true;
}

bool ReadFully(PlatformFile& file, char* into, std::size_t size);

// Whether the site's index folder holds a catalog this program wrote, by its first bytes.
bool CatalogThere(const std::string& site, std::string& error) {
    if (!MakeIndexFolder(IndexFolder(site), error)) return false;
    auto file = OpenPlatformFile(Text(IndexFolder(site) + "/" + kCatalogFileName), OpenMode::Input);
    constexpr std::string_view kStart = "horofuSearch.catalog(1,";
    char start[kStart.size()];
    return file != nullptr && ReadFully(*file, start, sizeof start) &&
           std::string_view(start, sizeof start) == kStart;
}

// Moves the buffered gram records to the end of the scratch file, noting where each bucket's
// went. Called by Put when the buffer passes its bound, so a spill stays far below 4 GiB. The
// buffers keep their room: made again at each spill, they would scatter the heap.
bool Spill(std::vector<std::string>& buffered, std::unique_ptr<PlatformFile>& scratch,
           uint64_t& end, std::vector<uint64_t>& starts, std::vector<uint32_t>& ends) {
    if (!scratch) scratch = OpenScratchFile();
    if (!scratch || !scratch->SeekTo(end)) return false;
    uint32_t within = 0;
    for (uint32_t b = 0; b < kMostBuckets; ++b) {
        std::string& bytes = buffered[b];
        if (!bytes.empty() && !scratch->Write(bytes.data(), bytes.size())) return false;
        within += static_cast<uint32_t>(bytes.size());
        ends.push_back(within);
        bytes.clear();
    }
    starts.push_back(end);
    end += within;
    return true;
}

bool ReadFully(PlatformFile& file, char* into, std::size_t size) {
    for (std::size_t got = 0; size > 0; into += got, size -= got) {
        if (!file.Read(into, size, got) || got == 0) return false;
    }
    return true;
}

// A file of the index folder by its name: kind 't' (tSLOT-GEN.js) or 'g' (gSEGMENT-BUCKET.js),
// or 0 for any other name, which the update leaves alone.
char IndexFileKind(const std::string& name, unsigned long& a, unsigned long& b) {
    if (name.size() < 6 || (name[0] != 't' && name[0] != 'g')) return 0;
    std::size_t at = 1;
    auto number = [&name, &at](unsigned long& n) {
        const std::size_t start = at;
        for (n = 0; at < name.size() && name[at] >= '0' && name[at] <= '9' && at - start < 9;
             ++at) {
            n = n * 10 + static_cast<unsigned long>(name[at] - '0');
        }
        return at > start;
    };
    if (!number(a) || at >= name.size() || name[at++] != '-' || !number(b)) return 0;
    return name.substr(at) == ".js" ? name[0] : 0;
}

}  // namespace

void SearchIndexUpdate::Put(const SearchThread& thread) {
    Run& run = *run_;
    if (!run.error.empty()) return;
    if (!run.loaded) {
        if (!LoadCatalog(site_, run.catalog, run.error)) return;
        run.slots.Load(run.catalog.threads);
        run.gen = run.catalog.next;
        run.loaded = true;
    }
    bool added = false;
    const uint32_t slot = run.slots.Find(run.catalog.threads, thread.board, thread.key, added);
    CatalogThreads& threads = run.catalog.threads;
    if (added) threads.Add({0, 0, 0, 0, thread.board, thread.key, thread.title});
    if (!added && threads.Segment(slot) == run.gen && threads.Gen(slot) == run.gen) {
        for (CatalogRange& r : run.ranges) {  // put twice in this run: the first copy goes
            if (r.slot == slot) r.slot = -1;
        }
    }

    const std::vector<int64_t> times = PostTimes(thread);
    const std::string path = IndexFolder(site_) + "/" + ThreadFileName(slot, run.gen);
    if (!ReplaceFile(path, SmallerEncoding(ThreadScript(thread, times, slot, run.gen)),
                     run.error)) {
        return;
    }

    std::vector<std::string> pairs, characters;
    std::map<std::string, uint32_t> held;  // each character, by how many posts hold it
    auto record = [this, &run](const std::string& gram, uint32_t a, uint32_t b, bool two) {
        if (!run.error.empty()) return;
        std::string& into = run.buffered[GramHash(gram) % kMostBuckets];
        const std::size_t before = into.size();
        AppendNumber(into, gram.size());
        into += gram;
        AppendNumber(into, a);
        if (two) AppendNumber(into, b);
        run.bufferedBytes += into.size() - before;
        if (run.bufferedBytes > kSpillBytes) {
            if (!Spill(run.buffered, run.scratch, run.scratchEnd, run.spillStarts, run.spillEnds)) {
                run.error = site_ + ": no room for the search index's scratch file";
            }
            run.bufferedBytes = 0;
        }
    };
    for (std::size_t i = 0; i < thread.posts.size(); ++i) {
        PostGrams(StoredText(thread.posts[i]), pairs, characters);
        for (const std::string& pair : pairs) {
            record(pair, run.posts + static_cast<uint32_t>(i), 0, false);
        }
        for (const std::string& c : characters) ++held[c];
    }
    for (const auto& [c, posts] : held) {
        record(c, static_cast<uint32_t>(run.ranges.size()), posts, true);
    }
    const auto count = static_cast<uint32_t>(thread.posts.size());
    run.ranges.push_back({slot, count});
    run.posts += count;
    threads.Set(
        slot, {run.gen, run.gen, times.empty() ? 0 : *std::max_element(times.begin(), times.end()),
               count, thread.board, thread.key, thread.title});
}

bool SearchIndexUpdate::Commit(std::string& error) {
    Run& run = *run_;
    // Nothing put: a catalog that is there stays as it is, unread, since a large site's catalog
    // is the largest thing the update would hold.
    const bool keepCatalog = run.error.empty() && !run.loaded && CatalogThere(site_, run.error);
    if (run.error.empty() && !run.loaded && !keepCatalog) {
        if (!LoadCatalog(site_, run.catalog, run.error)) {
            error = run.error;
            return false;
        }
        run.gen = run.catalog.next;
    }
    if (!run.error.empty()) {
        error = run.error;
        return false;
    }
    const std::string folder = IndexFolder(site_);
    SearchCatalog& catalog = run.catalog;
    const bool changed = run.loaded;

    if (changed) {
        // The records still buffered join those spilled, so that the merge's own lists are not
        // held on top of them.
        if (run.scratch) {
            if (run.bufferedBytes > 0 &&
                !Spill(run.buffered, run.scratch, run.scratchEnd, run.spillStarts, run.spillEnds)) {
                error = site_ + ": no room for the search index's scratch file";
                return false;
            }
            std::vector<std::string>(kMostBuckets).swap(run.buffered);
        }
        run.slots = SlotIndex();  // no thread is put now; its room goes to the merge's tables
        // Which older segments join the new one.
        std::vector<CatalogSegment>& segments = catalog.segments;
        uint64_t all = run.posts, live = run.posts;
        for (const CatalogSegment& s : segments) {
            all += s.Posts();
            for (const CatalogRange& r : s.ranges) live += catalog.Live(s, r) ? r.posts : 0;
        }
        std::size_t m = segments.size();
        if ((all - live) * 4 > all) {
            m = 0;
        } else {
            uint64_t size = run.posts;
            while (m > 0 && segments[m - 1].Posts() <= 2 * size) size += segments[--m].Posts();
        }

        CatalogSegment merged;
        merged.id = run.gen;
        // Where each input's live ranges and their ordinals go in the merged segment.
        std::vector<Remap> remaps(segments.size() - m + 1);
        std::vector<std::vector<int64_t>> rangeRemaps(segments.size() - m + 1);
        uint32_t next = 0;
        std::size_t allRanges = 0;
        for (std::size_t i = m; i <= segments.size(); ++i) {
            allRanges += (i == segments.size() ? run.ranges : segments[i].ranges).size();
        }
        merged.ranges.reserve(allRanges);  // held with the rest: no room to spare
        for (std::size_t i = m; i <= segments.size(); ++i) {
            const bool isNew = i == segments.size();
            const std::vector<CatalogRange>& ranges = isNew ? run.ranges : segments[i].ranges;
            rangeRemaps[i - m].reserve(ranges.size());
            remaps[i - m].Reserve(ranges.size());
            uint32_t start = 0;
            for (const CatalogRange& r : ranges) {
                const bool alive = isNew ? r.slot >= 0 : catalog.Live(segments[i], r);
                rangeRemaps[i - m].push_back(alive ? static_cast<int64_t>(merged.ranges.size())
                                                   : -1);
                if (alive) {
                    remaps[i - m].Add(start, r.posts, next);
                    merged.ranges.push_back(r);
                    next += r.posts;
                }
                start += r.posts;
            }
        }
        merged.buckets = BucketsFor(next);
        std::vector<CatalogRange>().swap(run.ranges);  // held in merged now

        // Pairs: the posts' ordinals. Characters: (range, posts) pairs, flattened.
        std::map<std::string, std::vector<uint32_t>> lists;
        std::string script, records;
        std::vector<uint32_t> numbers;
        for (uint32_t b = 0; b < merged.buckets; ++b) {
            lists.clear();
            for (std::size_t i = m; i < segments.size(); ++i) {
                const std::string path =
                    folder + "/" + GramFileName(segments[i].id, b % segments[i].buckets);
                bool missing = false;
                ScriptValue a;
                if (!ReadWholeFile(path, script, &missing)) {
                    if (missing) continue;
                    error = path + ": cannot be read";
                    return false;
                }
                if (!ParseScriptCall(script, a) || a[2].kind != ScriptValue::Kind::Object) {
                    error = path + ": is damaged; remove the folder " + folder +
                            " and run again to index every thread anew";
                    return false;
                }
                for (const auto& [gram, code] : a[2].members) {
                    if (GramHash(gram) % merged.buckets != b) continue;
                    numbers.clear();
                    std::vector<uint32_t>& list = lists[gram];
                    if (IsPair(gram)) {
                        DecodePostings(code.text, numbers);
                        for (uint32_t o : numbers) {
                            if (uint32_t to = 0; remaps[i - m].Find(o, to)) list.push_back(to);
                        }
                        continue;
                    }
                    DecodeNumbers(code.text, numbers);
                    int64_t range = -1;
                    for (std::size_t k = 0; k + 1 < numbers.size(); k += 2) {
                        range += int64_t{numbers[k]} + 1;
                        const auto& to = rangeRemaps[i - m];
                        if (range < static_cast<int64_t>(to.size()) && to[range] >= 0) {
                            list.push_back(static_cast<uint32_t>(to[range]));
                            list.push_back(numbers[k + 1]);
                        }
                    }
                }
            }
            // Records of one gram are all in one spill bucket, in the order they were put, and
            // each spill holds whole records: they are taken a spill's piece at a time.
            auto take = [&](std::string_view records) {
                for (std::size_t at = 0; at < records.size();) {
                    uint64_t length = 0, first = 0, second = 0;
                    if (!ReadNumber(records, at, length) || at + length > records.size()) break;
                    const std::string gram(records.substr(at, length));
                    at += length;
                    const bool pair = IsPair(gram);
                    if (!ReadNumber(records, at, first) ||
                        (!pair && !ReadNumber(records, at, second))) {
                        break;
                    }
                    if (pair) {
                        if (uint32_t to = 0; remaps.back().Find(static_cast<uint32_t>(first), to)) {
                            lists[gram].push_back(to);
                        }
                    } else if (first < rangeRemaps.back().size() &&
                               rangeRemaps.back()[first] >= 0) {
                        lists[gram].push_back(static_cast<uint32_t>(rangeRemaps.back()[first]));
                        lists[gram].push_back(static_cast<uint32_t>(second));
                    }
                }
            };
            for (uint32_t spill = b; spill < kMostBuckets; spill += merged.buckets) {
                for (std::size_t k = 0; k < run.spillStarts.size(); ++k) {
                    const uint32_t* ends = &run.spillEnds[k * kMostBuckets];
                    const uint32_t from = spill == 0 ? 0 : ends[spill - 1];
                    const uint32_t size = ends[spill] - from;
                    if (size == 0) continue;
                    records.resize(size);
                    if (!run.scratch->SeekTo(run.spillStarts[k] + from) ||
                        !ReadFully(*run.scratch, records.data(), size)) {
                        error = site_ + ": the search index's scratch file cannot be read";
                        return false;
                    }
                    take(records);
                }
                take(run.buffered[spill]);
            }
            const std::string path = folder + "/" + GramFileName(run.gen, b);
            script =
                "horofuSearch.grams(" + std::to_string(run.gen) + "," + std::to_string(b) + ",{";
            bool any = false;
            for (const auto& [gram, list] : lists) {
                if (list.empty()) continue;
                script += any ? ",\n" : "\n";
                any = true;
                AppendJsonString(script, gram);
                script += ":\"";
                int64_t last = -1;
                if (IsPair(gram)) {
                    AppendPostings(script, list, last);
                } else {
                    for (std::size_t k = 0; k + 1 < list.size(); k += 2) {
                        AppendCodeNumber(script, static_cast<uint64_t>(list[k] - last - 1));
                        AppendCodeNumber(script, list[k + 1]);
                        last = list[k];
                    }
                }
                script += '"';
            }
            script += "});\n";
            if (!any) {
                RemoveIndexFile(path);  // left by a run that stopped before its catalog
            } else if (!ReplaceFile(path, script, error)) {
                return false;
            }
        }
        run.buffered.assign(kMostBuckets, std::string());

        for (std::size_t slot = 0; slot < catalog.threads.size(); ++slot) {
            for (std::size_t i = m; i < segments.size(); ++i) {
                if (catalog.threads.Segment(slot) == segments[i].id) {
                    catalog.threads.SetSegment(slot, run.gen);
                }
            }
        }
        segments.resize(m);
        segments.push_back(std::move(merged));
        catalog.next = run.gen + 1;
    }

    auto script = [&catalog](const std::function<void(std::string_view)>& put) {
        catalog.Script(put);
    };
    if (!(keepCatalog || ReplaceFileIfChanged(folder + "/" + kCatalogFileName, script, error)) ||
        !ReplaceFileIfChanged(folder + "/" + kFoldFileName,
                              "horofuSearch.fold(" + FoldTableScript() + ");\n", error) ||
        !ReplaceFileIfChanged(folder + "/search.js", std::string(SearchPageScript()), error) ||
        !ReplaceFileIfChanged(folder + "/search.css", std::string(SearchPageStyle()), error) ||
        !ReplaceFileIfChanged(site_ + "/search.html", std::string(SearchPageHtml()), error)) {
        return false;
    }

    // Files no catalog names any more: older texts of threads put again, merged segments, and
    // whatever a run that stopped early left.
    if (changed) {
        auto stale = [&catalog](const std::string& name) {
            unsigned long a = 0, b = 0;
            const char kind = IndexFileKind(name, a, b);
            if (kind == 't') return a >= catalog.threads.size() || catalog.threads.Gen(a) != b;
            return kind == 'g' && std::none_of(catalog.segments.begin(), catalog.segments.end(),
                                               [a, b](const CatalogSegment& s) {
                                                   return s.id == a && b < s.buckets;
                                               });
        };
        for (const std::string& name : FolderNames(folder, stale)) {
            RemoveIndexFile(folder + "/" + name);
        }
    }
    *run_ = Run();
    return true;
}

}  // namespace horofu
