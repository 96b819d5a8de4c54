// Writing the modern page's posts: headers with ID counts and the posts that reply, bodies
// with reply and address links, and the previews beside reply links.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "converter/PageWriter.h"
#include "converter/modern/PageSiteHooks.h"
#include "converter/modern/PostHeader.h"
#include "converter/modern/ReplyScan.h"
#include "converter/modern/ThreadIndex.h"

namespace horofu {

// Builds the preview of one post: its header and first lines, escaped, for a span that the
// stylesheet shows next to a hovered or focused reply link. The page writes the span's
// opening tag with an id of the link's own, so that no id of the page is repeated.
class PreviewBuilder {
  public:
    void Start(const PostHeader& header);
    bool Collecting() const { return collecting_; }
    // Adds a body line while the preview has room for more; an empty line before any text is
    // skipped.
    void AddLine(std::string_view line);
    // The finished preview; collecting ends.
    std::string Take();

  private:
    std::string html_;
    std::size_t lines_ = 0;
    std::size_t emptyLines_ = 0;  // empty lines waiting for text after them
    std::size_t room_ = 0;
    bool collecting_ = false;
};

// The previews of the posts still to be linked to, by post index, in bounded memory: a thread
// whose last post links to every post before it would otherwise hold a preview per post. A
// preview that finds no room is not kept, and the links to its post have none. The room is
// several times what a long thread of links far back needs (the benchmark's 257,000 posts
// hold 8 to 16 MiB).
class PreviewMap {
  public:
    static constexpr std::size_t kMostBytes = 32 << 20;

    explicit PreviewMap(std::size_t mostBytes = kMostBytes) : mostBytes_(mostBytes) {}
    // Keeps html as post's preview, unless the post has one or there is no room left.
    void Keep(std::size_t post, std::string html);
    // The post's preview, or null.
    const std::string* Find(std::size_t post) const {
        return post < slots_.size() && slots_[post] != 0 ? &held_[slots_[post] - 1] : nullptr;
    }
    bool Has(std::size_t post) const { return Find(post) != nullptr; }
    void Drop(std::size_t post);

  private:
    // What a preview is counted to cost besides its text.
    static constexpr std::size_t kEntryBytes = 64;
    // Looked up once per reply link: a slot per post (4 bytes) is found without hashing, and
    // the posts' slots stay few cache lines apart.
    std::vector<uint32_t> slots_;  // by post: 1 + the preview's place in held_, or 0
    std::vector<std::string> held_;
    std::vector<uint32_t> free_;  // places in held_ let go, for the next preview
    std::size_t bytes_ = 0;
    std::size_t mostBytes_;
};

// The second reading's writer. Called by the modern page with the thread's headers and body
// lines in order.
class ModernPosts {
  public:
    // markFiltered: a post the index has filtered out keeps its number, and nothing else;
    // else it is left out.
    ModernPosts(PageWriter& out, const ThreadIndex& index, PreviewMap& previews,
                bool markFiltered = false);

    // A page for a site (see PageSiteHooks); none by default. Called before Begin.
    void SetSite(PageSiteHooks* site) { site_ = site; }
    void Begin(std::string_view title);
    void Header(const PostHeader& header);
    // One body line; continues when the line goes on in the next call.
    void Body(std::string_view line, bool continues);
    void End();

  private:
    enum class Block { None, Lead, Post };
    struct LinkWriter;
    void CloseBlock();
    void StorePreview();
    void PutLink(std::string_view line, const LineLink& link);

    void PutNavigation();

    PageWriter& out_;
    PageSiteHooks* site_ = nullptr;
    std::string siteHref_, sitePreview_;
    const ThreadIndex& index_;
    PreviewMap& previews_;
    std::vector<std::pair<std::size_t, std::size_t>> expiries_;  // (last replier, post)
    std::size_t nextExpiry_ = 0;
    PreviewBuilder preview_;
    std::size_t post_ = ThreadIndex::kNone;      // the post being written
    uint32_t number_ = 0;                        // its number; 0 before the first post
    uint32_t previewLinks_ = 0;                  // reply links with previews in the post
    static constexpr uint64_t kGroupPosts = 50;  // posts in a group the browser may skip
    uint64_t written_ = 0;                       // posts written
    // Reply links and their previews (one copy per link) may add no more than twice the
    // thread's text seen so far, and a megabyte: in a thread of nothing but replies the
    // later reply marks stay text, and the page stays a few times the thread's size.
    static constexpr uint64_t kLinkSlack = 1 << 20;
    uint64_t seen_ = 0;
    uint64_t linkBytes_ = 0;
    Block block_ = Block::None;
    bool markFiltered_;
    bool skipping_ = false;  // the post being read is filtered out
    bool textOpen_ = false;
    bool joinNext_ = false;
    std::size_t emptyLines_ = 0;
    static constexpr std::size_t kFlushEvery = 128 * 1024;
    std::size_t unflushed_ = 0;  // about how many bytes the writer holds
};

}  // namespace horofu
