// A run of the archive: the sources compared with the record, the threads that changed (or
// whose links did) converted in workers, then the index pages, shared files and the record.
#include "archive/SiteBuild.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
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
#include "converter/ModernStyle.h"
#include "runtime/Channels.h"
#include "runtime/PlatformFile.h"
#include "search/SearchIndex.h"

namespace horofu {
namespace fs = std::filesystem;
namespace {

constexpr char kLockName[] = ".horofu-lock";
constexpr auto kRecordEvery = std::chrono::seconds(5);  // a cut run keeps what it finished

// One thread of the site during a run: what the record says, and what was found now.
struct Entry {
    SiteThread thread;
    bool inRecord = false;  // has a page from an earlier run
    bool found = false;
    bool changed = false;  // its source is new or changed since its page was made
    bool convert = false;
    bool failed = false;  // its source could not be read or converted in this run
    FoundThread source;
    ThreadPeek peek;
    std::size_t previous = SIZE_MAX, next = SIZE_MAX;
};

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
    uint64_t LinkState(const Entry& entry, const std::vector<std::string>& names) const;
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
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> byId_;
    std::vector<std::size_t> jobs_;
    SiteSummary summary_;
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

void Build::ReadOldRecord() {
    std::string text;
    std::vector<SiteThread> threads;
    if (!ReadSiteFile(site_ + "/" + kRecordName, text) || !ReadRecord(text, threads)) return;
    for (SiteThread& t : threads) {
        if (byId_.count(t.Id()) != 0) continue;
        byId_.emplace(t.Id(), entries_.size());
        Entry entry;
        entry.thread = std::move(t);
        entry.inRecord = true;
        entries_.push_back(std::move(entry));
    }
}

void Build::TakeSources(const std::vector<std::string>& sources) {
    std::vector<FoundThread> found =
        FindThreads(sources, [this](const std::string& path, SourceProblem what, int error) {
            summary_.status = 1;
            listener_.Problem(path,
                              what == SourceProblem::Missing   ? SiteProblem::SourceMissing
                              : what == SourceProblem::BadName ? SiteProblem::BadName
                                                               : SiteProblem::SourceUnreadable,
                              error);
        });
    for (FoundThread& f : found) {
        const std::string id = f.board + "/" + f.key;
        auto [at, added] = byId_.emplace(id, entries_.size());
        if (added) {
            entries_.emplace_back();
            entries_.back().thread.board = f.board;
            entries_.back().thread.key = f.key;
        }
        Entry& entry = entries_[at->second];
        entry.found = true;
        const SiteThread& t = entry.thread;
        entry.changed =
            !entry.inRecord || t.source != f.path || t.size != f.size || t.modified != f.modified;
        entry.source = std::move(f);
    }
    // A thread's first posts and title are read before any conversion, so that every page
    // gets its series' links on the first writing.
    for (Entry& entry : entries_) {
        if (!entry.changed) continue;
        entry.peek = PeekThread(entry.source.path, entry.source.fileName);
        if (!entry.peek.read) {
            summary_.status = 1;
            listener_.Problem(entry.source.path, SiteProblem::SourceUnreadable,
                              entry.peek.systemError);
            entry.changed = false;
            entry.failed = true;
            continue;
        }
        entry.thread.title = entry.peek.title;
        if (entry.peek.posts > 0) entry.thread.posts = entry.peek.posts;
        entry.thread.previous = std::move(entry.peek.previous);
        entry.peek.title = std::string();
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
    // (board, shape) -> (part, thread) for every reading of every title.
    std::map<std::pair<std::string, std::string>, std::vector<std::pair<uint64_t, std::size_t>>>
        parts;
    std::vector<std::vector<SeriesReading>> readings(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].inRecord && !entries_[i].changed) continue;
        readings[i] = SeriesReadings(entries_[i].thread.title);
        for (const SeriesReading& r : readings[i]) {
            parts[{entries_[i].thread.board, r.shape}].push_back({r.part, i});
        }
    }
    for (auto& [shape, list] : parts) {
        // One part of a number: the thread of the lowest key, so that runs agree.
        std::sort(list.begin(), list.end(), [this](const auto& a, const auto& b) {
            if (a.first != b.first) return a.first < b.first;
            const std::string& ka = entries_[a.second].thread.key;
            const std::string& kb = entries_[b.second].thread.key;
            return ka.size() != kb.size() ? ka.size() < kb.size() : ka < kb;
        });
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        for (const SeriesReading& r : readings[i]) {
            const auto& list = parts[{entries_[i].thread.board, r.shape}];
            const auto next =
                std::lower_bound(list.begin(), list.end(), r.part + 1,
                                 [](const auto& item, uint64_t part) { return item.first < part; });
            if (next != list.end() && next->first == r.part + 1) {
                link(i, next->second);
                break;
            }
        }
    }
}

// What a page's links depend on: its navigation line, and which threads it names are in the
// site (with their titles, which previews show).
uint64_t Build::LinkState(const Entry& entry, const std::vector<std::string>& names) const {
    uint64_t hash = Hash(14695981039346656037ull, Navigation(entry));
    const std::string_view mark = kCountedMark;
    for (std::string_view name : names) {
        const bool counted = name.ends_with(mark);
        if (counted) name.remove_suffix(mark.size());
        if (const SiteThread* t = Find(std::string(name))) {
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
// last post's time; hands back "ok" and the facts, or the outcome that stopped it.
std::string Build::ConvertInWorker(Entry& entry) {
    ThreadFacts facts;
    SitePage hooks([this](const std::string& id) { return Find(id); }, Navigation(entry), facts);
    PageOptions options;
    options.kind = PageKind::Modern;
    options.title = Text(entry.source.fileName);
    options.site = &hooks;
    int error = 0;
    auto input = OpenPlatformFile(Text(entry.source.path), OpenMode::Input, &error);
    if (!input) return "failed " + std::to_string(error) + "\n";
    auto page = CreatePageBeside(Text(PagePath(entry.thread)), &error);
    if (!page) return "failed " + std::to_string(error) + "\n";
    auto output = page->OpenForWriting();
    if (!output) return "failed " + std::to_string(page->SystemError()) + "\n";
    AttachChannel(std::move(input), 1, kInput);
    AttachChannel(std::move(output), 2, kOutput);
    ConversionListener quiet;
    const ConversionResult result = ConvertOpenChannels(quiet, options);
    if (result.outcome != ConversionOutcome::Done) {
        return "failed " + std::to_string(result.systemError) + "\n";
    }
    std::sort(facts.names.begin(), facts.names.end());
    facts.links = LinkState(entry, facts.names);
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
    if (!ok) {
        summary_.status = 1;
        int error = 0;
        if (bytes.substr(0, 7) == "failed ") error = std::atoi(bytes.c_str() + 7);
        listener_.Problem(entry.source.path, SiteProblem::ConversionFailed, error);
        entry.changed = false;
        entry.failed = true;
        return;
    }
    SiteThread& t = entry.thread;
    t.source = entry.source.path;
    t.size = entry.source.size;
    t.modified = entry.source.modified;
    if (entry.changed) t.head = entry.peek.head;
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
