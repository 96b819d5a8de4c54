// The modern page: the thread is read twice, first for what the page needs of the whole
// thread (posts, replies, ID counts, previews of posts replied to ahead), then to write it.
// A thread that cannot be read twice (a pipe) is copied to a scratch file as it is read. A
// thread that another program changes between the readings fails rather than give a page
// that contradicts itself.
#include "converter/modern/ModernPage.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "converter/ConversionFailure.h"
#include "converter/PageWriter.h"
#include "converter/modern/Blanks.h"
#include "converter/modern/DatThread.h"
#include "converter/modern/ModernPosts.h"
#include "converter/modern/NgFilter.h"
#include "converter/modern/PostHeader.h"
#include "converter/modern/ReplyScan.h"
#include "converter/modern/ThreadIndex.h"
#include "converter/modern/ThreadLines.h"
#include "converter/modern/WalkAhead.h"
#include "runtime/Ascii.h"
#include "runtime/ChannelTable.h"
#include "runtime/NameText.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

constexpr int kSpool = 3;                  // the scratch copy of a thread read from a pipe
constexpr uint64_t kProgressEvery = 4096;  // lines between progress reports

constexpr uint32_t kSmallGap = 30;             // posts a copy may lack between two it has
constexpr std::size_t kLookLines = 1000;       // lines read ahead to place a header, at most
constexpr std::size_t kLookBytes = 256 << 10;  // and bytes

// A thread's lines with lines ahead in view: a line looked at ahead is held until it is
// taken, and each line is told to visit once, when taken. A held line is parsed as a header
// at most once: when it is taken, its parse is handed back (copies without blank lines look
// ahead from almost every post, past the next posts' headers).
class LookaheadLines {
  public:
    explicit LookaheadLines(ThreadLines& lines) : lines_(lines) {}

    bool Next(std::string_view& line, bool& continues) {
        budget_ = std::min(budget_ + kBudgetPerLine, kMostBudget);
        if (Count() == 0) {
            direct_ = true;
            return lines_.Next(line, continues);
        }
        direct_ = false;
        const Held& front = held_[first_];
        current_.assign(heldText_.data() + front.at, front.size);
        continues = front.continues;
        taken_ = front;
        takenParts_.assign(parts_.begin() + front.partsBegin, parts_.begin() + front.partsEnd);
        heldBytes_ -= front.size;
        ++first_;
        if (Count() == 0) {
            held_.clear();
            first_ = 0;
            heldText_.clear();
            parts_.clear();
            liveParts_ = 0;
        } else {
            liveParts_ -= front.partsEnd - front.partsBegin;
            Compact();
        }
        line = current_;
        return true;
    }

    // Whether the current line (line, as Next gave it) is a header above previous, and its
    // parts: ParseHeader's answer, kept from when the line was looked at ahead.
    bool CurrentHeader(std::string_view line, uint32_t previous, PostHeader& header) const {
        if (direct_ || taken_.parse == Parse::Unknown || line.data() != current_.data()) {
            return ParseHeader(line, previous, header);
        }
        if (taken_.parse == Parse::None || taken_.number <= previous) return false;
        header.Clear();
        header.number = taken_.number;
        header.kind = taken_.kind;
        for (const KeptPart& part : takenParts_) {
            header.parts.push_back({part.kind, line.substr(part.at, part.size)});
        }
        header.idKey = line.substr(taken_.idAt, taken_.idSize);
        return true;
    }

    // A line looked at ahead: the number of the post header it is (0 when none, or when it is
    // a piece of a longer line), and whether that is a poster's.
    struct Ahead {
        std::string_view line;
        uint32_t number = 0;
        bool poster = false;
    };

