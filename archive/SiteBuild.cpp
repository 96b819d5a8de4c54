// A run of the archive: the sources compared with the record, the threads that changed (or
// whose links did) converted in workers, then the index pages, shared files and the record.
#include "archive/SiteBuild.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "archive/PostInstant.h"
#include "archive/SeriesTitle.h"
#include "archive/SiteFile.h"
#include "archive/SiteIndexPages.h"
#include "archive/SitePage.h"
#include "archive/SiteRecord.h"
#include "archive/SiteSources.h"
#include "archive/SiteStyle.h"
#include "archive/ThreadFacts.h"
#include "archive/ThreadPeek.h"
#include "converter/ConversionChannels.h"
#include "converter/ConvertThreadFile.h"
#include "converter/modern/ModernStyle.h"
#include "runtime/ChannelTable.h"
#include "runtime/PlatformFile.h"
#include "search/SearchIndex.h"

namespace horofu {
namespace fs = std::filesystem;
namespace {

constexpr char kLockName[] = ".horofu-lock";
constexpr auto kRecordEvery = std::chrono::seconds(5);  // a cut run keeps what it finished

// One thread of the site during a run: what the record says, and what was found now.
struct Entry;
const std::string& SourcePath(const Entry& entry);

struct Entry {
    SiteThread thread;
    bool inRecord = false;  // has a page from an earlier run
    bool found = false;
    bool changed = false;  // its source is new or changed since its page was made
    bool convert = false;
    bool failed = false;  // its source could not be read or converted in this run
    struct {
        std::string path;  // empty when the record's source is the one found
        std::string fileName;
        uint64_t size = 0;
        int64_t modified = 0;
    } source;
    uint64_t head = 0;  // of the source found, once read
    std::size_t previous = SIZE_MAX, next = SIZE_MAX;
};

const std::string& SourcePath(const Entry& entry) {
    return entry.source.path.empty() ? entry.thread.source : entry.source.path;
}

uint64_t Hash(uint64_t hash, std::string_view bytes) {
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return (hash ^ 0xFF) * 1099511628211ull;
}

class Build {
  public:
    Build(std::string site, SiteWorkers& workers, SiteListener& listener)
        : site_(std::move(site)), workers_(workers), listener_(listener) {}
    SiteSummary Run(const std::vector<std::string>& sources);

  private:
    bool Refused(const std::vector<std::string>& sources);
    void ReadOldRecord();
    void TakeSources(const std::vector<std::string>& sources);
    void ChainSeries();
    uint64_t LinkState(const std::string& navigation, const std::vector<std::string>& names,
                       const SiteLookup& find) const;
    uint64_t LinkState(const Entry& entry, const std::vector<std::string>& names) const {
        return LinkState(Navigation(entry), names,
                         [this](const std::string& id) { return Find(id); });
    }
    std::string Navigation(const Entry& entry) const {
        return NavigationLine(
            entry.thread, entry.previous == SIZE_MAX ? nullptr : &entries_[entry.previous].thread,
            entry.next == SIZE_MAX ? nullptr : &entries_[entry.next].thread);
    }
    void PlanConversions();
    void Convert(SearchIndexUpdate& search);
    std::string ConvertInWorker(Entry& entry);
    void Converted(Entry& entry, bool ended, std::string& bytes, SearchIndexUpdate& search);
    void WriteSiteFiles();
    void WriteRecord();
    void Write(const std::string& path, std::string_view bytes);
    const SiteThread* Find(const std::string& id) const {
        const auto at = byId_.find(id);
        if (at == byId_.end()) return nullptr;
        const Entry& entry = entries_[at->second];
        return entry.inRecord || entry.changed ? &entry.thread : nullptr;
    }
    std::string PagePath(const SiteThread& t) const {
        return site_ + "/" + t.board + "/" + t.key + ".html";
    }

