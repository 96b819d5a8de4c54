// Facts as lines of tab-separated fields, ended by a line that says they are whole.
#include "archive/ThreadFacts.h"

#include <charconv>

#include "archive/SiteRecord.h"

namespace horofu {

std::string FactsText(const ThreadFacts& facts) {
    std::string text;
    std::string line;
    std::string names;
    for (const std::string& name : facts.names) {
        if (!names.empty()) names += ' ';
        names += name;
    }
    AppendField(line, "T");
    AppendField(line, facts.title);
    AppendField(line, std::to_string(facts.posts));
    AppendField(line, facts.firstDate);
    AppendField(line, facts.lastDate);
    AppendField(line, names);
    AppendField(line, std::to_string(facts.links));
    AppendField(line, std::to_string(facts.ngUndecided));
    text += line + '\n';
    for (const SearchPost& post : facts.search) {
        line.clear();
        AppendField(line, "P");
        AppendField(line, std::to_string(post.number));
        AppendField(line, post.date);
        AppendField(line, post.name);
        text += line + '\n';
        for (const std::string& body : post.lines) {
            line.clear();
            AppendField(line, "L");
            AppendField(line, body);
            text += line + '\n';
        }
    }
    text += "E\n";
    return text;
}

bool ReadFacts(std::string_view text, ThreadFacts& facts) {
    facts = ThreadFacts{};
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return false;
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (raw == "E") return !first && text.empty();
        const std::vector<std::string> f = SplitFields(raw);
        if (first) {
            if (f.size() != 8 || f[0] != "T") return false;
            facts.title = f[1];
            std::from_chars(f[2].data(), f[2].data() + f[2].size(), facts.posts);
            facts.firstDate = f[3];
            facts.lastDate = f[4];
            for (std::size_t p = 0; p < f[5].size();) {
                std::size_t q = f[5].find(' ', p);
                if (q == std::string::npos) q = f[5].size();
                if (q > p) facts.names.push_back(f[5].substr(p, q - p));
                p = q + 1;
            }
            std::from_chars(f[6].data(), f[6].data() + f[6].size(), facts.links);
            std::from_chars(f[7].data(), f[7].data() + f[7].size(), facts.ngUndecided);
            first = false;
        } else if (f.size() == 4 && f[0] == "P") {
            SearchPost post;
            std::from_chars(f[1].data(), f[1].data() + f[1].size(), post.number);
            post.date = f[2];
            post.name = f[3];
            facts.search.push_back(std::move(post));
        } else if (f.size() == 2 && f[0] == "L" && !facts.search.empty()) {
            facts.search.back().lines.push_back(f[1]);
        } else {
            return false;
        }
    }
    return false;
}

}  // namespace horofu