    // Looks at the line k places after the current one: false past the end of the thread or
    // of what may be held. Whether a header fits is decided from numbers alone. The current
    // line, when taken straight from the thread, is copied first (reading on would move it),
    // and current tells where it now is.
    bool PeekHeader(std::size_t k, std::string_view& current, Ahead& ahead) {
        if (budget_ == 0) return false;
        --budget_;
        if (direct_) {
            current_.assign(current);
            current = current_;
            direct_ = false;
            taken_.parse = Parse::Unknown;
        }
        while (Count() <= k) {
            if (Count() >= kLookLines || heldBytes_ >= kLookBytes) return false;
            std::string_view next;
            bool continues = false;
            if (!lines_.Next(next, continues)) {
                ended_ = true;
                return false;
            }
            Held held;
            held.at = heldText_.size();
            held.size = next.size();
            held.continues = continues;
            held_.push_back(held);
            heldText_.append(next);
            heldBytes_ += next.size();
        }
        Held& held = held_[first_ + k];
        ahead.line = std::string_view(heldText_.data() + held.at, held.size);
        ahead.number = 0;
        ahead.poster = false;
        // A piece of a longer line is no header.
        if (held.continues || (k > 0 && held_[first_ + k - 1].continues) || held.size == 0) {
            return true;
        }
        if (held.parse == Parse::Unknown) ParseHeld(held);
        if (held.parse == Parse::Header) {
            ahead.number = held.number;
            ahead.poster = held.kind == PostKind::Poster;
        }
        return true;
    }

    // Whether looking ahead stopped at the end of the thread, not at the most it may hold.
    bool Ended() const { return ended_; }

  private:
    enum class Parse : uint8_t { Unknown, None, Header };
    // A header part as a place in its line, which moves while it is held.
    struct KeptPart {
        HeaderPartKind kind;
        uint32_t at;
        uint32_t size;
    };
    // A line held: where it stands in heldText_, which keeps the held lines one after another,
    // and its parse once it has been looked at (its parts in parts_).
    struct Held {
        std::size_t at = 0;
        std::size_t size = 0;
        bool continues = false;
        Parse parse = Parse::Unknown;
        PostKind kind = PostKind::Poster;
        uint32_t number = 0;
        uint32_t idAt = 0, idSize = 0;
        uint32_t partsBegin = 0, partsEnd = 0;
    };

    std::size_t Count() const { return held_.size() - first_; }

    void ParseHeld(Held& held) {
        const std::string_view line(heldText_.data() + held.at, held.size);
        // Parsed above 0, whatever the thread's last post: the answer for a later one is the
        // same with the numbers it does not exceed turned away.
        if (!ParseHeader(line, 0, scratch_)) {
            held.parse = Parse::None;
            return;
        }
        held.parse = Parse::Header;
        held.number = scratch_.number;
        held.kind = scratch_.kind;
        const auto at = [&](std::string_view text) {
            return text.empty() ? 0 : static_cast<uint32_t>(text.data() - line.data());
        };
        held.idAt = at(scratch_.idKey);
        held.idSize = static_cast<uint32_t>(scratch_.idKey.size());
        held.partsBegin = static_cast<uint32_t>(parts_.size());
        for (const HeaderPart& part : scratch_.parts) {
            parts_.push_back({part.kind, at(part.text), static_cast<uint32_t>(part.text.size())});
        }
        held.partsEnd = static_cast<uint32_t>(parts_.size());
        liveParts_ += held.partsEnd - held.partsBegin;
    }