    std::string site_;
    SiteWorkers& workers_;
    SiteListener& listener_;
    std::deque<Entry> entries_;  // grows without moving what it holds
    std::unordered_map<std::string, std::size_t> byId_;
    std::vector<std::size_t> jobs_;
    SiteSummary summary_;
    // Held by a worker thread while it reads other threads' entries, and by Converted while it
    // changes an entry: workers may be threads of this process.
    mutable std::mutex entriesLock_;
};

// The site inside a source would be searched as threads; a source inside the site would be
// overwritten by it.
bool Build::Refused(const std::vector<std::string>& sources) {
    std::error_code error;
    const fs::path site = fs::weakly_canonical(fs::absolute(site_, error), error);
    auto inside = [](const fs::path& inner, const fs::path& outer) {
        auto i = inner.begin();
        for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
            if (o->empty()) continue;  // a trailing separator
            if (i == inner.end() || *i != *o) return false;
        }
        return true;
    };
    for (const std::string& source : sources) {
        const fs::path folder = fs::weakly_canonical(fs::absolute(source, error), error);
        if (inside(site, folder)) {
            listener_.Problem(source, SiteProblem::SiteInSource, 0);
            return true;
        }
        if (inside(folder, site)) {
            listener_.Problem(source, SiteProblem::SourceInSite, 0);
            return true;
        }
    }
    return false;
}

// Read a line at a time, so that a large site's record is not held twice.
void Build::ReadOldRecord() {
    std::ifstream in(site_ + "/" + kRecordName, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || !IsRecordStart(line)) return;
    SiteThread t;
    while (std::getline(in, line)) {
        if (in.eof()) break;  // a cut last line: its thread is built again
        if (!ReadRecordLine(line, t) || byId_.count(t.Id()) != 0) continue;
        byId_.emplace(t.Id(), entries_.size());
        entries_.emplace_back();
        entries_.back().thread = std::move(t);
        entries_.back().inRecord = true;
    }
}

void Build::TakeSources(const std::vector<std::string>& sources) {
    auto take = [this](FoundThread& f) {
        const std::string id = f.board + "/" + f.key;
        auto [at, added] = byId_.emplace(id, entries_.size());
        if (added) {
            entries_.emplace_back();
            entries_.back().thread.board = std::move(f.board);
            entries_.back().thread.key = std::move(f.key);
        }
        Entry& entry = entries_[at->second];
        if (entry.found && f.size <= entry.source.size) return;  // the longer log of a thread
        entry.found = true;
        const SiteThread& t = entry.thread;
        entry.changed =
            !entry.inRecord || t.source != f.path || t.size != f.size || t.modified != f.modified;
        // What the record holds already is not held twice.
        entry.source.path = entry.changed ? std::move(f.path) : std::string();
        entry.source.fileName = std::move(f.fileName);
        entry.source.size = f.size;
        entry.source.modified = f.modified;
    };
    FindThreads(sources, take, [this](const std::string& path, SourceProblem what, int error) {
        summary_.status = 1;
        listener_.Problem(path,
                          what == SourceProblem::Missing     ? SiteProblem::SourceMissing
                          : what == SourceProblem::BadName   ? SiteProblem::BadName
                          : what == SourceProblem::NotThread ? SiteProblem::NotThread
                                                             : SiteProblem::SourceUnreadable,
                          error);
    });
    // A thread's first posts and title are read before any conversion, so that every page
    // gets its series' links on the first writing.
    for (Entry& entry : entries_) {
        if (!entry.changed) continue;
        ThreadPeek peek = PeekThread(entry.source.path, entry.source.fileName);
        if (!peek.read) {
            summary_.status = 1;
            listener_.Problem(entry.source.path, SiteProblem::SourceUnreadable, peek.systemError);
            entry.changed = false;
            entry.failed = true;
            continue;
        }
        entry.head = peek.head;
        entry.thread.title = std::move(peek.title);
        if (peek.posts > 0) entry.thread.posts = peek.posts;
        entry.thread.previous = std::move(peek.previous);
    }
}

// Series are chained by the previous thread a thread's first posts name, then by titles that
// differ only in one number, n and n + 1, within a board. Each thread has at most one part
// before and one after.
void Build::ChainSeries() {
    auto link = [this](std::size_t before, std::size_t after) {
        if (before == after) return;
        Entry& a = entries_[before];
        Entry& b = entries_[after];
        if (a.next != SIZE_MAX || b.previous != SIZE_MAX) return;
        a.next = after;
        b.previous = before;
    };
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        if (!entry.inRecord && !entry.changed) continue;
        if (entry.thread.previous.empty()) continue;
        const auto at = byId_.find(entry.thread.previous);
        if (at != byId_.end()) link(at->second, i);
    }
    // Every reading of every title as (board and shape, part, thread), the board and shape
    // hashed: a large site's titles are not held a second time.
    struct Part {
        uint64_t shape;
        uint64_t part;
        std::size_t thread;
    };
    auto shapeOf = [](const SiteThread& t, const SeriesReading& r) {
        return Hash(Hash(14695981039346656037ull, t.board), r.shape);
    };
    std::vector<Part> parts;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].inRecord && !entries_[i].changed) continue;
        for (const SeriesReading& r : SeriesReadings(entries_[i].thread.title)) {
            parts.push_back({shapeOf(entries_[i].thread, r), r.part, i});
        }
    }
    // One part of a number: the thread of the lowest key, so that runs agree.
    std::sort(parts.begin(), parts.end(), [this](const Part& a, const Part& b) {
        if (a.shape != b.shape) return a.shape < b.shape;
        if (a.part != b.part) return a.part < b.part;
        const std::string& ka = entries_[a.thread].thread.key;
        const std::string& kb = entries_[b.thread].thread.key;
        return ka.size() != kb.size() ? ka.size() < kb.size() : ka < kb;
    });
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].inRecord && !entries_[i].changed) continue;
        for (const SeriesReading& r : SeriesReadings(entries_[i].thread.title)) {
            const Part want{shapeOf(entries_[i].thread, r), r.part + 1, 0};
            const auto next = std::lower_bound(
                parts.begin(), parts.end(), want, [](const Part& a, const Part& b) {
                    return a.shape != b.shape ? a.shape < b.shape : a.part < b.part;
                });
            if (next != parts.end() && next->shape == want.shape && next->part == want.part) {
                link(i, next->thread);
                break;
            }
        }
    }
}

