// libFuzzer target: any bytes as a thread, through field input and the conversion. Checks
// that the page keeps its frame, that every line ends in CR LF, and that no <, > or " from
// the thread reaches the page unescaped. The modern page of the same bytes must be UTF-8,
// give each post an id of its own, and hold no markup but its own.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

#include "converter/ConvertThreadFile.h"
#include "converter/classic/ClassicPage.h"
#include "converter/modern/ModernScript.h"
#include "runtime/Channels.h"
#include "runtime/Utf8.h"

namespace {

using horofu::Text;

const std::string_view kHead =
    "<html>\r\n<body bgcolor=#F0FFE6 text=black link=blue alink=red vlink=#660099>\r\n\t<DL>\r\n";
const std::string_view kTail = "\t</DL>\r\n</body>\r\n</html>\r\n";
constexpr std::string_view kNameLabel = "\x96\xbc\x91\x4f\x81\x46";  // 名前：

[[noreturn]] void Fail(const char* what, std::string_view line) {
    std::fprintf(stderr, "invariant broken: %s in line [%.*s]\n", what,
                 static_cast<int>(line.size()), line.data());
    std::abort();
}

bool Clean(std::string_view s) {
    return s.find_first_of("<>\"") == std::string_view::npos;
}

// Takes prefix off the front of s, or fails.
void Expect(std::string_view& s, std::string_view prefix, std::string_view line) {
    if (s.substr(0, prefix.size()) != prefix) Fail("unexpected markup", line);
    s.remove_prefix(prefix.size());
}

// The bytes of s up to (not including) the first of stop, which must occur.
std::string_view Until(std::string_view& s, char stop, std::string_view line) {
    const auto end = s.find(stop);
    if (end == std::string_view::npos) Fail("unterminated part", line);
    const std::string_view part = s.substr(0, end);
    s.remove_prefix(end);
    return part;
}

// One record's line without its CR LF: two tabs, a fragment, <br>.
void CheckLine(std::string_view line) {
    std::string_view s = line;
    Expect(s, "\t\t", line);
    if (s.size() < 4 || s.substr(s.size() - 4) != "<br>") Fail("no <br> at the end", line);
    s.remove_suffix(4);
    if (s.empty()) return;
    if (s.substr(0, 4) == "<DD>") {
        s.remove_prefix(4);
        if (s.size() < 5 || s.substr(s.size() - 5) != "</DD>") Fail("no </DD>", line);
        s.remove_suffix(5);
        if (s.substr(0, 10) == "<a href=\"#") {
            s.remove_prefix(10);
            const std::string_view number = Until(s, '"', line);
            Expect(s, "\">&gt;&gt;", line);
            if (s.size() < 4 || s.substr(s.size() - 4) != "</a>") Fail("no </a>", line);
            s.remove_suffix(4);
            if (s != number || !Clean(number)) Fail("reply number", line);
        } else if (!Clean(s)) {
            Fail("unescaped body", line);
        }
        return;
    }
    Expect(s, "<DT><a name=\"", line);
    const std::string_view number = Until(s, '"', line);
    Expect(s, "\">", line);
    const std::string_view post = Until(s, '<', line);
    Expect(s, "</a>", line);
    Expect(s, kNameLabel, line);
    Expect(s, "<font color=green><b>", line);
    const std::string_view name = Until(s, '<', line);
    Expect(s, "</b></font>", line);
    if (s != "\x93\x8a\x8d\x65\x93\xfa --/--/--</DT>" && s != "\x81\x46 --/--/--</DT>") {
        Fail("date placeholder", line);
    }
    if (!Clean(number) || !Clean(post) || !Clean(name)) Fail("unescaped header", line);
}

struct Counter : horofu::ConversionListener {
    bool WantsEcho() const override { return true; }
    void Echo(const Text& line) override {
        const std::string_view record = line.View().substr(0, line.Size() - 2);
        if (record.find_first_of(std::string_view("\n\0", 2)) != std::string_view::npos) {
            Fail("a record holds a line end or zero byte", record);
        }
        ++records;
    }
    uint64_t records = 0;
};

bool AllDigits(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// Whether tag (from '<' to '>') is one the modern page writes in its body.
bool IsModernTag(std::string_view tag, std::set<std::string>& ids) {
    // The fixed tags, each between blanks.
    static const std::string kFixed =
        " </span> </a> </div> </article> </body> </html> <body> <h1> </h1> </head>"
        " <span class=\"ph\"> <div class=\"ph\"> <div class=\"text\">"
        " <div class=\"lead\"> <main> </main> <div class=\"posts\"> <bdi> </bdi> <span "
        "class=\"ctl\"> ";
    if (kFixed.find(" " + std::string(tag) + " ") != std::string::npos) return true;
    for (std::string_view cls : {"num", "name", "trip", "cap", "mail", "date", "id", "be", "badge",
                                 "extra", "count", "refs", "note"}) {
        if (tag == "<span class=\"" + std::string(cls) + "\">") return true;
    }
    auto between = [&](std::string_view open, std::string_view close) -> std::string_view {
        if (tag.size() < open.size() + close.size() || tag.substr(0, open.size()) != open ||
            tag.substr(tag.size() - close.size()) != close) {
            return "<";
        }
        return tag.substr(open.size(), tag.size() - open.size() - close.size());
    };
    for (std::string_view open :
         {"<article class=\"post\" id=\"", "<article class=\"post deleted\" id=\"",
          "<article class=\"post broken\" id=\"", "<article class=\"post board\" id=\"",
          "<article class=\"post filtered\" id=\""}) {
        // id="N" aria-label="N", both the post's number.
        if (const std::string_view id = between(open, "\">"); id.size() > 14) {
            const std::string_view number = id.substr(0, (id.size() - 14) / 2);
            if (AllDigits(number) &&
                id == std::string(number) + "\" aria-label=\"" + std::string(number)) {
                if (!ids.insert(std::string(id)).second) Fail("a post id repeated", tag);
                return true;
            }
        }
    }
    if (AllDigits(between("<a class=\"re\" href=\"#", "\">")) ||
        AllDigits(between("<a href=\"#", "\">")) ||
        AllDigits(between("<a class=\"num\" href=\"#", "\">"))) {
        return true;
    }
    // A reply link described by its preview, and the preview: ids "v" post "-" place.
    auto previewId = [&](std::string_view id) {
        const std::size_t dash = id.find('-');
        return id.size() > 2 && id[0] == 'v' && dash != std::string_view::npos &&
               AllDigits(id.substr(1, dash - 1)) && AllDigits(id.substr(dash + 1));
    };
    if (const std::string_view pv = between("<span class=\"pv\" id=\"", "\">"); previewId(pv)) {
        if (!ids.insert(std::string(pv)).second) Fail("a preview id repeated", tag);
        return true;
    }
    if (const std::string_view re = between("<a class=\"re\" href=\"#", "\">");
        re.find('"') != std::string_view::npos) {
        const std::size_t quote = re.find('"');
        return AllDigits(re.substr(0, quote)) && re.substr(quote, 20) == "\" aria-describedby=\"" &&
               previewId(re.substr(quote + 20));
    }
    const std::string_view url =
        between("<a class=\"url\" href=\"", "\" rel=\"nofollow noopener noreferrer\">");
    return (url.substr(0, 7) == "http://" || url.substr(0, 8) == "https://") &&
           url.find_first_of("<>\" \t\r\n") == std::string_view::npos;
}

// The modern page: valid UTF-8, unique post ids, only its own tags, everything else escaped.
void CheckModernPage(std::string_view page) {
    for (std::size_t i = 0; i < page.size();) {
        const std::size_t n = horofu::Utf8CharLength(page.substr(i));
        if (n == 0) Fail("not UTF-8", page.substr(i, 16));
        i += n;
    }
    const std::size_t style = page.find("</style>");
    if (page.substr(0, 15) != "<!DOCTYPE html>" || style == std::string_view::npos) {
        Fail("modern head", page.substr(0, 80));
    }
    // The script is the page's own, and last.
    const std::size_t script = page.find("<script>\n");
    if (script == std::string_view::npos ||
        page.substr(script) !=
            "<script>\n" + std::string(horofu::modern::kScript) + "</script>\n</body>\n</html>\n") {
        Fail("modern script", page.substr(script == std::string_view::npos ? 0 : script, 40));
    }
    // No control character reaches the page: a page shown in a terminal replays nothing.
    for (std::size_t i = 0; i < page.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(page[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F ||
            (c == 0xC2 && i + 1 < page.size() && (page[i + 1] & 0xE0) == 0x80)) {
            Fail("a control character", page.substr(i, 8));
        }
    }
    std::string_view s = page.substr(style + 8, script - style - 8);
    std::set<std::string> ids;
    while (!s.empty()) {
        const std::size_t open = s.find('<');
        const std::string_view text = s.substr(0, open);
        if (text.find_first_of(">\"") != std::string_view::npos) Fail("unescaped text", text);
        for (std::size_t amp = text.find('&'); amp != std::string_view::npos;
             amp = text.find('&', amp + 1)) {
            const std::string_view rest = text.substr(amp);
            if (rest.substr(0, 5) != "&amp;" && rest.substr(0, 4) != "&lt;" &&
                rest.substr(0, 4) != "&gt;" && rest.substr(0, 6) != "&quot;") {
                Fail("a bare &", rest.substr(0, 16));
            }
        }
        if (open == std::string_view::npos) break;
        const std::size_t close = s.find('>', open);
        if (close == std::string_view::npos) Fail("unterminated tag", s.substr(open, 40));
        if (!IsModernTag(s.substr(open, close - open + 1), ids)) {
            Fail("markup not the page's own", s.substr(open, close - open + 1));
        }
        s.remove_prefix(close + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Files in memory (/dev/shm), removed when the fuzzer ends.
    static const struct Scratch {
        std::string in = "/dev/shm/horofu-fuzz-" + std::to_string(::getpid()) + ".txt";
        std::string out = "/dev/shm/horofu-fuzz-" + std::to_string(::getpid()) + ".html";
        ~Scratch() {
            ::unlink(in.c_str());
            ::unlink(out.c_str());
        }
    } scratch;
    const std::string& in = scratch.in;
    const std::string& out = scratch.out;
    std::ofstream(in, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    Counter counter;
    const horofu::ConversionResult result = horofu::ConvertThreadFile(Text(in), Text(out), counter);
    if (result.outcome != horofu::ConversionOutcome::Done) Fail("conversion failed", "");
    std::ifstream page(out, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(page), {}};
    std::string_view s = bytes;

    if (s.substr(0, kHead.size()) != kHead) Fail("head lines", s.substr(0, 80));
    if (s.size() < kHead.size() + kTail.size() || s.substr(s.size() - kTail.size()) != kTail) {
        Fail("tail lines", s.substr(s.size() > 80 ? s.size() - 80 : 0));
    }
    s = s.substr(kHead.size(), s.size() - kHead.size() - kTail.size());
    uint64_t lines = 0;
    while (!s.empty()) {
        const auto end = s.find('\n');
        if (end == std::string_view::npos || end == 0 || s[end - 1] != '\r') {
            Fail("a line not ended by CR LF", s.substr(0, 80));
        }
        CheckLine(s.substr(0, end - 1));
        s.remove_prefix(end + 1);
        ++lines;
    }
    if (lines != counter.records || lines != result.records) Fail("one line per record", "");

    // Cut into small chunks on two threads (no echo), the page must be the same bytes as the
    // one converted record by record for the echo above.
    horofu::ConversionListener quiet;
    horofu::ChannelTable channels;
    channels.Open(Text(in), 1, 1);
    channels.Open(Text(out), 2, 2);
    horofu::ConvertClassicChannels(channels, quiet, horofu::ClassicTuning{64, 128, 2});
    std::ifstream chunked(out, std::ios::binary);
    if (std::string{std::istreambuf_iterator<char>(chunked), {}} != bytes) {
        Fail("chunked page differs", "");
    }

    // The modern page of the same bytes, read as a .dat now and then.
    horofu::PageOptions modern;
    modern.kind = horofu::PageKind::Modern;
    modern.title = Text(size > 0 && data[0] % 4 == 0 ? "fuzz.dat" : "fuzz.txt");
    if (horofu::ConvertThreadFile(Text(in), Text(out), quiet, modern).outcome !=
        horofu::ConversionOutcome::Done) {
        Fail("modern conversion failed", "");
    }
    std::ifstream modernPage(out, std::ios::binary);
    CheckModernPage(std::string{std::istreambuf_iterator<char>(modernPage), {}});
    return 0;
}