    // Lets go of what the lines taken held, once it is half of what is held: a copy without
    // blank lines always has lines ahead in view.
    void Compact() {
        if (first_ > Count()) {
            held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(first_));
            first_ = 0;
        }
        if (held_[first_].at > heldText_.size() / 2) {
            const std::size_t taken = held_[first_].at;
            heldText_.erase(0, taken);
            for (std::size_t i = first_; i < held_.size(); ++i) held_[i].at -= taken;
        }
        if (parts_.size() > 2 * liveParts_ + 1024) {
            std::vector<KeptPart> kept;
            kept.reserve(liveParts_);
            for (std::size_t i = first_; i < held_.size(); ++i) {
                Held& held = held_[i];
                const auto begin = static_cast<uint32_t>(kept.size());
                kept.insert(kept.end(), parts_.begin() + held.partsBegin,
                            parts_.begin() + held.partsEnd);
                held.partsBegin = begin;
                held.partsEnd = static_cast<uint32_t>(kept.size());
            }
            parts_.swap(kept);
        }
    }

    ThreadLines& lines_;
    std::vector<Held> held_;  // the lines held from first_ on
    std::size_t first_ = 0;
    std::string heldText_;
    std::vector<KeptPart> parts_;
    std::size_t liveParts_ = 0;  // the parts of the lines still held
    std::size_t heldBytes_ = 0;
    std::string current_;
    bool direct_ = true;
    bool ended_ = false;
    Held taken_;  // the current line's parse, when it was held
    std::vector<KeptPart> takenParts_;
    PostHeader scratch_;
    // Lines that may still be looked at ahead: a few per line taken, so that a thread made
    // of headers out of sequence is read in time that follows its length.
    static constexpr std::size_t kBudgetPerLine = 4;
    static constexpr std::size_t kMostBudget = 4 * kLookLines;
    std::size_t budget_ = kMostBudget;
};

constexpr std::size_t kMostQuotedRun = 3;  // headers of a run of next numbers looked past
constexpr uint32_t kRunStep = 3;           // between headers of a reprinted run, at most
// Posts parted by blank lines before a copy is taken to part them all so; at most one in this
// many may stand right after a line instead.
constexpr std::size_t kPartedPosts = 8;

// The headers after one that may be quoted: the run it starts (each a little above the one
// before) and, once the thread goes back (a header at or below the run's highest), the
// headers until it is past the run again. Real posts only go up, so either the run or the
// headers going back were quoted: the run, when the thread goes back over as many headers as
// the run holds or more ("12", "13" reprinted in post 5, and then this thread's own posts up
// to 13). After the thread went back, a header that does not go on from where it went back to
// is a quote in those posts, and a header line right after a poster's is a line of a list
// ("2 2023/05/08(月) 19:00 (渋谷)"): both are looked past.
struct Comeback {
    enum Step { Rising, Back, Aside, Past };
    uint32_t highest;
    std::size_t run = 1;
    std::size_t back = 0;
    uint32_t lastBack = 0;  // the highest header counted back
    bool ended = false;

    // listed: the line before is a poster's header line.
    Step Add(uint32_t number, bool listed) {
        if (ended) return Past;
        if (listed && (back > 0 || number <= highest)) return Aside;
        if (number <= highest) {
            // Only headers going up count: posts coming back may quote each other too.
            if (back == 0 || number > lastBack) ++back;
            lastBack = std::max(lastBack, number);
            return Back;
        }
        if (back == 0 && number - highest <= kRunStep) {
            highest = number;
            ++run;
            return Rising;
        }
        if (back > 0 && number - lastBack > kRunStep) return Aside;
        ended = true;
        return Past;
    }
    bool RunQuoted() const { return back > 0 && back >= run; }
};

// Whether a header numbered number, in a thread whose last post is previous, starts a post:
// the next number does; a small gap (posts the copy lacks) does unless a post that would
// fill it follows before one continuing from it, or the post right after previous follows
// before the thread is well past number (a run of another thread's posts quoted in one post,
// "12 …", "13 …", and then this thread's next post), or the thread comes back over the run
// it starts (the post after previous lacking too); a number far ahead (a post of another
// thread quoted in this one) does only when the posts that follow continue from it and none
// continues from previous. Only the lines LookaheadLines lets be looked at count.
bool FitsSequence(uint32_t number, uint32_t previous, std::string_view& current,
                  LookaheadLines& ahead) {
    if (previous == 0 || number == previous + 1) return true;
    const bool far = number - previous > kSmallGap;
    bool continued = false;
    Comeback seen{number};
    LookaheadLines::Ahead line, before;
    for (std::size_t k = 0; ahead.PeekHeader(k, current, line); before = line, ++k) {
        const uint32_t next = line.number;
        if (next <= previous) continue;
        if (next < number && seen.back == 0) {  // the thread goes on before number
            if (far || !continued || next == previous + 1) return false;
        }
        if (!far) {
            const Comeback::Step step = seen.Add(next, before.poster);
            if (step == Comeback::Back || step == Comeback::Aside) continue;
            if (seen.RunQuoted()) return false;
        }
        if (next > number && next - number <= kSmallGap) continued = true;
        if (!far && next - number > kSmallGap) return true;
    }
    return far ? continued : !seen.RunQuoted();
}

