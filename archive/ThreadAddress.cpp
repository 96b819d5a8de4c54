// Reading the forms of thread addresses boards have used.
#include "archive/ThreadAddress.h"

#include <charconv>

namespace horofu {
namespace {

bool IsDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A board's name as addresses spell it.
bool IsBoardName(std::string_view s) {
    if (s.empty() || s.size() > 64) return false;
    for (char c : s) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

// The number at the start of s (at most nine digits), and how many bytes it took.
std::size_t TakeNumber(std::string_view s, uint32_t& value) {
    std::size_t n = 0;
    while (n < s.size() && n < 9 && s[n] >= '0' && s[n] <= '9') ++n;
    value = 0;
    if (n > 0) std::from_chars(s.data(), s.data() + n, value);
    return n;
}

// The post part after ".../KEY/": "12", "12-15", "-15", "12-", "l50", each perhaps with "n".
void ReadPostPart(std::string_view part, ThreadAddress& out) {
    if (!part.empty() && part.back() == 'n') part.remove_suffix(1);
    if (part.empty() || part[0] == '-') return;  // the whole thread, or up to a post: the top
    uint32_t value = 0;
    if (part[0] == 'l') {
        if (TakeNumber(part.substr(1), value) > 0) out.lastN = value;
        return;
    }
    if (TakeNumber(part, value) > 0) out.post = value;
}

// The value of name in a query ("bbs=news&key=123"), empty when missing.
std::string_view QueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t amp = query.find_first_of("&;");
        const std::string_view pair = query.substr(0, amp);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
            pair[name.size()] == '=') {
            return pair.substr(name.size() + 1);
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

}  // namespace

bool ParseThreadAddress(std::string_view address, ThreadAddress& out) {
    out = ThreadAddress{};
    if (!address.empty() && address[0] == 'h') address.remove_prefix(1);
    if (address.substr(0, 6) == "ttp://") {
        address.remove_prefix(6);
    } else if (address.substr(0, 7) == "ttps://") {
        address.remove_prefix(7);
    } else {
        return false;
    }
    const std::size_t slash = address.find('/');
    if (slash == std::string_view::npos || slash == 0) return false;
    std::string_view path = address.substr(slash);  // from the '/' after the host
    const std::size_t hash = path.find('#');
    if (hash != std::string_view::npos) path = path.substr(0, hash);

    // read.cgi?bbs=BOARD&key=KEY&st=N&to=M
    const std::size_t query = path.find("read.cgi?");
    if (query != std::string_view::npos) {
        const std::string_view q = path.substr(query + 9);
        const std::string_view board = QueryValue(q, "bbs");
        const std::string_view key = QueryValue(q, "key");
        if (!IsBoardName(board) || !IsDigits(key)) return false;
        out.board.assign(board);
        out.key.assign(key);
        uint32_t value = 0;
        if (TakeNumber(QueryValue(q, "st"), value) > 0) out.post = value;
        return true;
    }
    const std::size_t mark = path.find('?');
    if (mark != std::string_view::npos) path = path.substr(0, mark);

    // .../read.cgi/BOARD/KEY/PART
    const std::size_t cgi = path.find("/read.cgi/");
    if (cgi != std::string_view::npos) {
        std::string_view rest = path.substr(cgi + 10);
        const std::size_t a = rest.find('/');
        if (a == std::string_view::npos) return false;
        const std::string_view board = rest.substr(0, a);
        rest.remove_prefix(a + 1);
        const std::size_t b = rest.find('/');
        const std::string_view key = rest.substr(0, b);
        if (!IsBoardName(board) || !IsDigits(key)) return false;
        out.board.assign(board);
        out.key.assign(key);
        if (b != std::string_view::npos) ReadPostPart(rest.substr(b + 1), out);
        return true;
    }

    // A past log: /BOARD/.../KEY.html (or the .dat kept beside it)
    std::string_view last = path.substr(path.rfind('/') + 1);
    std::string_view key;
    for (std::string_view end : {".html", ".htm", ".dat"}) {
        if (last.size() > end.size() && last.substr(last.size() - end.size()) == end) {
            key = last.substr(0, last.size() - end.size());
            break;
        }
    }
    const std::size_t second = path.find('/', 1);
    if (!IsDigits(key) || second == std::string_view::npos ||
        second + 1 + last.size() > path.size()) {
        return false;
    }
    const std::string_view board = path.substr(1, second - 1);
    if (!IsBoardName(board) || board == "test") return false;
    if (path.substr(second + 1) == last) return false;  // /BOARD/KEY.html: no past-log folder
    out.board.assign(board);
    out.key.assign(key);
    return true;
}

}  // namespace horofu
