// What a site's page asks of the site, and what it tells it.
#include "archive/SitePage.h"

#include "archive/ThreadAddress.h"
#include "converter/modern/PostHeader.h"
#include "converter/modern/ShownText.h"
#include "runtime/NameText.h"

namespace horofu {

std::string HrefSegment(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : NameInAddress(name)) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

bool SitePage::LocalAddress(std::string_view address, std::string& href, std::string& preview) {
    ThreadAddress named;
    if (!ParseThreadAddress(address, named)) return false;
    const std::string id = named.board + "/" + named.key;
    if (named_.insert(id).second) facts_.names.push_back(id);
    // "l50" leads to a post that moves as the thread grows: marked, so the site knows.
    if (named.lastN > 0 && named_.insert(id + kCountedMark).second) {
        facts_.names.push_back(id + kCountedMark);
    }
    LinkedThread found;
    if (!lookup_(id, found)) return false;
    const LinkedThread* thread = &found;
    uint32_t post = named.post;
    if (named.lastN > 0) {
        post = thread->posts > named.lastN ? static_cast<uint32_t>(thread->posts - named.lastN + 1)
                                           : 1;
    }
    href.assign("../");
    href.append(HrefSegment(thread->board)).append("/").append(HrefSegment(thread->key));
    href.append(".html");
    if (post > 0) href.append("#").append(std::to_string(post));
    // The thread's title in the preview (its posts are in its own page).
    preview.assign("<span class=\"pv\"><span class=\"ph\">");
    AppendShown(thread->title, Marks::Kept, preview);
    preview.append("</span>");
    if (post > 0) preview.append("\n&gt;&gt;").append(std::to_string(post));
    preview.append("</span>");
    return true;
}

void SitePage::PostWritten(const PostHeader& header) {
    ++facts_.posts;
    SearchPost post;
    post.number = header.number;
    for (const HeaderPart& part : header.parts) {
        if (part.kind == HeaderPartKind::Date && post.date.empty()) post.date.assign(part.text);
        if (part.kind == HeaderPartKind::Name && post.name.empty()) post.name.assign(part.text);
    }
    if (facts_.search.empty()) facts_.firstDate = post.date;
    facts_.lastDate = post.date;
    facts_.search.push_back(std::move(post));
    joinNext_ = false;
}

// A filtered post counts among the thread's posts (a link to its last 50 counts them all), and
// nothing else of it is kept: not its date, not its name, not its text.
void SitePage::PostLeftOut() {
    ++facts_.posts;
    joinNext_ = false;
}

void SitePage::BodyWritten(std::string_view line, bool continues) {
    if (facts_.search.empty()) return;  // text before the first post
    std::vector<std::string>& lines = facts_.search.back().lines;
    if (joinNext_ && !lines.empty()) {
        lines.back().append(line);
    } else {
        lines.emplace_back(line);
    }
    joinNext_ = continues;
}

}  // namespace horofu