// Whether a header numbered number, the next of the thread, that stands right after a post's
// header or a line of its text is a quote (a post of another thread reprinted in this one,
// often as the post's first line, or a few of them) or a line of a list ("2 2023/05/08(月)
// 19:00 (渋谷)"): the thread comes back over the run of headers it starts, a header of the
// same number following before any of a higher one. Header lines one right after another are
// a list, not posts (a post has text): higher ones right after such lines are looked past.
// Only the lines LookaheadLines lets be looked at count.
bool QuotedAhead(uint32_t number, uint32_t previous, std::string_view& current,
                 LookaheadLines& ahead) {
    Comeback seen{number};
    std::size_t listEnd = 0;  // the line after the run of header lines the number's starts
    LookaheadLines::Ahead line, before;
    for (std::size_t k = 0; ahead.PeekHeader(k, current, line); before = line, ++k) {
        const uint32_t next = line.number;
        if (next <= previous) continue;
        if (k == listEnd && next > seen.highest && seen.back == 0) {
            ++listEnd;
            continue;
        }
        const Comeback::Step step = seen.Add(next, before.poster);
        if (step == Comeback::Past) return seen.RunQuoted();
        if (step == Comeback::Rising && seen.run > kMostQuotedRun) return false;
    }
    return seen.RunQuoted();
}

// In a copy whose posts are parted by blank lines, whether a header that fits the thread but
// stands right after a line of a post's text is quoted at the copy's end: one to a few
// headers follow it up to the end, none after a blank line. One header alone may be the last
// post with its blank line left out, and stays a post; a header after a blank line leaves the
// question to the thread's numbers. The board's closing posts are never taken for a reprint.
// Only the lines LookaheadLines lets be looked at count.
bool QuotedAtEnd(uint32_t previous, std::string_view& current, LookaheadLines& ahead) {
    std::size_t run = 1;
    bool parted = false;  // the line before is blank
    LookaheadLines::Ahead line;
    for (std::size_t k = 0; ahead.PeekHeader(k, current, line); ++k) {
        if (line.number > previous && (parted || !line.poster || ++run > kMostQuotedRun)) {
            return false;
        }
        parted = line.line.empty();
    }
    return ahead.Ended() && run > 1;
}

// Whether line holds an address and nothing else: a thread's own address saved above its
// title, or instead of one, names no thread.
bool AddressAlone(std::string_view line) {
    std::vector<LineLink> links;
    ScanLine(line, links, nullptr);
    if (links.size() != 1 || links[0].kind != LinkKind::Url) return false;
    const std::size_t end = line.find_last_not_of(" \t");
    return line.find_first_not_of(" \t") == links[0].begin && end != std::string_view::npos &&
           end + 1 == links[0].end;
}

// Whether line is the navigation a browser copies above a thread ("■掲示板に戻る■ 全部 1-
// 101- 最新50"): never the thread's title.
bool NavigationLine(std::string_view line) {
    constexpr std::string_view kBackToBoard =
        "\xE6\x8E\xB2\xE7\xA4\xBA\xE6\x9D\xBF\xE3\x81\xAB\xE6\x88\xBB\xE3\x82\x8B";  // 掲示板に戻る
    constexpr std::string_view kAll = "\xE5\x85\xA8\xE9\x83\xA8";                    // 全部
    constexpr std::string_view kLatest =
        "\xE6\x9C\x80\xE6\x96\xB0"
        "50";  // 最新50
    return line.find(kBackToBoard) != std::string_view::npos ||
           (line.find(kAll) != std::string_view::npos &&
            line.find(kLatest) != std::string_view::npos);
}

