// The modern page: the thread is read twice, first for what the page needs of the whole
// thread (posts, replies, ID counts, previews of posts replied to ahead), then to write it.
// A thread that cannot be read twice (a pipe) is copied to a scratch file as it is read.
#include "converter/ModernPage.h"

#include <new>
#include <string>

#include "converter/DatThread.h"
#include "converter/ModernPosts.h"
#include "converter/PageWriter.h"
#include "converter/PostHeader.h"
#include "converter/ReplyScan.h"
#include "converter/ThreadIndex.h"
#include "converter/ThreadLines.h"
#include "runtime/Channels.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

constexpr int kSpool = 3;                   // the scratch copy of a thread read from a pipe
constexpr uint64_t kProgressEvery = 4096;   // lines between progress reports
constexpr std::size_t kLongestRange = 100;  // posts of a range that get a back-link each

// Goes through a thread's lines, telling visit each line as read and each header and body
// line as understood. A first line shaped like a .dat line, or a .dat file name, makes the
// thread a .dat. Returns false when visit asked to stop.
template <typename Visit>
bool WalkThread(ThreadLines& lines, bool& dat, Visit& visit) {
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
            std::string_view body = post.body;
            for (;;) {
                const std::size_t end = body.find('\n');
                visit.Body(body.substr(0, end), false);
                if (end == std::string_view::npos) break;
                body.remove_prefix(end + 1);
            }
        } else if (!dat && whole && ParseHeader(line, previous, header)) {
            previous = header.number;
            visit.Header(header);
        } else {
            visit.Body(line, continues);
        }
    }
    return true;
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

// The first reading: posts, replies, IDs, the .dat title and previews wanted early.
struct FirstReading {
    Pacer& pacer;
    ThreadLines& lines;
    ThreadIndex& index;
    PreviewMap& previews;
    std::string title;
    PreviewBuilder preview;
    std::size_t previewPost = 0;
    std::vector<LineLink> links;
    std::vector<ReplyRange> ranges;

    bool Line(std::string_view, bool) { return pacer.Step(lines, 0); }
    void Title(std::string_view text) { title.assign(text); }
    void Header(const PostHeader& header) {
        if (preview.Collecting()) previews.emplace(previewPost, preview.Take());
        if (index.AddPost(header.number, header.idKey)) {
            previewPost = index.PostCount() - 1;
            preview.Start(header);
        }
    }
    void Body(std::string_view line, bool) {
        if (preview.Collecting()) {
            preview.AddLine(line);
            if (!preview.Collecting()) previews.emplace(previewPost, preview.Take());
        }
        ScanLine(line, links, &ranges, false);
        for (const LineLink& link : links) {
            if (link.kind == LinkKind::Reply) index.AddReply(link.number);
        }
        for (const ReplyRange& range : ranges) {
            if (range.to - range.from > kLongestRange) continue;
            for (uint32_t n = range.from + 1; n < range.to; ++n) index.AddReply(n);
        }
    }
    void Finish() {
        if (preview.Collecting()) previews.emplace(previewPost, preview.Take());
    }
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
    void Title(std::string_view) {}
    void Header(const PostHeader& header) {
        ++headers;
        posts.Header(header);
    }
    void Body(std::string_view line, bool continues) { posts.Body(line, continues); }
};

bool HasNonAsciiByte(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
    return false;
}

// The title of a page whose thread names none: the file's name without its folders, in UTF-8
// (a name that is not UTF-8 is taken for Shift-JIS).
std::string TitleFromFileName(const Text& path) {
    std::string name;
    const std::string_view bytes = path.View();
    if (bytes.empty()) return "thread";
    std::unique_ptr<TextDecoder> decoder;
    if (!HasNonAsciiByte(bytes) || LooksLikeUtf8(bytes, true)) {
        decoder = std::make_unique<Utf8Decoder>();
    } else {
        decoder = OpenPlatformDecoder("CP932");
        if (!decoder) decoder = std::make_unique<Utf8Decoder>();
    }
    decoder->Decode(bytes, true, name);
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    return name.empty() ? "thread" : name;
}

