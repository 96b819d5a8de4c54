// Titles compared as the parts of a series.
#include "archive/SeriesTitle.h"

namespace horofu {

std::string NormalizedTitle(std::string_view title) {
    std::string out;
    out.reserve(title.size());
    for (std::size_t i = 0; i < title.size();) {
        const auto b0 = static_cast<unsigned char>(title[i]);
        if (b0 == 0xEF && i + 2 < title.size()) {
            // U+FF01..U+FF5E, full-width ASCII: EF BC 81..EF BD 9E
            const auto b1 = static_cast<unsigned char>(title[i + 1]);
            const auto b2 = static_cast<unsigned char>(title[i + 2]);
            const unsigned code = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
            if (code >= 0xFF01 && code <= 0xFF5E) {
                out += static_cast<char>(code - 0xFEE0);
                i += 3;
                continue;
            }
        }
        if (title.substr(i, 3) == "\xE3\x80\x80") {  // the ideographic space
            out += ' ';
            i += 3;
            continue;
        }
        out += title[i++];
    }
    return out;
}

std::vector<SeriesReading> SeriesReadings(std::string_view title) {
    const std::string text = NormalizedTitle(title);
    struct Run {
        std::size_t begin, end;
    };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] >= '0' && text[i] <= '9') {
            std::size_t j = i;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
            runs.push_back({i, j});
            i = j;
        } else {
            ++i;
        }
    }
    // A number written without its leading zeros ("007" and "7" are one part).
    auto bare = [&](const Run& run) {
        std::size_t b = run.begin;
        while (b + 1 < run.end && text[b] == '0') ++b;
        return std::string_view(text).substr(b, run.end - b);
    };
    std::vector<SeriesReading> readings;
    for (std::size_t taken = runs.size(); taken-- > 0;) {
        const std::string_view digits = bare(runs[taken]);
        if (digits.size() > 9) continue;  // a date or a key, not a part number
        SeriesReading reading{{}, 0};
        for (char c : digits) reading.part = reading.part * 10 + static_cast<uint64_t>(c - '0');
        std::size_t done = 0;
        for (std::size_t r = 0; r < runs.size(); ++r) {
            reading.shape.append(text, done, runs[r].begin - done);
            if (r == taken) {
                reading.shape += '\x01';
            } else {
                reading.shape.append(bare(runs[r]));
            }
            done = runs[r].end;
        }
        reading.shape.append(text, done, std::string::npos);
        readings.push_back(std::move(reading));
    }
    return readings;
}

}  // namespace horofu