// Points header, parsed from the line at was, to the same bytes at now (where looking ahead
// moved the line).
void Rebase(PostHeader& header, std::string_view was, std::string_view now) {
    if (was.data() == now.data()) return;
    const auto moved = [&](std::string_view text) {
        return text.empty()
                   ? text
                   : now.substr(static_cast<std::size_t>(text.data() - was.data()), text.size());
    };
    for (HeaderPart& part : header.parts) part.text = moved(part.text);
    header.idKey = moved(header.idKey);
}

// Goes through a thread's lines, telling visit each line as read and each header and body
// line as understood; form is the thread's .dat form (None for a plain thread), found from
// the first line not empty when datName says the file is named as a .dat or the line looks
// like one.
// Character references shown as U+FFFD are added to invalid. Returns false when visit asked
// to stop.
template <typename Visit>
bool WalkThread(ThreadLines& lines, bool datName, Visit& visit, uint64_t& invalid) {
    LookaheadLines source(lines);
    std::string_view line;
    bool continues = false;
    bool carried = false;  // the line is the rest of a long one
    bool first = true;
    bool titled = false;     // a title line is taken from a plain thread before its first post
    bool afterLine = false;  // the line before is a post's header or text, not a blank
    bool datOpen = false;    // a long .dat line's body goes on in its next piece
    bool datRaw = false;     // a long .dat line is a broken post: its pieces are its text
    std::string datText;     // the text of such a piece
    std::string datCarry;    // the end of a piece read with the next one
    // Posts after the first that stand after a blank line, and right after a line: a copy
    // whose posts are all parted by blank lines shows quotes by a missing one.
    std::size_t parted = 0, joined = 0;
    bool reprintEnds = false;  // the rest of the copy is a reprint in its last post
    // A .dat body's lines, each told as one; the last goes on in the next call when goesOn.
    const auto datBody = [&](std::string_view body, bool goesOn) {
        for (;;) {
            const std::size_t end = body.find('\n');
            visit.Body(body.substr(0, end), end == std::string_view::npos && goesOn);
            if (end == std::string_view::npos) break;
            body.remove_prefix(end + 1);
        }
    };
    DatForm form = DatForm::None;
    uint32_t previous = 0;
    uint32_t datLine = 0;
    PostHeader header;
    DatPost post;
    // Whether the line is a header that starts a post (then in header): one whose number fits
    // the thread, looked at with the lines after it where that is needed.
    const auto startsPost = [&] {
        if (reprintEnds || !source.CurrentHeader(line, previous, header)) return false;
        const std::string_view parsed = line;
        bool starts =
            header.number == previous + 1
                ? !afterLine || previous == 0 || !QuotedAhead(header.number, previous, line, source)
                : FitsSequence(header.number, previous, line, source);
        if (starts && afterLine && previous != 0 && header.kind == PostKind::Poster &&
            parted >= kPartedPosts && joined * kPartedPosts <= parted) {
            reprintEnds = QuotedAtEnd(previous, line, source);
            starts = !reprintEnds;
        }
        Rebase(header, parsed, line);
        return starts;
    };
    while (source.Next(line, continues)) {
        if (!visit.Line(line, continues)) return false;
        // Blank lines before the first are no post of any form ("\n" before a raw log).
        if (first && !line.empty()) {
            form = FindDatForm(line, datName);
            first = false;
        }
        const bool whole = !carried;
        carried = continues;
        if (form != DatForm::None && whole && !line.empty()) {
            ++datLine;
            const std::size_t readable = continues ? DatPieceReadable(line) : line.size();
            datCarry.assign(line.substr(readable));
            line = line.substr(0, readable);
            ParseDatLine(line, form == DatForm::NumberFirst ? previous + 1 : datLine, form, post);
            invalid += post.invalidReferences;
            previous = post.header.number;
            if (datLine == 1 && !post.title.empty()) visit.Title(post.title);
            visit.Header(post.header);
            datRaw = continues && post.header.kind == PostKind::Broken;
            datOpen = continues && !datRaw && DatBodyGoesOn(line, form);
            datBody(post.body, datOpen || datRaw);
        } else if (form != DatForm::None && !whole) {
            // The rest of a .dat line of megabytes: its body's text, up to the body's end.
            if (datRaw || datOpen) {
                datCarry.append(line);
                const std::string_view piece = datCarry;
                const std::size_t readable = continues ? DatPieceReadable(piece) : piece.size();
                datText.clear();
                if (datRaw) {  // a broken post's text, whole
                    AppendHtmlText(piece.substr(0, readable), datText, &invalid);
                    datRaw = continues;
                } else {
                    datOpen = ContinueDatBody(piece.substr(0, readable), form, datText, invalid) &&
                              continues;
                }
                datBody(datText, datRaw || datOpen);
                datCarry.erase(0, readable);
            }
        } else if (form == DatForm::None && whole && startsPost()) {
            if (previous != 0) ++(afterLine ? joined : parted);
            previous = header.number;
            titled = true;
            afterLine = true;
            visit.Header(header);
        } else {
            afterLine = previous != 0 && !line.empty();
            // A title line before the first post, without the blanks around it (a line of
            // blanks alone is none).
            if (!titled && previous == 0 && whole && !continues) {
                const std::string_view title = WithoutEndBlanks(line);
                if (!title.empty() && !AddressAlone(line) && !NavigationLine(line)) {
                    titled = true;
                    if (title.size() <= 400) visit.Title(title);
                }
            }
            visit.Body(line, continues);
        }
    }
    return true;
}

