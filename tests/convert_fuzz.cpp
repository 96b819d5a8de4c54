// libFuzzer target: any bytes as a thread, through field input and the conversion. Checks
// that the page keeps its frame, that every line ends in CR LF, and that no <, > or " from
// the thread reaches the page unescaped.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "converter/ConvertThreadFile.h"

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
    return 0;
}