// What a page's links depend on: its navigation line, and which threads it names are in the
// site (with their titles, which previews show).
uint64_t Build::LinkState(const std::string& navigation, const std::vector<std::string>& names,
                          const SiteLookup& find) const {
    uint64_t hash = Hash(14695981039346656037ull, navigation);
    const std::string_view mark = kCountedMark;
    for (std::string_view name : names) {
        const bool counted = name.ends_with(mark);
        if (counted) name.remove_suffix(mark.size());
        if (const SiteThread* t = find(std::string(name))) {
            hash = Hash(Hash(hash, name), t->title);
            if (counted) hash = Hash(hash, std::to_string(t->posts));
        }
    }
    return hash;
}

void Build::PlanConversions() {
    jobs_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (entry.failed) {
            entry.convert = false;
        } else if (entry.changed) {
            entry.convert = true;
        } else if (entry.found && entry.inRecord) {
            // Pages whose links would change, and pages lost since the last run.
            std::error_code error;
            entry.convert = LinkState(entry, entry.thread.names) != entry.thread.links ||
                            !fs::exists(PagePath(entry.thread), error);
            if (entry.convert) ++summary_.relinked;
        }
        if (entry.convert) jobs_.push_back(i);
    }
}

// Runs in a worker: the thread's page written beside its place and put there whole, with the
// last post's time; hands back "ok" and the facts, or the outcome that stopped it. What it
// learns of other threads is copied once under the lock, so that its page and the links it
// records agree even while other conversions end.
std::string Build::ConvertInWorker(Entry& entry) {
    std::string navigation;
    {
        std::lock_guard<std::mutex> hold(entriesLock_);
        navigation = Navigation(entry);
    }
    std::unordered_map<std::string, std::unique_ptr<SiteThread>> seen;
    const SiteLookup lookup = [this, &seen](const std::string& id) -> const SiteThread* {
        auto [at, added] = seen.try_emplace(id);
        if (added) {
            std::lock_guard<std::mutex> hold(entriesLock_);
            if (const SiteThread* t = Find(id)) {
                at->second = std::make_unique<SiteThread>();
                at->second->board = t->board;
                at->second->key = t->key;
                at->second->title = t->title;
                at->second->posts = t->posts;
            }
        }
        return at->second.get();
    };
    ThreadFacts facts;
    SitePage hooks(lookup, navigation, facts);
    PageOptions options;
    options.kind = PageKind::Modern;
    options.title = Text(entry.source.fileName);
    options.site = &hooks;
    int error = 0;
    auto input = OpenPlatformFile(Text(SourcePath(entry)), OpenMode::Input, &error);
    if (!input) return "failed " + std::to_string(error) + "\n";
    auto page = CreatePageBeside(Text(PagePath(entry.thread)), &error);
    if (!page) return "failed " + std::to_string(error) + "\n";
    auto output = page->OpenForWriting();
    if (!output) return "failed " + std::to_string(page->SystemError()) + "\n";
    ChannelTable channels;
    channels.Attach(std::move(input), 1, kInput);
    channels.Attach(std::move(output), 2, kOutput);
    ConversionListener quiet;
    const ConversionResult result = ConvertOpenChannels(channels, quiet, options);
    if (result.outcome != ConversionOutcome::Done) {
        return "failed " + std::to_string(result.systemError) + "\n";
    }
    std::sort(facts.names.begin(), facts.names.end());
    facts.links = LinkState(navigation, facts.names, lookup);
    const int64_t last = PostInstant(facts.lastDate);
    if (last != 0) page->SetModificationTime(last);
    if (page->PutInPlace(true) != PlaceResult::Placed) {
        return "failed " + std::to_string(page->SystemError()) + "\n";
    }
    return "ok\n" + FactsText(facts);
}

