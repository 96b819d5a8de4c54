// The compact table of a site's threads: packed texts and an open-addressing index.
#include "archive/SiteTable.h"

#include <algorithm>

namespace horofu {
namespace {

uint64_t IdHash(std::string_view board, std::string_view key) {
    uint64_t hash = 14695981039346656037ull;
    for (std::string_view part : {board, std::string_view("/"), key}) {
        for (char c : part) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

void AppendText(std::string& text, std::string_view field) {
    for (std::size_t n = field.size();; n >>= 7) {
        text += static_cast<char>(n >= 0x80 ? (n & 0x7F) | 0x80 : n);
        if (n < 0x80) break;
    }
    text += field;
}

}  // namespace

std::string_view SiteTable::Text(std::size_t i, Field field) const {
    std::string_view text = rows_[i].text;
    for (int f = 0;; ++f) {
        std::size_t n = 0;
        for (int shift = 0; !text.empty(); shift += 7) {
            const auto b = static_cast<unsigned char>(text.front());
            text.remove_prefix(1);
            n |= std::size_t{b & 0x7Fu} << shift;
            if (b < 0x80) break;
        }
        n = std::min(n, text.size());
        if (f == field) return text.substr(0, n);
        text.remove_prefix(n);
    }
}

void SiteTable::Index(std::size_t i) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = IdHash(Board(i), Key(i)) & mask;; s = (s + 1) & mask) {
        if (slots_[s] == 0) {
            slots_[s] = static_cast<uint32_t>(i + 1);
            return;
        }
    }
}

std::size_t SiteTable::Find(std::string_view id) const {
    const std::size_t slash = id.find('/');
    if (slash == std::string_view::npos) return kNone;
    return Find(id.substr(0, slash), id.substr(slash + 1));
}

std::size_t SiteTable::Find(std::string_view board, std::string_view key) const {
    if (slots_.empty()) return kNone;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = IdHash(board, key) & mask; slots_[s] != 0; s = (s + 1) & mask) {
        const std::size_t i = slots_[s] - 1;
        if (Board(i) == board && Key(i) == key) return i;
    }
    return kNone;
}

std::size_t SiteTable::Add(std::string_view board, std::string_view key, bool& added) {
    const std::size_t found = Find(board, key);
    added = found == kNone;
    if (!added) return found;
    rows_.emplace_back();
    std::string& text = rows_.back().text;
    AppendText(text, board);
    AppendText(text, key);
    for (int f = kFileName; f < kFields; ++f) AppendText(text, "");
    // Half full at most, so that a search ends soon.
    if (rows_.size() * 2 > slots_.size()) {
        slots_.assign(std::max<std::size_t>(64, slots_.size() * 2), 0);
        for (std::size_t i = 0; i < rows_.size(); ++i) Index(i);
    } else {
        Index(rows_.size() - 1);
    }
    return rows_.size() - 1;
}

uint32_t SiteTable::FolderOf(std::string_view path, std::string_view& fileName) {
    const std::size_t cut = path.find_last_of("/\\") + 1;  // 0 for a bare name
    fileName = path.substr(cut);
    std::string folder(path.substr(0, cut));
    const auto [at, added] =
        folderNumbers_.emplace(std::move(folder), static_cast<uint32_t>(folders_.size()));
    if (added) folders_.push_back(at->first);
    return at->second;
}

std::string SiteTable::Source(std::size_t i) const {
    std::string source = rows_[i].folder < folders_.size() ? folders_[rows_[i].folder] : "";
    source += FileName(i);
    return source;
}

SiteThread SiteTable::Thread(std::size_t i) const {
    const Row& row = rows_[i];
    SiteThread t;
    t.board = Board(i);
    t.key = Key(i);
    t.source = Source(i);
    t.size = row.size;
    t.modified = row.modified;
    t.head = row.head;
    t.title = Title(i);
    t.posts = row.posts;
    t.firstDate = Text(i, kFirstDate);
    t.lastDate = Text(i, kLastDate);
    t.lastInstant = row.lastInstant;
    t.gone = row.gone;
    t.previous = Previous(i);
    const std::string_view names = Names(i);
    for (std::size_t p = 0; p < names.size();) {
        std::size_t q = names.find(' ', p);
        if (q == std::string_view::npos) q = names.size();
        if (q > p) t.names.emplace_back(names.substr(p, q - p));
        p = q + 1;
    }
    t.links = row.links;
    return t;
}

void SiteTable::Set(std::size_t i, const SiteThread& t) {
    std::string_view fileName;
    const uint32_t folder = FolderOf(t.source, fileName);
    Row& row = rows_[i];
    std::string names;
    for (const std::string& name : t.names) {
        if (!names.empty()) names += ' ';
        names += name;
    }
    std::string text;
    AppendText(text, Board(i));
    AppendText(text, Key(i));
    AppendText(text, fileName);
    AppendText(text, t.title);
    AppendText(text, t.firstDate);
    AppendText(text, t.lastDate);
    AppendText(text, t.previous);
    AppendText(text, names);
    text.shrink_to_fit();
    row.text = std::move(text);
    row.folder = folder;
    row.size = t.size;
    row.modified = t.modified;
    row.head = t.head;
    row.posts = t.posts;
    row.lastInstant = t.lastInstant;
    row.gone = t.gone;
    row.links = t.links;
}

}  // namespace horofu
