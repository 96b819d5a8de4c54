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

// What ScanLine finds, told as it is found: a line of megabytes may hold millions of links,
// which are not gathered.
class LinkVisitor {
  public:
    virtual void Link(const LineLink& link) = 0;
    // A range, told after the link of its second end.
    virtual void Range(const ReplyRange&) {}

  protected:
    ~LinkVisitor() = default;
};

// Finds, in order, the reply numbers after ">>" or "＞＞" (marks and digits half- or
// full-width; lists with commas, ranges with hyphens) and the addresses starting "http://",
// "https://", "ttp://" or "ttps://" in line, and tells them to visitor. A number of more than
// nine digits is no reply; ">>>1" is a reply as ">>1" is; an address broken on purpose ("h
// ttp://", "xttp://") is none. Addresses are skipped when urls is false. Called for every body
// line by both passes of the modern page.
void ScanLine(std::string_view line, LinkVisitor& visitor, bool urls = true);

// ScanLine gathering the links in links and the ranges in ranges (unless null); both are
// emptied first. For short lines.
void ScanLine(std::string_view line, std::vector<LineLink>& links, std::vector<ReplyRange>* ranges,
              bool urls = true);

}  // namespace horofu