// WalkThread with the walk on a thread of its own, so that finding lines and headers overlaps
// with what visit does with them; on the calling thread when no thread can be had.
template <typename Visit>
bool WalkBeside(ThreadLines& lines, bool datName, Visit& visit, uint64_t& invalid) {
    uint64_t found = 0;  // the walking thread's count, read once it has ended
    WalkAhead ahead([&](WalkAhead& record) { WalkThread(lines, datName, record, found); });
    if (!ahead.Started()) return WalkThread(lines, datName, visit, invalid);
    const bool walked = ahead.Replay(visit);
    invalid += found;
    return walked;
}

// Progress over both readings, and stopping between lines.
class Pacer {
  public:
    Pacer(ConversionListener& listener, uint64_t total) : listener_(listener), total_(total) {}
    bool Step(const ThreadLines& lines, uint64_t before) {
        if (++count_ % kProgressEvery == 0) {
            listener_.Progress(before + lines.BytesRead(), total_ * 2);
        }
        stopped_ = stopped_ || listener_.StopRequested();
        return !stopped_;
    }
    bool Stopped() const { return stopped_; }

  private:
    ConversionListener& listener_;
    uint64_t total_;
    uint64_t count_ = 0;
    bool stopped_ = false;
};

// A line's replies and ranges, into the index.
struct Replies final : LinkVisitor {
    explicit Replies(ThreadIndex& index) : index(index) {}
    void Link(const LineLink& link) override {
        if (link.kind == LinkKind::Reply) index.AddReply(link.number);
    }
    void Range(const ReplyRange& range) override { index.AddRange(range.from, range.to); }
    ThreadIndex& index;
};

// The first reading: posts, replies, IDs, the .dat title and previews wanted early.
struct FirstReading {
    Pacer& pacer;
    ThreadLines& lines;
    ThreadIndex& index;
    PreviewMap& previews;
    std::string title;
    PreviewBuilder preview;
    std::size_t previewPost = 0;
    const NgFilter* ng = nullptr;
    bool filtered = false;   // the latest post is filtered out
    std::string carry = {};  // the end of a long line's pieces so far, for NG rules
    bool undecided = false;  // an NG pattern gave up on a line of the latest post
    uint64_t undecidedPosts = 0;

