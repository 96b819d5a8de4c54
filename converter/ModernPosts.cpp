// The modern page's posts, written as the second reading goes.
#include "converter/ModernPosts.h"

#include <algorithm>
#include <charconv>

#include "converter/ModernStyle.h"
#include "runtime/ByteScan.h"

namespace horofu {
namespace {

constexpr std::size_t kPreviewLines = 3;
constexpr std::size_t kPreviewBytes = 240;                      // of body text
constexpr char kEllipsis[] = "\xE2\x80\xA6";                    // …
constexpr char kRepliesLabel[] = " \xE8\xBF\x94\xE4\xBF\xA1:";  // " 返信:"

// The decimal digits of n.
std::string_view Digits(uint64_t n, char (&buffer)[24]) {
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, n);
    (void)error;
    return std::string_view(buffer, static_cast<std::size_t>(end - buffer));
}

// The length of the longest start of text, at most limit bytes, that ends between characters.
std::size_t CutAt(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
    return limit;
}

}  // namespace

void AppendEscaped(std::string_view text, std::string& out) {
    static constexpr ByteSet kSpecial{'&', '<', '>', '"'};
    const char* p = text.data();
    const char* const end = p + text.size();
    for (;;) {
        const char* const stop = FindFirstOf(p, end, kSpecial);
        out.append(p, stop);
        if (stop == end) return;
        p = stop + 1;
        switch (*stop) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += "&quot;";
                break;
        }
    }
}

void PreviewBuilder::Start(const PostHeader& header) {
    // The header as plain text: a preview is written once per link, so it is kept small.
    html_.assign("<span class=\"pv\"><span class=\"ph\">");
    for (const HeaderPart& part : header.parts) AppendEscaped(part.text, html_);
    html_.append("</span>");
    lines_ = 0;
    emptyLines_ = 0;
    room_ = kPreviewBytes;
    collecting_ = true;
}

void PreviewBuilder::AddLine(std::string_view line) {
    if (!collecting_) return;
    if (line.empty()) {  // shown only when text follows
        if (lines_ > 0) ++emptyLines_;
        return;
    }
    for (; emptyLines_ > 0 && lines_ < kPreviewLines; --emptyLines_, ++lines_) html_ += '\n';
    emptyLines_ = 0;
    if (lines_ == kPreviewLines) {
        collecting_ = false;
        return;
    }
    const std::size_t keep = CutAt(line, room_);
    html_ += '\n';
    AppendEscaped(line.substr(0, keep), html_);
    room_ -= keep;
    if (keep < line.size()) html_.append(kEllipsis);
    if (++lines_ == kPreviewLines || keep < line.size() || room_ == 0) collecting_ = false;
}

std::string PreviewBuilder::Take() {
    collecting_ = false;
    html_.append("</span>");
    // A copy of just the right size: the builder keeps its grown buffer for the next preview.
    return std::string(html_);
}

ModernPosts::ModernPosts(PageWriter& out, const ThreadIndex& index, PreviewMap& previews)
    : out_(out), index_(index), previews_(previews) {
    // In order of last replier, then of post: counted into place, as both are post indexes.
    const std::size_t count = index_.PostCount();
    std::vector<uint32_t> starts(count + 1, 0);
    std::size_t total = 0;
    for (std::size_t post = 0; post < count; ++post) {
        const std::size_t last = index_.LastReplier(post);
        if (last != ThreadIndex::kNone) {
            ++starts[last + 1];
            ++total;
        }
    }
    for (std::size_t i = 1; i <= count; ++i) starts[i] += starts[i - 1];
    expiries_.resize(total);
    for (std::size_t post = 0; post < count; ++post) {
        const std::size_t last = index_.LastReplier(post);
        if (last != ThreadIndex::kNone) expiries_[starts[last]++] = {last, post};
    }
}

