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
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "archive/PostInstant.h"
#include "archive/SeriesTitle.h"
#include "archive/SiteFile.h"
#include "archive/SiteIndexPages.h"
#include "archive/SitePage.h"
#include "archive/SiteRecord.h"
#include "archive/SiteSources.h"
#include "archive/SiteStyle.h"
#include "archive/SiteTable.h"
#include "archive/ThreadFacts.h"
#include "archive/ThreadPeek.h"
#include "converter/ConversionChannels.h"
#include "converter/ConvertThreadFile.h"
#include "converter/modern/ModernStyle.h"
#include "converter/modern/NgFilter.h"
#include "runtime/ChannelTable.h"
#include "runtime/Fnv.h"
#include "runtime/NameText.h"
#include "runtime/PlatformFile.h"
#include "search/SearchIndex.h"

namespace horofu {
namespace fs = std::filesystem;
namespace {

constexpr char kLockName[] = ".horofu-lock";
constexpr auto kRecordEvery = std::chrono::seconds(5);  // a cut run keeps what it finished

constexpr uint32_t kNoSource = UINT32_MAX;
constexpr uint32_t kNoPart = UINT32_MAX;

// What a run knows of one thread of the table beside what the record says.
struct Entry {
    bool inRecord : 1 = false;  // has a page from an earlier run
    bool found : 1 = false;
    bool changed : 1 = false;  // its source is new or changed since its page was made
    bool convert : 1 = false;
    bool failed : 1 = false;      // its source could not be read or converted in this run
    uint32_t source = kNoSource;  // in the sources found, when it is not the record's
    uint32_t previous = kNoPart, next = kNoPart;
};

// A thread's source found by this run that differs from the record's: until its page is made.
struct FoundSource {
    uint32_t folder = 0;
    std::string fileName;
    uint64_t size = 0;
    int64_t modified = 0;
    uint64_t head = 0;  // once read
};

// The hash of bytes after hash, ended by a byte no text holds: "ab" then "c" is not "a" then
// "bc".
uint64_t Hash(uint64_t hash, std::string_view bytes) {
    return Fnv(std::string_view("\xFF", 1), Fnv(bytes, hash));
}

class Build {
  public:
    Build(std::string site, SiteWorkers& workers, SiteListener& listener,
          std::shared_ptr<const NgFilter> ng)
        : site_(std::move(site)), workers_(workers), listener_(listener), ng_(std::move(ng)) {}
    SiteSummary Run(const std::vector<std::string>& sources);

  private:
    bool Refused(const std::vector<std::string>& sources);
    void ReadOldRecord();
    void TakeSources(const std::vector<std::string>& sources);
    void ChainSeries();
    uint64_t LinkState(const std::string& navigation, std::string_view names,
                       const SiteLookup& lookup) const;
    uint64_t LinkState(std::size_t i, std::string_view names) const {
        return LinkState(Navigation(i), names,
                         [this](const std::string& id, LinkedThread& t) { return Look(id, t); });
    }
    bool Look(const std::string& id, LinkedThread& thread) const;
    std::string Navigation(std::size_t i) const;
    void PlanConversions();
    void Convert(SearchIndexUpdate& search);
    std::string ConvertInWorker(std::size_t i);
    void Converted(std::size_t i, bool ended, std::string& bytes, SearchIndexUpdate& search);
    void WriteSiteFiles();
    void WriteBoard(const std::string& board, std::vector<uint32_t>& threads);
    void WriteRecord();
    void Write(const std::string& path, std::string_view bytes);
    void Write(const std::string& path, const SitePieces& pieces);
    // The thread of id "board/key" if the site has its page or is making it, else kNone.
    std::size_t Find(std::string_view id) const {
        const std::size_t i = table_.Find(id);
        if (i == SiteTable::kNone || !(entries_[i].inRecord || entries_[i].changed)) {
            return SiteTable::kNone;
        }
        return i;
    }
    std::string PagePath(std::size_t i) const {
        std::string path = site_;
        path.append("/").append(table_.Board(i)).append("/").append(table_.Key(i));
        return path + ".html";
    }
    std::string SourcePath(std::size_t i) const {
        const uint32_t s = entries_[i].source;
        return s == kNoSource ? table_.Source(i)
                              : table_.Folder(found_[s].folder) + found_[s].fileName;
    }
    uint64_t FoundSize(std::size_t i) const {
        const uint32_t s = entries_[i].source;
        return s == kNoSource ? table_.FileSize(i) : found_[s].size;
    }
    // Newest last post first; threads of one instant by board and key, so pages do not change
    // between runs that change nothing.
    bool Newer(uint32_t a, uint32_t b) const {
        if (table_.LastInstant(a) != table_.LastInstant(b)) {
            return table_.LastInstant(a) > table_.LastInstant(b);
        }
        if (table_.Board(a) != table_.Board(b)) return table_.Board(a) < table_.Board(b);
        return table_.Key(a) < table_.Key(b);
    }