ConversionResult ConvertModern(ConversionListener& listener, const PageOptions& options) {
    ConversionResult result;
    if (GetChannelStatus(kInput) != ChannelStatus::Open) {
        CloseChannel(kOutput);
        CloseChannel(kInput);
        result.outcome = ConversionOutcome::InputNotOpened;
        return result;
    }
    if (GetChannelStatus(kOutput) != ChannelStatus::Open) {
        CloseChannel(kOutput);
        CloseChannel(kInput);
        result.outcome = ConversionOutcome::OutputNotCreated;
        return result;
    }
    const uint64_t total = ChannelSizeAtOpen(kInput);
    // A thread that cannot be read again from its start is copied aside while first read.
    const bool rewinds = SeekChannel(kInput, 0);
    if (!rewinds) AttachChannel(OpenScratchFile(), 0, kSpool);
    const bool spooled = !rewinds && GetChannelStatus(kSpool) == ChannelStatus::Open;

    Pacer pacer(listener, total);
    ThreadIndex index;
    PreviewMap previews;
    bool dat = IsDatFileName(TitleFromFileName(options.title));
    bool readable = rewinds || spooled;
    std::string encoding;
    std::string title;
    if (readable) {
        ThreadLines lines(kInput, options.inputEncoding, spooled ? kSpool : 0);
        readable = lines.Usable();
        FirstReading first{pacer, lines, index, previews, {}, {}, 0, {}, {}};
        if (readable) WalkThread(lines, dat, first);
        first.Finish();
        index.Finish();
        encoding = lines.Encoding();
        title = std::move(first.title);
        result.undecodable = lines.Undecodable();
    }
    const int source = spooled ? kSpool : kInput;
    readable = readable && GetChannelStatus(kInput) == ChannelStatus::Open &&
               GetChannelStatus(source) == ChannelStatus::Open && SeekChannel(source, 0);

    PageWriter out;
    ModernPosts posts(out, index, previews);
    posts.SetSite(options.site);
    posts.Begin(title.empty() ? TitleFromFileName(options.title) : title);
    if (readable && !pacer.Stopped()) {
        ThreadLines lines(source, encoding);
        std::unique_ptr<ShiftJisEncoder> encoder;
        if (listener.WantsEcho()) encoder = OpenShiftJisEncoder();
        SecondReading second{pacer, lines, total, posts, listener, encoder.get(), 0, 0, {}};
        WalkThread(lines, dat, second);
        result.records = second.records;
        result.posts = second.headers;
        listener.Progress(total * 2, total * 2);
    }
    posts.End();
    out.Flush();

    result.bytesWritten = ChannelPosition(kOutput);
    const bool readOk = readable && GetChannelStatus(kInput) == ChannelStatus::Open &&
                        GetChannelStatus(source) == ChannelStatus::Open;
    const bool written = CloseChannel(kOutput);
    CloseChannel(kInput);
    if (spooled || !rewinds) CloseChannel(kSpool);
    if (pacer.Stopped()) {
        result.outcome = ConversionOutcome::Stopped;
    } else if (!readOk) {
        result.outcome = ConversionOutcome::ReadFailed;
    } else if (!written) {
        result.outcome = ConversionOutcome::WriteFailed;
    }
    return result;
}

}  // namespace

ConversionResult ConvertModernChannels(ConversionListener& listener, const PageOptions& options) {
    try {
        return ConvertModern(listener, options);
    } catch (const std::bad_alloc&) {
        // Out of memory (a line of hundreds of megabytes, say): the page is incomplete, and
        // the caller removes it.
        CloseChannel(kOutput);
        CloseChannel(kInput);
        CloseChannel(kSpool);
        ConversionResult result;
        result.outcome = ConversionOutcome::OutOfMemory;
        return result;
    }
}

}  // namespace horofu
