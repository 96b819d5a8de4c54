// A walk through a thread's lines run on a thread of its own, a few batches ahead of the page
// that takes what it found: finding lines and headers then overlaps with writing the page.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "converter/modern/PostHeader.h"

namespace horofu {

class WalkAhead {
  public:
    // Runs walk(*this) on a thread of its own; walk tells its lines, titles, headers and
    // body lines to Line, Title, Header and Body, and ends when Line returns false.
    explicit WalkAhead(std::function<void(WalkAhead&)> walk);
    ~WalkAhead();
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

    // False when no thread could be started: the caller then walks the thread itself.
    bool Started() const { return walker_.joinable(); }

    // The walking thread's side: what the walk found, recorded in order. Line returns false
    // once the page has stopped taking lines.
    bool Line(std::string_view line, bool continues);
    void Title(std::string_view text);
    void Header(const PostHeader& header);
    void Body(std::string_view line, bool continues);

    // The page's side: tells visit everything the walk found, in order, as Line, Title,
    // Header and Body (the walk's own calls, replayed); false when visit.Line asked to stop.
    // What ended the walk early (memory running out) is thrown here. Once it returns, the
    // walk has ended.
    template <typename Visit>
    bool Replay(Visit& visit);

  private:
    enum class Kind : uint8_t { Line, Title, Header, Body };
    struct Event {
        Kind kind;
        bool continues;
        uint32_t begin;  // into the batch's bytes, or its headers for a header
        uint32_t size;
    };
    struct Part {
        HeaderPartKind kind;
        uint32_t begin;
        uint32_t size;
    };
    struct Head {
        uint32_t number;
        PostKind kind;
        uint32_t partsBegin, partsEnd;
        uint32_t idBegin, idSize;
    };
    struct Batch {
        std::string bytes;
        std::vector<Event> events;
        std::vector<Head> heads;
        std::vector<Part> parts;
        void Clear() {
            bytes.clear();
            events.clear();
            heads.clear();
            parts.clear();
        }
    };

    uint32_t Keep(std::string_view text);  // copies text into the batch being filled
    void Record(Kind kind, std::string_view text, bool continues);
    void Pass();                 // hands the batch being filled on when it is full
    void Hand();                 // hands it on
    bool Take(Batch& batch);     // the next batch; false at the end
    void Return(Batch&& batch);  // a batch replayed, for reuse
    void Stop();                 // the page takes no more: the walk ends soon
    void Join();

    std::function<void(WalkAhead&)> walk_;
    Batch filling_;          // the walking thread's
    std::string_view line_;  // the line being told of, kept in filling_ at lineAt_
    uint32_t lineAt_ = 0;
    PostHeader replayed_;

    std::thread walker_;
    std::mutex lock_;  // guards what follows
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    std::vector<Batch> spare_;
    bool ended_ = false;
    std::atomic<bool> stopped_{false};
    std::exception_ptr failure_;
};

template <typename Visit>
bool WalkAhead::Replay(Visit& visit) {
    Batch batch;
    while (Take(batch)) {
        for (const Event& event : batch.events) {
            const std::string_view text(batch.bytes.data() + event.begin, event.size);
            switch (event.kind) {
                case Kind::Line:
                    if (!visit.Line(text, event.continues)) {
                        Stop();
                        Join();
                        return false;
                    }
                    break;
                case Kind::Title:
                    visit.Title(text);
                    break;
                case Kind::Header: {
                    const Head& head = batch.heads[event.begin];
                    replayed_.Clear();
                    replayed_.number = head.number;
                    replayed_.kind = head.kind;
                    for (uint32_t i = head.partsBegin; i < head.partsEnd; ++i) {
                        const Part& part = batch.parts[i];
                        replayed_.parts.push_back(
                            {part.kind,
                             std::string_view(batch.bytes.data() + part.begin, part.size)});
                    }
                    replayed_.idKey =
                        std::string_view(batch.bytes.data() + head.idBegin, head.idSize);
                    visit.Header(replayed_);
                    break;
                }
                case Kind::Body:
                    visit.Body(text, event.continues);
                    break;
            }
        }
        Return(std::move(batch));
    }
    Join();
    return true;
}

}  // namespace horofu