void Build::Converted(Entry& entry, bool ended, std::string& bytes, SearchIndexUpdate& search) {
    ThreadFacts facts;
    const bool ok = ended && bytes.substr(0, 3) == "ok\n" &&
                    ReadFacts(std::string_view(bytes).substr(3), facts);
    std::unique_lock<std::mutex> hold(entriesLock_);
    if (!ok) {
        summary_.status = 1;
        int error = 0;
        if (bytes.substr(0, 7) == "failed ") error = std::atoi(bytes.c_str() + 7);
        entry.changed = false;
        entry.failed = true;
        hold.unlock();
        listener_.Problem(SourcePath(entry), SiteProblem::ConversionFailed, error);
        return;
    }
    SiteThread& t = entry.thread;
    if (!entry.source.path.empty()) t.source = std::move(entry.source.path);
    t.size = entry.source.size;
    t.modified = entry.source.modified;
    if (entry.changed) t.head = entry.head;
    t.title = facts.title;
    t.posts = facts.posts;
    t.firstDate = facts.firstDate;
    t.lastDate = facts.lastDate;
    t.lastInstant = PostInstant(facts.lastDate);
    t.gone = false;
    t.names = std::move(facts.names);
    t.links = facts.links;
    entry.inRecord = true;
    entry.changed = false;
    hold.unlock();
    ++summary_.converted;

    SearchThread thread;
    thread.board = t.board;
    thread.key = t.key;
    thread.title = t.title;
    thread.posts = std::move(facts.search);
    search.Put(thread);
}