void ModernPosts::Begin(std::string_view title) {
    out_.Put("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n");
    out_.Put("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    out_.PutEscaped(title);
    const std::string_view stylesheet = site_ != nullptr ? site_->StylesheetHref() : "";
    if (stylesheet.empty()) {
        out_.Put("</title>\n<style>\n");
        out_.Put(modern::kStyle);
        out_.Put("</style>\n");
    } else {
        out_.Put("</title>\n<link rel=\"stylesheet\" href=\"");
        out_.PutEscaped(stylesheet);
        out_.Put("\">\n");
    }
    out_.Put("</head>\n<body>\n<h1>");
    out_.PutEscaped(title);
    out_.Put("</h1>\n");
    if (site_ != nullptr) site_->PageTitle(title);
    PutNavigation();
}

// The site's navigation line, below the title and at the end; nothing on a page of its own.
void ModernPosts::PutNavigation() {
    if (site_ == nullptr) return;
    const std::string_view line = site_->Navigation();
    if (line.empty()) return;
    out_.Put(line);
    out_.Put("\n");
}

void ModernPosts::CloseBlock() {
    if (preview_.Collecting()) StorePreview();
    if (textOpen_) out_.Put("</div>");
    if (block_ == Block::Post) out_.Put("\n</article>\n");
    if (block_ == Block::Lead) out_.Put("\n");
    block_ = Block::None;
    textOpen_ = false;
    joinNext_ = false;
    emptyLines_ = 0;
}

void ModernPosts::StorePreview() {
    std::string html = preview_.Take();
    if (post_ != ThreadIndex::kNone) previews_.emplace(post_, std::move(html));
}

void ModernPosts::Header(const PostHeader& header) {
    CloseBlock();
    if (site_ != nullptr) site_->PostWritten(header);
    post_ = index_.Find(header.number);
    // Previews no later post links to are let go.
    if (post_ != ThreadIndex::kNone) {
        while (nextExpiry_ < expiries_.size() && expiries_[nextExpiry_].first < post_) {
            previews_.erase(expiries_[nextExpiry_++].second);
        }
    }
    char digits[24];
    out_.Put("<article class=\"post\" id=\"");
    out_.Put(Digits(header.number, digits));
    out_.Put("\">\n<div class=\"ph\">");
    // An ID seen once gets no count.
    const bool counted = post_ != ThreadIndex::kNone && index_.IdTotal(post_) > 1;
    bool idSeen = false;
    for (const HeaderPart& part : header.parts) {
        const char* cls = PartClass(part.kind);
        if (cls != nullptr) {
            out_.Put("<span class=\"");
            out_.Put(std::string_view(cls));
            out_.Put("\">");
        }
        out_.PutEscaped(part.text);
        if (cls != nullptr) out_.Put("</span>");
        // The count follows the ID it counts: "ID:abc (2/5)".
        if (part.kind == HeaderPartKind::Id && counted && !idSeen &&
            part.text.substr(3) == header.idKey) {
            idSeen = true;
            out_.Put("<span class=\"count\"> (");
            out_.Put(Digits(index_.IdOrdinal(post_), digits));
            out_.Put("/");
            out_.Put(Digits(index_.IdTotal(post_), digits));
            out_.Put(")</span>");
        }
    }
    if (post_ != ThreadIndex::kNone) {
        const auto replies = index_.RepliesTo(post_);
        if (!replies.empty()) {
            out_.Put("<span class=\"refs\">");
            out_.Put(kRepliesLabel);
            for (const uint32_t replier : replies) {
                const std::string_view n = Digits(replier, digits);
                out_.Put(" <a href=\"#");
                out_.Put(n);
                out_.Put("\">&gt;&gt;");
                out_.Put(n);
                out_.Put("</a>");
            }
            out_.Put("</span>");
        }
        // A post a later one links to keeps its preview until that one is written.
        const std::size_t last = index_.LastReplier(post_);
        if (last != ThreadIndex::kNone && last > post_ && previews_.count(post_) == 0) {
            preview_.Start(header);
        }
    }
    out_.Put("</div>");
    block_ = Block::Post;
    unflushed_ += 1024;
}

void ModernPosts::PutLink(std::string_view line, const LineLink& link) {
    const std::string_view text = line.substr(link.begin, link.end - link.begin);
    if (link.kind == LinkKind::Url && site_ != nullptr &&
        site_->LocalAddress(text, siteHref_, sitePreview_)) {
        // A thread of the same site: its page, with a preview as a reply link has.
        out_.Put("<a class=\"re\" href=\"");
        out_.PutEscaped(siteHref_);
        out_.Put("\">");
        out_.PutEscaped(text);
        out_.Put("</a>");
        out_.Put(sitePreview_);
        return;
    }
    if (link.kind == LinkKind::Url) {
        out_.Put("<a class=\"url\" href=\"");
        if (text.starts_with("ttp")) out_.Put("h");
        out_.PutEscaped(text);
        out_.Put("\" rel=\"nofollow noopener noreferrer\">");
        out_.PutEscaped(text);
        out_.Put("</a>");
        return;
    }
    const std::size_t target = index_.Find(link.number);
    if (target == ThreadIndex::kNone) {
        out_.PutEscaped(text);
        return;
    }
    char digits[24];
    out_.Put("<a class=\"re\" href=\"#");
    out_.Put(Digits(link.number, digits));
    out_.Put("\">");
    out_.PutEscaped(text);
    out_.Put("</a>");
    const auto preview = previews_.find(target);
    if (preview != previews_.end()) out_.Put(preview->second);
}

void ModernPosts::Body(std::string_view line, bool continues) {
    if (site_ != nullptr) site_->BodyWritten(line, continues);
    if (preview_.Collecting()) {
        preview_.AddLine(line);
        if (!preview_.Collecting()) StorePreview();
    }
    if (line.empty() && !joinNext_) {
        ++emptyLines_;  // written only when text follows in the same block
        return;
    }
    if (block_ == Block::None) {
        out_.Put("<div class=\"lead\">");
        block_ = Block::Lead;
        textOpen_ = true;
    } else if (!textOpen_) {
        out_.Put("\n<div class=\"text\">");
        textOpen_ = true;
    } else if (!joinNext_) {
        out_.Put("\n");
    }
    for (; emptyLines_ > 0; --emptyLines_) out_.Put("\n");
    joinNext_ = continues;

    ScanLine(line, links_, nullptr);
    std::size_t done = 0;
    for (const LineLink& link : links_) {
        out_.PutEscaped(line.substr(done, link.begin - done));
        PutLink(line, link);
        done = link.end;
    }
    out_.PutEscaped(line.substr(done));
    // The writer gathers its bytes until told to flush; a line adds at most a few times its
    // length (escapes, previews), so counting roughly is enough.
    unflushed_ += line.size() * 2 + 64 + links_.size() * 512;
    if (unflushed_ >= kFlushEvery) {
        out_.Flush();
        unflushed_ = 0;
    }
}

void ModernPosts::End() {
    CloseBlock();
    PutNavigation();
    out_.Put("</body>\n</html>\n");
    out_.Flush();
}

}  // namespace horofu
