// The modern page's posts, written as the second reading goes.
#include "converter/modern/ModernPosts.h"

#include <algorithm>
#include <charconv>

#include "converter/modern/ModernScript.h"
#include "converter/modern/ModernStyle.h"
#include "converter/modern/ShownText.h"

namespace horofu {
namespace {

constexpr std::size_t kPreviewLines = 3;
constexpr std::size_t kPreviewBytes = 240;    // of body text
constexpr char kEllipsis[] = "\xE2\x80\xA6";  // …
constexpr char kGroupOpen[] = "<div class=\"posts\">\n";
// Posts follow each other without blanks between them: a browser makes a node of every blank
// between elements, and a long thread would have a hundred thousand of them.
constexpr char kGroupNext[] = "\n</div>\n<div class=\"posts\">\n";
constexpr char kRepliesLabel[] = " \xE8\xBF\x94\xE4\xBF\xA1:";  // " 返信:"
constexpr std::string_view kFilteredNote = "<span class=\"note\">NG</span>";
// By PostKind: the article's opening up to its id, and the note its header ends with.
constexpr std::string_view kArticleOpen[] = {
    "<article class=\"post\" id=\"", "<article class=\"post deleted\" id=\"",
    "<article class=\"post broken\" id=\"", "<article class=\"post board\" id=\""};
constexpr std::string_view kKindNote[] = {
    "",
    "<span class=\"note\">\xE5\x89\x8A\xE9\x99\xA4</span>",                          // 削除
    "<span class=\"note\">\xE5\xB4\xA9\xE3\x82\x8C\xE3\x81\x9F\xE8\xA1\x8C</span>",  // 崩れた行
    "<span class=\"note\">\xE6\x8E\xB2\xE7\xA4\xBA\xE6\x9D\xBF</span>",              // 掲示板
};

// The decimal digits of n.
std::string_view Digits(uint64_t n, char (&buffer)[24]) {
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, n);
    (void)error;
    return std::string_view(buffer, static_cast<std::size_t>(end - buffer));
}

// Whether text holds a character that could reorder what stands beside it: a right-to-left
// letter, an Arabic digit or a bidi control. Text without one stays in place beside other
// text, so it needs no isolating element. Errs on the side of isolating (Armenian, Latin
// ligatures and small forms share the byte ranges looked at).
bool CanReorder(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0xD6) continue;      // ASCII, continuation bytes, U+0080-U+057F
        if (c <= 0xDF) return true;  // U+0580-U+07FF: Hebrew, Arabic, Syriac, Thaana, NKo
        const auto c1 = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const auto c2 = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
        if (c == 0xE0 && c1 >= 0xA0 && c1 <= 0xA3) return true;  // U+0800-U+08FF
        if (c == 0xE2 && c1 == 0x80 && (c2 == 0x8F || (c2 >= 0xAA && c2 <= 0xAE)))
            return true;  // U+200F, U+202A-U+202E
        if (c == 0xE2 && c1 == 0x81 && c2 >= 0xA6 && c2 <= 0xA9) return true;    // U+2066-U+2069
        if (c == 0xEF && c1 >= 0xAC && c1 <= 0xBB) return true;                  // U+FB00-U+FEFF
        if (c == 0xF0 && (c1 == 0x90 || c1 == 0x9E) && c2 >= 0xA0) return true;  // U+10800-...
    }
    return false;
}

// The length of the longest start of text, at most limit bytes, that ends between characters.
std::size_t CutAt(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
    return limit;
}

}  // namespace

void PreviewBuilder::Start(const PostHeader& header) {
    // A preview is written once per link, so its header is kept small: fields unstyled, and
    // isolated only where they could reorder the text beside them (a name ending in U+202E
    // cannot reorder the date after it), as every element costs a browser loading a long
    // thread; the number is a link to the post (on a phone, the way from the preview to it).
    char digits[24];
    html_.assign("<span class=\"ph\">");
    for (const HeaderPart& part : header.parts) {
        if (part.kind == HeaderPartKind::Number) {
            const std::string_view n = Digits(header.number, digits);
            html_.append("<a class=\"num\" href=\"#").append(n).append("\">");
            AppendShown(part.text, Marks::Kept, html_);
            html_.append("</a>");
        } else if (part.kind == HeaderPartKind::Text) {
            AppendShown(part.text, Marks::Kept, html_);
        } else {
            const bool isolate = CanReorder(part.text);
            if (isolate) html_.append("<bdi>");
            AppendShown(part.text, part.kind == HeaderPartKind::Id ? Marks::Shown : Marks::Kept,
                        html_);
            if (isolate) html_.append("</bdi>");
        }
    }
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
    // As on the page, marks are shown from the first address on.
    const std::size_t address = std::min(line.substr(0, keep).find("ttp"), keep);
    AppendShown(line.substr(0, address), Marks::Kept, html_);
    AppendShown(line.substr(address, keep - address), Marks::Shown, html_);
    room_ -= keep;
    if (keep < line.size()) html_.append(kEllipsis);
    if (++lines_ == kPreviewLines || keep < line.size() || room_ == 0) collecting_ = false;
}