    bool Line(std::string_view, bool) { return pacer.Step(lines, 0); }
    void Title(std::string_view text) { title.assign(text); }
    void Header(const PostHeader& header) {
        EndPost();
        carry.clear();
        if (index.AddPost(header.number, header.idKey)) {
            previewPost = index.PostCount() - 1;
            preview.Start(header);
        }
        filtered = ng != nullptr && ng->MatchesHeader(header);
    }
    // A filtered post leaves nothing behind: no preview, no ID count, no back-link.
    void EndPost() {
        if (preview.Collecting()) previews.Keep(previewPost, preview.Take());
        // A post that a pattern could not be searched through is kept, and told.
        undecidedPosts += undecided && !filtered;
        undecided = false;
        if (!filtered) return;
        index.FilterLatest();
        previews.Drop(index.PostCount() - 1);
        filtered = false;
    }
    void Body(std::string_view line, bool continues) {
        // Replies to filtered posts are found once the whole thread is read (a post may
        // reply to a later one). A line of megabytes comes in pieces: a word may stand
        // across two.
        if (ng != nullptr && !filtered && index.PostCount() > 0) {
            filtered = continues || !carry.empty()
                           ? ng->MatchesPiece(line, !continues, carry, &undecided)
                           : ng->MatchesLine(line, &undecided);
        }
        if (!continues) carry.clear();
        if (preview.Collecting()) {
            preview.AddLine(line);
            if (!preview.Collecting()) previews.Keep(previewPost, preview.Take());
        }
        index.AddText(line.size());
        Replies replies(index);
        ScanLine(line, replies, false);
    }
    void Finish() { EndPost(); }
};

// The second reading: the page, and the echo of every line.
struct SecondReading {
    Pacer& pacer;
    ThreadLines& lines;
    uint64_t before;
    ModernPosts& posts;
    ConversionListener& listener;
    ShiftJisEncoder* encoder;
    uint64_t records = 0;
    uint64_t headers = 0;
    Text echoed;
    bool dropTitle = false;  // the title went with the first post, filtered
    bool inTitle = false;    // the line told next is a text copy's title

    bool Line(std::string_view line, bool continues) {
        ++records;
        if (encoder != nullptr) {
            echoed.Bytes().clear();
            encoder->Encode(line, echoed.Bytes());
            if (!continues) echoed.Bytes().append("\r\n");
            listener.Echo(echoed);
        }
        return pacer.Step(lines, before);
    }
    void Title(std::string_view) { inTitle = dropTitle; }
    void Header(const PostHeader& header) {
        inTitle = false;
        ++headers;
        posts.Header(header);
    }
    void Body(std::string_view line, bool continues) {
        if (inTitle) {
            inTitle = false;
            return;
        }
        posts.Body(line, continues);
    }
};

// The title of a page whose thread names none: the file's name without its folders, in UTF-8
// (a name that is not UTF-8 is taken for Shift-JIS).
std::string TitleFromFileName(const Text& path) {
    if (path.Empty()) return "thread";
    std::string name = NameAsUtf8(path.View());
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    return name.empty() ? "thread" : name;
}

// A page's title from its file's name: without what its last dot starts ("thread.txt" is
// "thread"), unless nothing would be left.
std::string WithoutExtension(std::string name) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

