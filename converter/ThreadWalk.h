// Walking a thread for the modern page: its lines read, and each one understood as a post's
// header or a body line. The walk may run on a thread of its own, a few batches of lines ahead
// of the visitor, so that reading and header parsing take the second core.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "converter/DatThread.h"
#include "converter/PostHeader.h"
#include "converter/ReplyScan.h"
#include "converter/ThreadLines.h"

namespace horofu {

// What a body line links to, as ScanLine finds it.
struct BodyLinks {
    std::vector<LineLink> links;
    std::vector<ReplyRange> ranges;  // only when asked for
};

// How body lines are scanned: ScanLine's urls, and whether ranges are wanted.
struct BodyScan {
    bool urls;
    bool ranges;
};

// Goes through a thread's lines, telling visit each line as read (Line) and each header, body
// line (with its links, scanned as asked) and .dat title as understood. A first line shaped
// like a .dat line, or dat set on entry (a .dat file name), makes the thread a .dat. Returns
// false when visit asked to stop.
template <typename Visit>
bool WalkThread(ThreadLines& lines, bool& dat, BodyScan scan, Visit& visit) {
    BodyLinks found;
    auto body = [&](std::string_view text, bool continues) {
        ScanLine(text, found.links, scan.ranges ? &found.ranges : nullptr, scan.urls);
        visit.Body(text, continues, found);
    };
    std::string_view line;
    bool continues = false;
    bool carried = false;  // the line is the rest of a long one
    bool first = true;
    uint32_t previous = 0;
    uint32_t datLine = 0;
    PostHeader header;
    DatPost post;
    while (lines.Next(line, continues)) {
        if (!visit.Line(line, continues)) return false;
        if (first && LooksLikeDatLine(line)) dat = true;
        first = false;
        const bool whole = !carried;
        carried = continues;
        if (dat && whole && !line.empty()) {
            ParseDatLine(line, ++datLine, post);
            if (datLine == 1 && !post.title.empty()) visit.Title(post.title);
            visit.Header(post.header);
            std::string_view text = post.body;
            for (;;) {
                const std::size_t end = text.find('\n');
                body(text.substr(0, end), false);
                if (end == std::string_view::npos) break;
                text.remove_prefix(end + 1);
            }
        } else if (!dat && whole && ParseHeader(line, previous, header)) {
            previous = header.number;
            visit.Header(header);
        } else {
            body(line, continues);
        }
    }
    return true;
}

// What WalkThread told, kept as copies: a batch of steps, the texts they name in one buffer.
struct WalkBatch {
    enum class Kind : uint8_t { Line, Title, Header, Body };
    struct Step {
        Kind kind;
        bool continues;
        uint32_t parts;   // Header: its parts, which follow those of the headers before it;
                          // Body: its links, likewise
        uint32_t ranges;  // Body: its ranges, likewise
        std::size_t begin;
        std::size_t size;  // the step's text in text (Header: its idKey)
    };
    struct Part {
        HeaderPartKind kind;
        std::size_t begin;
        std::size_t size;
    };
    std::string text;
    std::vector<Step> steps;
    std::vector<Part> parts;
    std::vector<uint32_t> numbers;  // the headers' post numbers
    std::vector<LineLink> links;
    std::vector<ReplyRange> ranges;

    void Clear() {
        text.clear();
        steps.clear();
        parts.clear();
        numbers.clear();
        links.clear();
        ranges.clear();
    }
};

// Runs WalkThread on a thread of its own, and hands what it found to a visitor on the caller's
// thread in the same order. Called by the modern page for each reading of the thread.
class WalkAhead {
  public:
    // Walks lines; dat as for WalkThread. Each Line step carries the line's text only when
    // lineTexts is set (the echo wants it), else an empty one.
    WalkAhead(ThreadLines& lines, bool dat, BodyScan scan, bool lineTexts);
    ~WalkAhead();
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

    // Tells visit everything, as WalkThread would. Returns false when visit asked to stop.
    // What the walk threw (std::bad_alloc) is thrown here.
    template <typename Visit>
    bool Run(Visit& visit) {
        PostHeader header;
        BodyLinks found;
        while (std::unique_ptr<WalkBatch> batch = Take()) {
            const WalkBatch& b = *batch;
            std::size_t part = 0;
            std::size_t number = 0;
            std::size_t link = 0;
            std::size_t range = 0;
            for (const WalkBatch::Step& step : b.steps) {
                const std::string_view text(b.text.data() + step.begin, step.size);
                switch (step.kind) {
                    case WalkBatch::Kind::Line:
                        if (!visit.Line(text, step.continues)) {
                            Give(std::move(batch));
                            return false;
                        }
                        break;
                    case WalkBatch::Kind::Title:
                        visit.Title(text);
                        break;
                    case WalkBatch::Kind::Header:
                        header.Clear();
                        header.number = b.numbers[number++];
                        header.idKey = text;
                        for (const std::size_t end = part + step.parts; part < end; ++part) {
                            const WalkBatch::Part& p = b.parts[part];
                            header.parts.push_back(
                                {p.kind, std::string_view(b.text.data() + p.begin, p.size)});
                        }
                        visit.Header(header);
                        break;
                    case WalkBatch::Kind::Body:
                        found.links.assign(b.links.begin() + link,
                                           b.links.begin() + link + step.parts);
                        found.ranges.assign(b.ranges.begin() + range,
                                            b.ranges.begin() + range + step.ranges);
                        link += step.parts;
                        range += step.ranges;
                        visit.Body(text, step.continues, found);
                        break;
                }
            }
            Give(std::move(batch));
        }
        return true;
    }

    // Whether the walk found a .dat; asked once Run has returned true.
    bool Dat();

  private:
    class Recorder;
    void Walk();                                  // the walking thread
    std::unique_ptr<WalkBatch> Spare();           // an empty batch for the walk to fill
    bool Hand(std::unique_ptr<WalkBatch> batch);  // a full one; false when told to quit
    std::unique_ptr<WalkBatch> Take();            // the next batch, or null at the end
    void Give(std::unique_ptr<WalkBatch> batch);  // a batch told, for reuse
    void Stop();                                  // stops the walking thread and waits for it

    ThreadLines& lines_;
    bool dat_;
    BodyScan scan_;
    bool lineTexts_;
    std::thread walker_;
    std::mutex lock_;  // guards what follows
    std::condition_variable changed_;
    std::deque<std::unique_ptr<WalkBatch>> ready_;
    std::vector<std::unique_ptr<WalkBatch>> spare_;
    bool walked_ = false;
    bool quit_ = false;
    std::exception_ptr failure_;
};

}  // namespace horofu