void PreviewMap::Keep(std::size_t post, std::string html) {
    const std::size_t cost = html.size() + kEntryBytes;
    if (cost > mostBytes_ - bytes_ || Has(post)) return;
    bytes_ += cost;
    if (post >= slots_.size()) slots_.resize(post + 1, 0);
    uint32_t place;
    if (free_.empty()) {
        place = static_cast<uint32_t>(held_.size());
        held_.push_back(std::move(html));
    } else {
        place = free_.back();
        free_.pop_back();
        held_[place] = std::move(html);
    }
    slots_[post] = place + 1;
}

void PreviewMap::Drop(std::size_t post) {
    if (!Has(post)) return;
    const uint32_t place = slots_[post] - 1;
    bytes_ -= held_[place].size() + kEntryBytes;
    std::string().swap(held_[place]);  // its memory goes now, not when the place is reused
    free_.push_back(place);
    slots_[post] = 0;
}

std::string PreviewBuilder::Take() {
    collecting_ = false;
    html_.append("</span>");
    // A copy of just the right size: the builder keeps its grown buffer for the next preview.
    return std::string(html_);
}

ModernPosts::ModernPosts(PageWriter& out, const ThreadIndex& index, PreviewMap& previews,
                         bool markFiltered)
    : out_(out), index_(index), previews_(previews), markFiltered_(markFiltered) {
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
    PutShown(out_, title, Marks::Kept);
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
    out_.Put("</head>\n<body>\n<main>\n<h1>");
    PutShown(out_, title, Marks::Kept);
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
    if (block_ == Block::Post) out_.Put("</article>");
    if (block_ == Block::Lead) out_.Put("\n");
    block_ = Block::None;
    textOpen_ = false;
    joinNext_ = false;
    emptyLines_ = 0;
}

void ModernPosts::StorePreview() {
    std::string html = preview_.Take();
    if (post_ != ThreadIndex::kNone) previews_.Keep(post_, std::move(html));
}

