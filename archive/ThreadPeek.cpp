// The first posts of a thread, read without the page's machinery.
#include "archive/ThreadPeek.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "archive/ThreadAddress.h"
#include "converter/modern/DatThread.h"
#include "converter/modern/PostHeader.h"
#include "converter/modern/ReplyScan.h"
#include "converter/modern/ThreadLines.h"
#include "runtime/PlatformFile.h"
#include "runtime/TextDecoder.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace {

constexpr std::size_t kPeekBytes = 16 * 1024;
constexpr std::size_t kHeadBytes = 4 * 1024;
constexpr std::size_t kCountPiece = 256 * 1024;
constexpr uint32_t kFirstPosts = 5;  // the posts where a previous thread is named
constexpr std::string_view kPreviousMark = "\xE5\x89\x8D\xE3\x82\xB9\xE3\x83\xAC";  // 前スレ

std::string Decoded(std::string_view bytes, bool complete) {
    const std::string encoding = ChooseEncoding(bytes, complete, "");
    const std::unique_ptr<TextDecoder> decoder = OpenDecoder(encoding);
    std::string text;
    if (decoder) decoder->Decode(bytes, true, text);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.erase(0, 3);
    return text;
}

// The address after "前スレ" on a line, as "board/key".
std::string PreviousNamed(std::string_view line, std::vector<LineLink>& links) {
    const std::size_t mark = line.find(kPreviousMark);
    if (mark == std::string_view::npos) return {};
    ScanLine(line, links, nullptr);
    for (const LineLink& link : links) {
        ThreadAddress address;
        if (link.kind == LinkKind::Url && link.begin > mark &&
            ParseThreadAddress(line.substr(link.begin, link.end - link.begin), address)) {
            return address.board + "/" + address.key;
        }
    }
    return {};
}

// The lines of a .dat that are not empty, its first bytes already read into start.
uint64_t CountLines(PlatformFile& file, std::string_view start, bool complete) {
    uint64_t lines = 0;
    char last = '\n';
    auto count = [&](std::string_view bytes) {
        for (const char *p = bytes.data(), *end = p + bytes.size(); p != end;) {
            const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (eol == nullptr) break;
            const bool empty = last == '\n' && (eol == p || (eol == p + 1 && *p == '\r'));
            if (!empty) ++lines;
            last = '\n';
            p = eol + 1;
        }
        if (!bytes.empty()) last = bytes.back();
    };
    count(start);
    if (!complete) {
        std::unique_ptr<char[]> piece(new char[kCountPiece]);
        std::size_t got = 0;
        while (file.Read(piece.get(), kCountPiece, got) && got > 0) {
            count(std::string_view(piece.get(), got));
        }
    }
    if (last != '\n') ++lines;
    return lines;
}

}  // namespace

uint64_t HeadHash(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (char c : bytes.substr(0, kHeadBytes)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

ThreadPeek PeekThread(const std::string& path, const std::string& fileName) {
    ThreadPeek peek;
    auto file = OpenPlatformFile(Text(path), OpenMode::Input, &peek.systemError);
    if (!file) return peek;
    std::string bytes(kPeekBytes, '\0');
    std::size_t got = 0, total = 0;
    while (total < bytes.size()) {
        if (!file->Read(bytes.data() + total, bytes.size() - total, got)) {
            peek.systemError = 0;
            return peek;
        }
        if (got == 0) break;
        total += got;
    }
    bytes.resize(total);
    peek.read = true;
    peek.head = HeadHash(bytes);
    const bool complete = total < kPeekBytes;

    const std::string text = Decoded(bytes, complete);
    std::vector<std::string_view> lines;
    for (std::size_t p = 0; p <= text.size();) {
        std::size_t end = text.find_first_of("\r\n", p);
        if (end == std::string::npos) {
            if (complete) lines.push_back(std::string_view(text).substr(p));
            break;  // a line cut by the end of what was read is left out
        }
        lines.push_back(std::string_view(text).substr(p, end - p));
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        p = end + 1;
    }
    // As the page reads a thread, blank lines are no post: the first line not blank tells the
    // form, and a .dat's first post titles it.
    std::size_t firstLine = 0;
    while (firstLine < lines.size() && lines[firstLine].empty()) ++firstLine;
    const DatForm form = firstLine == lines.size()
                             ? DatForm::None
                             : FindDatForm(lines[firstLine], IsDatFileName(fileName));
    const bool dat = form != DatForm::None || IsDatFileName(fileName);
    peek.title = Decoded(fileName, true);
    std::vector<LineLink> links;
    if (dat) {
        peek.posts = CountLines(*file, bytes, complete);
        DatPost post;
        uint32_t n = 0;
        for (std::string_view line : lines) {
            if (line.empty()) continue;
            if (n == kFirstPosts) break;
            ParseDatLine(line, n + 1, form == DatForm::None ? DatForm::Standard : form, post);
            if (n++ == 0 && !post.title.empty()) peek.title = post.title;
            std::string_view body = post.body;
            while (peek.previous.empty() && !body.empty()) {
                const std::size_t end = body.find('\n');
                peek.previous = PreviousNamed(body.substr(0, end), links);
                if (end == std::string_view::npos) break;
                body.remove_prefix(end + 1);
            }
        }
        return peek;
    }
    uint32_t previous = 0;
    uint32_t posts = 0;
    PostHeader header;
    for (std::string_view line : lines) {
        if (ParseHeader(line, previous, header)) {
            previous = header.number;
            if (++posts > kFirstPosts) break;
        } else if (posts > 0 && peek.previous.empty()) {
            peek.previous = PreviousNamed(line, links);
        }
    }
    return peek;
}

}  // namespace horofu