    std::string site_;
    SiteWorkers& workers_;
    SiteListener& listener_;
    std::shared_ptr<const NgFilter> ng_;
    SiteTable table_;
    std::vector<Entry> entries_;     // by the table's rows
    std::deque<FoundSource> found_;  // a deque: grows without a second copy while it does
    std::vector<std::size_t> jobs_;
    SiteSummary summary_;
    // Held by a worker while it reads the table, and by Converted while it changes it: workers
    // may be threads of this process, and a change may move the table's text.
    mutable std::mutex tableLock_;
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
        if (!ReadRecordLine(line, t)) continue;
        bool added = false;
        const std::size_t i = table_.Add(t.board, t.key, added);
        if (!added) continue;
        table_.Set(i, t);
        entries_.emplace_back();
        entries_.back().inRecord = true;
    }
}

void Build::TakeSources(const std::vector<std::string>& sources) {
    auto take = [this](FoundThread& f) {
        bool added = false;
        const std::size_t i = table_.Add(f.board, f.key, added);
        if (added) entries_.emplace_back();
        Entry& entry = entries_[i];
        if (entry.found && f.size <= FoundSize(i)) return;  // the longer log of a thread
        entry.found = true;
        if (!entry.inRecord) {
            // A thread new to the site: its row holds nothing the record needs, so what was
            // found goes there at once, and a first build holds no second list of sources.
            SiteThread t = table_.Thread(i);
            t.source = f.path;
            t.size = f.size;
            t.modified = f.modified;
            table_.Set(i, t);
            entry.changed = true;
            return;
        }
        std::string_view fileName;
        const uint32_t folder = table_.FolderOf(f.path, fileName);
        entry.changed = table_.FolderNumber(i) != folder || table_.FileName(i) != fileName ||
                        table_.FileSize(i) != f.size || table_.Modified(i) != f.modified;
        if (!entry.changed) {
            entry.source = kNoSource;  // what the record holds already is not held twice
            return;
        }
        FoundSource source{folder, std::string(fileName), f.size, f.modified, 0};
        if (entry.source == kNoSource) {
            entry.source = static_cast<uint32_t>(found_.size());
            found_.push_back(std::move(source));
        } else {
            found_[entry.source] = std::move(source);
        }
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
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (!entry.changed) continue;
        const std::string path = SourcePath(i);
        const std::string fileName = entry.source == kNoSource ? std::string(table_.FileName(i))
                                                               : found_[entry.source].fileName;
        ThreadPeek peek = PeekThread(path, fileName);
        if (!peek.read) {
            summary_.status = 1;
            listener_.Problem(path, SiteProblem::SourceUnreadable, peek.systemError);
            entry.changed = false;
            entry.failed = true;
            continue;
        }
        SiteThread t = table_.Thread(i);
        if (entry.source == kNoSource) {
            t.head = peek.head;  // a new thread's row is its only place
        } else {
            found_[entry.source].head = peek.head;
        }
        t.title = std::move(peek.title);
        if (peek.posts > 0) t.posts = peek.posts;
        t.previous = std::move(peek.previous);
        table_.Set(i, t);
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
        if (a.next != kNoPart || b.previous != kNoPart) return;
        a.next = static_cast<uint32_t>(after);
        b.previous = static_cast<uint32_t>(before);
    };
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        if (!entry.inRecord && !entry.changed) continue;
        if (table_.Previous(i).empty()) continue;
        const std::size_t at = table_.Find(table_.Previous(i));
        if (at != SiteTable::kNone) link(at, i);
    }
    // Every reading of every title as (board and shape, part, thread), the board and shape
    // hashed: a large site's titles are not held a second time. A deque, sorted in place: a
    // large site's readings are not one block, and not copied as they grow.
    struct Part {
        uint64_t shape;
        uint64_t part;
        std::size_t thread;
    };
    auto shapeOf = [this](std::size_t i, const SeriesReading& r) {
        return Hash(Hash(kFnvStart, table_.Board(i)), r.shape);
    };
    std::deque<Part> parts;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].inRecord && !entries_[i].changed) continue;
        for (const SeriesReading& r : SeriesReadings(table_.Title(i))) {
            parts.push_back({shapeOf(i, r), r.part, i});
        }
    }
    // One part of a number: the thread of the lowest key, so that runs agree.
    std::sort(parts.begin(), parts.end(), [this](const Part& a, const Part& b) {
        if (a.shape != b.shape) return a.shape < b.shape;
        if (a.part != b.part) return a.part < b.part;
        const std::string_view ka = table_.Key(a.thread);
        const std::string_view kb = table_.Key(b.thread);
        return ka.size() != kb.size() ? ka.size() < kb.size() : ka < kb;
    });
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].inRecord && !entries_[i].changed) continue;
        for (const SeriesReading& r : SeriesReadings(table_.Title(i))) {
            const Part want{shapeOf(i, r), r.part + 1, 0};
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

std::string Build::Navigation(std::size_t i) const {
    auto part = [this](uint32_t j) {
        return SeriesPart{table_.Board(j), table_.Key(j), table_.Title(j)};
    };
    const Entry& entry = entries_[i];
    const SeriesPart previous = entry.previous == kNoPart ? SeriesPart{} : part(entry.previous);
    const SeriesPart next = entry.next == kNoPart ? SeriesPart{} : part(entry.next);
    return NavigationLine(table_.Board(i), entry.previous == kNoPart ? nullptr : &previous,
                          entry.next == kNoPart ? nullptr : &next);
}

// The thread of id "board/key" as a link to it shows it; false when the site has none.
bool Build::Look(const std::string& id, LinkedThread& thread) const {
    const std::size_t t = Find(id);
    if (t == SiteTable::kNone) return false;
    thread.board = table_.Board(t);
    thread.key = table_.Key(t);
    thread.title = table_.Title(t);
    thread.posts = table_.Posts(t);
    return true;
}

// What a page's links depend on: its navigation line, and which threads it names (sorted,
// separated by spaces) are in the site, with their titles, which previews show; and the NG
// rules it was made with, if any, so that other rules make it again.
uint64_t Build::LinkState(const std::string& navigation, std::string_view names,
                          const SiteLookup& lookup) const {
    uint64_t hash = Hash(kFnvStart, navigation);
    if (ng_) hash = Hash(hash, std::to_string(ng_->Fingerprint()));
    LinkedThread linked;
    const std::string_view mark = kCountedMark;
    while (!names.empty()) {
        const std::size_t space = std::min(names.find(' '), names.size());
        std::string_view name = names.substr(0, space);
        names.remove_prefix(std::min(space + 1, names.size()));
        if (name.empty()) continue;
        const bool counted = name.ends_with(mark);
        if (counted) name.remove_suffix(mark.size());
        if (lookup(std::string(name), linked)) {
            hash = Hash(Hash(hash, name), linked.title);
            if (counted) hash = Hash(hash, std::to_string(linked.posts));
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
            entry.convert =
                LinkState(i, table_.Names(i)) != table_.Links(i) || !fs::exists(PagePath(i), error);
            if (entry.convert) ++summary_.relinked;
        }
        if (entry.convert) jobs_.push_back(i);
    }
}

// Runs in a worker: the thread's page written beside its place and put there whole, with the
// last post's time; hands back "ok" and the facts, or the outcome that stopped it. What it
// needs of the table is copied under the lock, and each other thread it names is looked up
// once, so that its page and the links it records agree even while other conversions end.
std::string Build::ConvertInWorker(std::size_t i) {
    std::string navigation, fileName, sourcePath, pagePath;
    {
        const std::lock_guard<std::mutex> hold(tableLock_);
        navigation = Navigation(i);
        const uint32_t source = entries_[i].source;
        fileName = source == kNoSource ? std::string(table_.FileName(i)) : found_[source].fileName;
        sourcePath = SourcePath(i);
        pagePath = PagePath(i);
    }
    std::map<std::string, std::optional<LinkedThread>, std::less<>> seen;
    const SiteLookup lookup = [this, &seen](const std::string& id, LinkedThread& thread) {
        auto [at, added] = seen.try_emplace(id);
        if (added) {
            const std::lock_guard<std::mutex> hold(tableLock_);
            LinkedThread found;
            if (Look(id, found)) at->second = std::move(found);
        }
        if (!at->second) return false;
        thread = *at->second;
        return true;
    };
    ThreadFacts facts;
    SitePage hooks(lookup, navigation, facts);
    PageOptions options;
    options.kind = PageKind::Modern;
    options.title = Text(fileName);
    options.site = &hooks;
    options.ng = ng_;
    int error = 0;
    auto input = OpenPlatformFile(Text(sourcePath), OpenMode::Input, &error);
    if (!input) return "failed " + std::to_string(error) + "\n";
    auto page = CreatePageBeside(Text(pagePath), &error);
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
    std::string names;
    for (const std::string& name : facts.names) names.append(names.empty() ? "" : " ").append(name);
    facts.links = LinkState(navigation, names, lookup);
    facts.ngUndecided = result.ngUndecided;
    const int64_t last = PostInstant(facts.lastDate);
    if (last != 0) page->SetModificationTime(last);
    if (page->PutInPlace(true) != PlaceResult::Placed) {
        return "failed " + std::to_string(page->SystemError()) + "\n";
    }
    return "ok\n" + FactsText(facts);
}

void Build::Converted(std::size_t i, bool ended, std::string& bytes, SearchIndexUpdate& search) {
    Entry& entry = entries_[i];
    ThreadFacts facts;
    const bool ok = ended && bytes.substr(0, 3) == "ok\n" &&
                    ReadFacts(std::string_view(bytes).substr(3), facts);
    std::unique_lock<std::mutex> hold(tableLock_);
    if (!ok) {
        summary_.status = 1;
        int error = 0;
        if (bytes.substr(0, 7) == "failed ") error = std::atoi(bytes.c_str() + 7);
        entry.changed = false;
        entry.failed = true;
        const std::string path = SourcePath(i);
        hold.unlock();
        listener_.Problem(path, SiteProblem::ConversionFailed, error);
        return;
    }
    SiteThread t = table_.Thread(i);
    if (entry.source != kNoSource) {
        // The record takes the source found now; its place in found_ is not needed again.
        const FoundSource& source = found_[entry.source];
        t.source = SourcePath(i);
        t.size = source.size;
        t.modified = source.modified;
        if (entry.changed) t.head = source.head;
        entry.source = kNoSource;
    }
    t.title = facts.title;
    t.posts = facts.posts;
    t.firstDate = facts.firstDate;
    t.lastDate = facts.lastDate;
    t.lastInstant = PostInstant(facts.lastDate);
    t.gone = false;
    t.names = std::move(facts.names);
    t.links = facts.links;
    table_.Set(i, t);
    entry.inRecord = true;
    entry.changed = false;
    hold.unlock();
    ++summary_.converted;
    summary_.ngUndecided += facts.ngUndecided;

    // The search page links by these names as text (UTF-8), whatever the file names' bytes.
    SearchThread thread;
    thread.board = NameAsUtf8(NameInAddress(t.board));
    thread.key = NameAsUtf8(NameInAddress(t.key));
    thread.title = std::move(t.title);
    thread.posts = std::move(facts.search);
    search.Put(thread);
}

void Build::Convert(SearchIndexUpdate& search) {
    if (jobs_.empty()) return;
    std::string made;  // boards whose folder was made, one after the other
    for (std::size_t job : jobs_) {
        if (table_.Board(job) == made) continue;
        made = table_.Board(job);
        std::error_code error;
        fs::create_directories(site_ + "/" + made, error);
    }
    std::size_t done = 0;
    auto lastRecord = std::chrono::steady_clock::now();
    listener_.Progress(0, jobs_.size());
    workers_.Run(
        jobs_.size(),
        [this](std::size_t job) {
            const std::size_t i = jobs_[job];
            std::string name;
            {
                const std::lock_guard<std::mutex> hold(tableLock_);
                name.append(table_.Board(i)).append("/").append(table_.Key(i));
            }
            listener_.Converting(name);
            return ConvertInWorker(i);
        },
        [&](std::size_t job, bool ended, std::string& bytes) {
            Converted(jobs_[job], ended, bytes, search);
            listener_.Progress(++done, jobs_.size());
            if (std::chrono::steady_clock::now() - lastRecord > kRecordEvery) {
                WriteRecord();
                lastRecord = std::chrono::steady_clock::now();
            }
        });
}

void Build::Write(const std::string& path, std::string_view bytes) {
    Write(path, [bytes](const std::function<void(std::string_view)>& put) { put(bytes); });
}

void Build::Write(const std::string& path, const SitePieces& pieces) {
    bool written = false;
    int error = 0;
    if (!UpdateSiteFile(path, pieces, written, error)) {
        summary_.status = 1;
        listener_.Problem(path, SiteProblem::FileNotWritten, error);
    }
    if (written) ++summary_.filesWritten;
}

// A board's index page, made a row at a time as it is compared and written.
void Build::WriteBoard(const std::string& board, std::vector<uint32_t>& threads) {
    std::sort(threads.begin(), threads.end(),
              [this](uint32_t a, uint32_t b) { return Newer(a, b); });
    Write(site_ + "/" + board + "/index.html",
          [&](const std::function<void(std::string_view)>& put) {
              put(BoardIndexHead(board));
              std::string row;
              for (uint32_t i : threads) {
                  row.clear();
                  AppendBoardRow(row, table_.Thread(i));
                  put(row);
              }
              put(BoardIndexEnd());
          });
}

void Build::WriteSiteFiles() {
    Write(site_ + "/style.css", std::string(modern::kStyle) + site::kStyleAdditions);
    Write(site_ + "/sort.js", site::kSortScript);
    std::map<std::string, std::vector<uint32_t>, std::less<>> boards;
    std::vector<uint32_t> recent;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].inRecord) continue;
        table_.SetGone(i, !entries_[i].found);
        summary_.gone += !entries_[i].found;
        auto at = boards.find(table_.Board(i));
        if (at == boards.end()) at = boards.emplace(std::string(table_.Board(i)), 0).first;
        at->second.push_back(static_cast<uint32_t>(i));
        recent.push_back(static_cast<uint32_t>(i));
    }
    std::vector<BoardSummary> summaries;
    for (auto& [board, threads] : boards) {
        WriteBoard(board, threads);
        summary_.threads += threads.size();
        BoardSummary b;
        b.name = board;
        b.threads = threads.size();
        for (uint32_t i : threads) b.posts += table_.Posts(i);
        b.lastInstant = table_.LastInstant(threads.front());  // the newest, sorted first
        b.lastDate = table_.Thread(threads.front()).lastDate;
        summaries.push_back(std::move(b));
        std::vector<uint32_t>().swap(threads);
    }
    const std::size_t shown = std::min(kRecentThreads, recent.size());
    std::partial_sort(recent.begin(), recent.begin() + static_cast<std::ptrdiff_t>(shown),
                      recent.end(), [this](uint32_t a, uint32_t b) { return Newer(a, b); });
    std::vector<SiteThread> threads;
    for (std::size_t k = 0; k < shown; ++k) threads.push_back(table_.Thread(recent[k]));
    Write(site_ + "/index.html", SiteIndexPage(summaries, threads));
}

// Written a line at a time as it is compared and written, so that a large site's record is
// never held whole.
void Build::WriteRecord() {
    const std::string path = site_ + "/" + kRecordName;
    bool written = false;
    int error = 0;
    auto pieces = [this](const std::function<void(std::string_view)>& put) {
        put(RecordStart());
        std::string line;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!entries_[i].inRecord) continue;
            line.clear();
            AppendRecordLine(line, table_.Thread(i));
            put(line);
        }
    };
    if (!UpdateSiteFile(path, pieces, written, error)) {
        summary_.status = 1;
        listener_.Problem(path, SiteProblem::FileNotWritten, error);
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
    // Each thread found changed is converted or failed by now: the sources found are not held
    // through the rest of the run.
    for (Entry& entry : entries_) entry.source = kNoSource;
    std::deque<FoundSource>().swap(found_);
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
                      SiteWorkers& workers, SiteListener& listener,
                      std::shared_ptr<const NgFilter> ng) {
    Build build(site, workers, listener, std::move(ng));
    return build.Run(sources);
}

}  // namespace horofu