void Build::Convert(SearchIndexUpdate& search) {
    if (jobs_.empty()) return;
    for (std::size_t job : jobs_) {
        std::error_code error;
        fs::create_directories(site_ + "/" + entries_[job].thread.board, error);
    }
    std::size_t done = 0;
    auto lastRecord = std::chrono::steady_clock::now();
    listener_.Progress(0, jobs_.size());
    workers_.Run(
        jobs_.size(),
        [this](std::size_t job) {
            Entry& entry = entries_[jobs_[job]];
            listener_.Converting(entry.thread.Id());
            return ConvertInWorker(entry);
        },
        [&](std::size_t job, bool ended, std::string& bytes) {
            Converted(entries_[jobs_[job]], ended, bytes, search);
            listener_.Progress(++done, jobs_.size());
            if (std::chrono::steady_clock::now() - lastRecord > kRecordEvery) {
                WriteRecord();
                lastRecord = std::chrono::steady_clock::now();
            }
        });
}

void Build::Write(const std::string& path, std::string_view bytes) {
    bool written = false;
    int error = 0;
    if (!UpdateSiteFile(path, bytes, written, error)) {
        summary_.status = 1;
        listener_.Problem(path, SiteProblem::FileNotWritten, error);
    }
    if (written) ++summary_.filesWritten;
}

void Build::WriteSiteFiles() {
    Write(site_ + "/style.css", std::string(modern::kStyle) + site::kStyleAdditions);
    Write(site_ + "/sort.js", site::kSortScript);
    std::map<std::string, std::vector<const SiteThread*>> boards;
    for (Entry& entry : entries_) {
        if (!entry.inRecord) continue;
        entry.thread.gone = !entry.found;
        summary_.gone += entry.thread.gone;
        boards[entry.thread.board].push_back(&entry.thread);
    }
    for (const auto& [board, threads] : boards) {
        Write(site_ + "/" + board + "/index.html", BoardIndexPage(board, threads));
        summary_.threads += threads.size();
    }
    std::vector<const SiteThread*> threads;
    threads.reserve(summary_.threads);
    for (const Entry& entry : entries_) {
        if (entry.inRecord) threads.push_back(&entry.thread);
    }
    Write(site_ + "/index.html", SiteIndexPage(threads));
}

void Build::WriteRecord() {
    std::vector<const SiteThread*> threads;
    for (const Entry& entry : entries_) {
        if (entry.inRecord) threads.push_back(&entry.thread);
    }
    bool written = false;
    int error = 0;
    if (!UpdateSiteFile(site_ + "/" + kRecordName, RecordText(threads), written, error)) {
        summary_.status = 1;
        listener_.Problem(site_ + "/" + kRecordName, SiteProblem::FileNotWritten, error);
    }
}

SiteSummary Build::Run(const std::vector<std::string>& sources) {
    if (Refused(sources)) {
        summary_.status = 2;
        return summary_;
    }
    std::error_code error;
    fs::create_directories(site_, error);
    if (error) {
        listener_.Problem(site_, SiteProblem::SiteNotCreated, error.value());
        summary_.status = 1;
        return summary_;
    }
    // Held until the run ends: a second run on the site is refused meanwhile.
    int lockError = 0;
    auto lock = OpenPlatformFile(Text(site_ + "/" + kLockName), OpenMode::ReadWrite, &lockError);
    if (!lock) {
        listener_.Problem(site_, SiteProblem::SiteLocked, lockError);
        summary_.status = 2;
        return summary_;
    }
    ReadOldRecord();
    TakeSources(sources);
    ChainSeries();
    // A page's links are those the site had when it was written: titles and numbers of posts
    // of threads converted in the same run are known once they are, so the pages that linked
    // to them with other ones are written again.
    SearchIndexUpdate search(site_);
    PlanConversions();
    Convert(search);
    // A text copy's title is known once it is converted: series its peek could not name are
    // chained now, and their pages written again with their links.
    ChainSeries();
    PlanConversions();
    Convert(search);
    std::string message;
    if (!search.Commit(message)) {
        summary_.status = 1;
        listener_.Problem(site_, SiteProblem::SearchNotWritten, 0);
    }
    WriteSiteFiles();
    WriteRecord();
    return summary_;
}

}  // namespace

SiteSummary BuildSite(const std::string& site, const std::vector<std::string>& sources,
                      SiteWorkers& workers, SiteListener& listener) {
    Build build(site, workers, listener);
    return build.Run(sources);
}

}  // namespace horofu