void ModernPosts::Header(const PostHeader& header) {
    CloseBlock();
    // Posts go in groups, which the browser skips while off-screen: a long thread loads
    // quickly when it has a few thousand groups to track rather than every post.
    if (written_ % kGroupPosts == 0) out_.Put(written_ == 0 ? kGroupOpen : kGroupNext);
    ++written_;
    post_ = index_.Find(header.number);
    number_ = header.number;
    previewLinks_ = 0;
    // Previews no later post links to are let go.
    if (post_ != ThreadIndex::kNone) {
        while (nextExpiry_ < expiries_.size() && expiries_[nextExpiry_].first < post_) {
            previews_.Drop(expiries_[nextExpiry_++].second);
        }
    }
    char digits[24];
    skipping_ = post_ != ThreadIndex::kNone && index_.Filtered(post_);
    if (site_ != nullptr && skipping_) site_->PostLeftOut();
    if (site_ != nullptr && !skipping_) site_->PostWritten(header);
    // Named by its number, for the readers that list a page's articles.
    const std::string_view number = Digits(header.number, digits);
    if (skipping_) {
        if (markFiltered_) {
            out_.Put("<article class=\"post filtered\" id=\"");
            out_.Put(number);
            out_.Put("\" aria-label=\"");
            out_.Put(number);
            out_.Put("\"><div class=\"ph\"><span class=\"num\">");
            out_.Put(number);
            out_.Put("</span>");
            out_.Put(kFilteredNote);
            out_.Put("</div></article>");
        }
        return;
    }
    out_.Put(kArticleOpen[static_cast<int>(header.kind)]);
    out_.Put(number);
    out_.Put("\" aria-label=\"");
    out_.Put(number);
    // A post is one line of markup until its text: the browser makes no node of blanks between
    // its elements, which a long thread has hundreds of thousands of.
    out_.Put("\"><div class=\"ph\">");
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
        seen_ += part.text.size();
        // An ID is compared by eye with others: what could hide in it is shown.
        PutShown(out_, part.text, part.kind == HeaderPartKind::Id ? Marks::Shown : Marks::Kept);
        if (cls != nullptr) out_.Put("</span>");
        // The count follows the ID it counts: "ID:abc (2/5)", "ID:abc(2/5) (2/5)" when the copy
        // has a viewer's count of its own.
        if (part.kind == HeaderPartKind::Id && counted && !idSeen &&
            part.text.find(header.idKey) != std::string_view::npos) {
            idSeen = true;
            out_.Put("<span class=\"count\"> (");
            out_.Put(Digits(index_.IdOrdinal(post_), digits));
            out_.Put("/");
            out_.Put(Digits(index_.IdTotal(post_), digits));
            out_.Put(")</span>");
        }
    }
    out_.Put(kKindNote[static_cast<int>(header.kind)]);
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
        if (last != ThreadIndex::kNone && last > post_ && !previews_.Has(post_)) {
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
        PutShown(out_, text, Marks::Shown);
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
    // A link costs about 40 bytes besides its text, its preview what it holds.
    const std::size_t target = index_.Find(link.number);
    const uint64_t budget = 2 * seen_ + kLinkSlack;
    if (target == ThreadIndex::kNone || index_.Filtered(target) || linkBytes_ + 40 > budget) {
        PutShown(out_, text, Marks::Kept);
        return;
    }
    char digits[24];
    out_.Put("<a class=\"re\" href=\"#");
    out_.Put(Digits(link.number, digits));
    const std::string* const preview = previews_.Find(target);
    const bool withPreview = preview != nullptr && linkBytes_ + 80 + preview->size() <= budget;
    if (!withPreview) {
        linkBytes_ += 40;
        out_.Put("\">");
        PutShown(out_, text, Marks::Kept);
        out_.Put("</a>");
        return;
    }
    linkBytes_ += 80 + preview->size();
    // The link is described by its preview: "v" with the post's number and the link's place.
    char ordinal[24];
    std::string id = "v";
    id.append(Digits(number_, digits)).append("-").append(Digits(++previewLinks_, ordinal));
    out_.Put("\" aria-describedby=\"");
    out_.Put(id);
    out_.Put("\">");
    PutShown(out_, text, Marks::Kept);
    out_.Put("</a><span class=\"pv\" id=\"");
    out_.Put(id);
    out_.Put("\">");
    out_.Put(*preview);
}

// Writes a line's text and its links as they are found.
struct ModernPosts::LinkWriter final : LinkVisitor {
    LinkWriter(ModernPosts& posts, std::string_view line) : posts(posts), line(line) {}
    void Link(const LineLink& link) override {
        PutShown(posts.out_, line.substr(done, link.begin - done), marks);
        posts.PutLink(line, link);
        // After an address, marks are shown: one could turn "gpj.exe" into what looks like
        // "exe.jpg" at the address's end.
        if (link.kind == LinkKind::Url) marks = Marks::Shown;
        done = link.end;
        ++links;
    }
    ModernPosts& posts;
    std::string_view line;
    std::size_t done = 0;  // the text written so far
    Marks marks = Marks::Kept;
    std::size_t links = 0;
};

void ModernPosts::Body(std::string_view line, bool continues) {
    if (site_ != nullptr && !skipping_) site_->BodyWritten(line, continues);
    if (skipping_) return;
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
        out_.Put("<div class=\"text\">");
        textOpen_ = true;
    } else if (!joinNext_) {
        out_.Put("\n");
    }
    for (; emptyLines_ > 0; --emptyLines_) out_.Put("\n");
    joinNext_ = continues;

    seen_ += line.size();
    LinkWriter writer(*this, line);
    ScanLine(line, writer);
    PutShown(out_, line.substr(writer.done), writer.marks);
    // The writer gathers its bytes until told to flush; a line adds at most a few times its
    // length (escapes, previews), so counting roughly is enough.
    unflushed_ += line.size() * 2 + 64 + writer.links * 512;
    if (unflushed_ >= kFlushEvery) {
        out_.Flush();
        unflushed_ = 0;
    }
}

void ModernPosts::End() {
    CloseBlock();
    if (written_ > 0) out_.Put("\n</div>\n");
    PutNavigation();
    out_.Put("</main>\n<script>\n");
    out_.Put(modern::kScript);
    out_.Put("</script>\n</body>\n</html>\n");
    out_.Flush();
}

}  // namespace horofu
