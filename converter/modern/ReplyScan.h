// Reply numbers and web addresses in a line of a thread, for the modern page's links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace horofu {

enum class LinkKind : uint8_t { Reply, Url };

// A stretch of a line that may become a link: a reply number (">>12", or the "15" of
// ">>12-15" and ">>12,15") or an address.
struct LineLink {
    LinkKind kind;
    std::size_t begin;
    std::size_t end;
    uint32_t number;  // the post a reply names
};

// The posts a range such as ">>12-15" names besides its two ends.
struct ReplyRange {
    uint32_t from;
    uint32_t to;
};

// Finds, in order, the reply numbers after ">>" or "＞＞" (marks and digits half- or
// full-width; lists with commas, ranges with hyphens) and the addresses starting "http://",
// "https://", "ttp://" or "ttps://" in line. A number of more than nine digits is no reply;
// ">>>1" is a reply as ">>1" is; an address broken on purpose ("h ttp://", "xttp://") is none.
// links and ranges are emptied first; ranges may be null; addresses are skipped when urls is
// false. Called for every body line by both passes of the modern page.
void ScanLine(std::string_view line, std::vector<LineLink>& links, std::vector<ReplyRange>* ranges,
              bool urls = true);

}  // namespace horofu