ConversionResult ConvertModern(ChannelTable& channels, ConversionListener& listener,
                               const PageOptions& options) {
    ConversionResult result;
    if (channels.Status(kInput) != ChannelStatus::Open) {
        channels.Close(kOutput);
        channels.Close(kInput);
        result.outcome = ConversionOutcome::InputNotOpened;
        return result;
    }
    if (channels.Status(kOutput) != ChannelStatus::Open) {
        channels.Close(kOutput);
        channels.Close(kInput);
        result.outcome = ConversionOutcome::OutputNotCreated;
        return result;
    }
    const uint64_t total = channels.SizeAtOpen(kInput);
    // A thread that cannot be read again from its start is copied aside while first read.
    const bool rewinds = channels.Seek(kInput, 0);
    if (!rewinds) channels.Attach(OpenScratchFile(), 0, kSpool);
    const bool spooled = !rewinds && channels.Status(kSpool) == ChannelStatus::Open;

    Pacer pacer(listener, total);
    ThreadIndex index;
    PreviewMap previews;
    const bool datName = IsDatFileName(TitleFromFileName(options.title));
    uint64_t invalid = 0;
    bool readable = rewinds || spooled;
    std::string encoding;
    std::string title;
    uint64_t firstBytes = 0;  // what the first reading saw: the second must see the same
    uint64_t firstHash = 0;
    if (readable) {
        ThreadLines lines(channels, kInput, options.inputEncoding, spooled ? kSpool : 0);
        readable = lines.Usable();
        FirstReading first{pacer, lines, index, previews, {}, {}, 0, options.ng.get()};
        if (readable) WalkBeside(lines, datName, first, invalid);
        first.Finish();
        index.Finish(options.ng && options.ng->chain);
        // Posts filtered as replying to filtered ones leave no preview either.
        for (std::size_t post = 0; post < index.PostCount(); ++post) {
            if (index.Filtered(post)) previews.Drop(post);
        }
        encoding = lines.Encoding();
        title = std::move(first.title);
        result.undecodable = lines.Undecodable();  // the reading thread ends here
        result.badReferences = invalid;
        result.ngUndecided = first.undecidedPosts;
        firstBytes = lines.BytesRead();
        firstHash = lines.BytesHash();
    }
    const int source = spooled ? kSpool : kInput;
    readable = readable && channels.Status(kInput) == ChannelStatus::Open &&
               channels.Status(source) == ChannelStatus::Open && channels.Seek(source, 0);

    ChannelSink page(channels);
    PageWriter out(&page);
    // The title is the first post's (its poster named the thread; a .dat keeps it in that
    // post's line): a filtered one takes it along, from the head and from the text above the
    // posts, and the file's name stands instead.
    const bool dropTitle = index.PostCount() > 0 && index.Filtered(0) && !title.empty();
    if (dropTitle) title.clear();
    ModernPosts posts(out, index, previews, options.ng && options.ng->mode == NgMode::Mark);
    posts.SetSite(options.site);
    posts.Begin(title.empty() ? WithoutExtension(TitleFromFileName(options.title)) : title);
    bool changed = false;
    if (readable && !pacer.Stopped()) {
        // What was added since the first reading is not read: the page shows the thread
        // as the first reading found it, or fails.
        ThreadLines lines(channels, source, encoding, 0, firstBytes);
        std::unique_ptr<ShiftJisEncoder> encoder;
        if (listener.WantsEcho()) encoder = OpenShiftJisEncoder();
        SecondReading second{pacer,         lines, total, posts, listener,
                             encoder.get(), 0,     0,     {},    dropTitle};
        uint64_t counted = 0;  // in the first reading
        const bool walked = WalkBeside(lines, datName, second, counted);
        changed = walked && (lines.BytesRead() != firstBytes || lines.BytesHash() != firstHash);
        result.records = second.records;
        result.posts = second.headers;
        listener.Progress(total * 2, total * 2);
    }
    posts.End();
    out.Flush();

    result.bytesWritten = channels.Position(kOutput);
    const bool readOk = readable && channels.Status(kInput) == ChannelStatus::Open &&
                        channels.Status(source) == ChannelStatus::Open;
    const bool written = channels.Close(kOutput);
    channels.Close(kInput);
    if (spooled || !rewinds) channels.Close(kSpool);
    if (pacer.Stopped()) {
        result.outcome = ConversionOutcome::Stopped;
    } else if (!readOk) {
        result.outcome = ConversionOutcome::ReadFailed;
    } else if (changed) {
        result.outcome = ConversionOutcome::ThreadChanged;
    } else if (!written) {
        result.outcome = ConversionOutcome::WriteFailed;
    }
    return result;
}

}  // namespace

ConversionResult ConvertModernChannels(ChannelTable& channels, ConversionListener& listener,
                                       const PageOptions& options) {
    try {
        return ConvertModern(channels, listener, options);
    } catch (...) {
        // Out of memory (a line of hundreds of megabytes, say), or worse: the page is
        // incomplete, and the caller removes it.
        channels.Close(kOutput);
        channels.Close(kInput);
        channels.Close(kSpool);
        return FailedConversion();
    }
}

}  // namespace horofu
