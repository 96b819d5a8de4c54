// Index pages as HTML: plain tables that read without scripts.
#include "archive/SiteIndexPages.h"

#include <cstdio>

#include "archive/SitePage.h"
#include "converter/modern/ShownText.h"
#include "runtime/NameText.h"

namespace horofu {
namespace {

// サイトのトップ, 前スレ, 次スレ, スレッド, レス, 最初の書き込み, 最後の書き込み, サイズ
constexpr char kSiteTop[] =
    "\xE3\x82\xB5\xE3\x82\xA4\xE3\x83\x88\xE3\x81\xAE\xE3\x83\x88\xE3\x83\x83\xE3\x83\x97";
constexpr char kPrevious[] = "\xE2\x86\x90 \xE5\x89\x8D\xE3\x82\xB9\xE3\x83\xAC";
constexpr char kNext[] = "\xE6\xAC\xA1\xE3\x82\xB9\xE3\x83\xAC \xE2\x86\x92";
constexpr char kThreads[] = "\xE3\x82\xB9\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x89";
constexpr char kPosts[] = "\xE3\x83\xAC\xE3\x82\xB9";
constexpr char kFirstPost[] =
    "\xE6\x9C\x80\xE5\x88\x9D\xE3\x81\xAE\xE6\x9B\xB8\xE3\x81\x8D\xE8\xBE\xBC\xE3\x81\xBF";
constexpr char kLastPost[] =
    "\xE6\x9C\x80\xE5\xBE\x8C\xE3\x81\xAE\xE6\x9B\xB8\xE3\x81\x8D\xE8\xBE\xBC\xE3\x81\xBF";
constexpr char kSize[] = "\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA";
constexpr char kBoard[] = "\xE6\x9D\xBF";  // 板
constexpr char kRecent[] =
    "\xE6\x9C\x80\xE8\xBF\x91\xE3\x81\xAE\xE3\x82\xB9\xE3\x83\xAC";  // 最近のスレ
// 元ファイルなし (the source has gone)
constexpr char kGone[] =
    "\xE5\x85\x83\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAA\xE3\x81\x97";
constexpr char kTitle[] =
    "\xE3\x82\xB9\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x89\xE4\xBF\x9D\xE7\xAE\xA1\xE5\xBA\xAB";  // スレッド保管庫

std::string Escaped(std::string_view text) {
    std::string out;
    AppendShown(text, Marks::Kept, out);
    return out;
}

void Head(std::string& page, std::string_view title, std::string_view up) {
    page += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n";
    page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    page += Escaped(title);
    page += "</title>\n<link rel=\"stylesheet\" href=\"";
    page += up;
    page += "style.css\">\n</head>\n<body>\n<h1>";
    page += Escaped(title);
    page += "</h1>\n";
}

std::string Size(uint64_t bytes) {
    char text[32];
    if (bytes >= 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    }
    return text;
}

void ThreadRow(std::string& page, const SiteThread& t, std::string_view up, bool board) {
    page += "<tr><td><a href=\"";
    page += up;
    page += HrefSegment(t.board) + "/" + HrefSegment(t.key) + ".html\">";
    page += t.title.empty() ? Escaped(NameAsUtf8(t.key)) : Escaped(t.title);
    page += "</a>";
    if (t.gone) page += std::string(" <span class=\"gone\">(") + kGone + ")</span>";
    page += "</td>";
    if (board) page += "<td>" + Escaped(NameAsUtf8(t.board)) + "</td>";
    page += "<td class=\"n\" data-v=\"" + std::to_string(t.posts) + "\">" + std::to_string(t.posts);
    page += "</td>";
    if (!board) page += "<td class=\"d\">" + Escaped(t.firstDate) + "</td>";
    page += "<td class=\"d\" data-v=\"" + std::to_string(t.lastInstant) + "\">";
    page += Escaped(t.lastDate) + "</td>";
    if (!board) {
        page += "<td class=\"n\" data-v=\"" + std::to_string(t.size) + "\">" + Size(t.size);
        page += "</td>";
    }
    page += "</tr>\n";
}

}  // namespace

std::string BoardIndexHead(const std::string& board) {
    std::string page;
    Head(page, NameAsUtf8(board), "../");
    page +=
        std::string("<nav class=\"site\"><a href=\"../index.html\">") + kSiteTop + "</a></nav>\n";
    page += "<table class=\"threads\">\n<thead><tr><th data-sort>";
    page += kThreads;
    page += std::string("</th><th data-sort>") + kPosts + "</th><th data-sort>" + kFirstPost +
            "</th><th data-sort>" + kLastPost + "</th><th data-sort>" + kSize +
            "</th></tr></thead>\n<tbody>\n";
    return page;
}

void AppendBoardRow(std::string& page, const SiteThread& thread) {
    ThreadRow(page, thread, "../", false);
}

std::string_view BoardIndexEnd() {
    return "</tbody>\n</table>\n<script src=\"../sort.js\"></script>\n</body>\n</html>\n";
}

std::string SiteIndexPage(const std::vector<BoardSummary>& boards,
                          const std::vector<SiteThread>& recent) {
    std::string page;
    Head(page, kTitle, "");
    page += "<table class=\"threads\">\n<thead><tr><th data-sort>";
    page += std::string(kBoard) + "</th><th data-sort>" + kThreads + "</th><th data-sort>" +
            kPosts + "</th><th data-sort>" + kLastPost + "</th></tr></thead>\n<tbody>\n";
    for (const BoardSummary& b : boards) {
        page += "<tr><td><a href=\"" + HrefSegment(b.name) + "/index.html\">" +
                Escaped(NameAsUtf8(b.name));
        page += "</a></td><td class=\"n\" data-v=\"" + std::to_string(b.threads) + "\">" +
                std::to_string(b.threads) + "</td><td class=\"n\" data-v=\"" +
                std::to_string(b.posts) + "\">" + std::to_string(b.posts) + "</td>";
        page += "<td class=\"d\" data-v=\"" + std::to_string(b.lastInstant) + "\">" +
                Escaped(b.lastDate) + "</td></tr>\n";
    }
    page += std::string("</tbody>\n</table>\n<h2>") + kRecent + "</h2>\n";
    page += "<table class=\"threads\">\n<thead><tr><th data-sort>";
    page += std::string(kThreads) + "</th><th data-sort>" + kBoard + "</th><th data-sort>" +
            kPosts + "</th><th data-sort>" + kLastPost + "</th></tr></thead>\n<tbody>\n";
    for (const SiteThread& t : recent) ThreadRow(page, t, "", true);
    page += "</tbody>\n</table>\n<script src=\"sort.js\"></script>\n</body>\n</html>\n";
    return page;
}

std::string NavigationLine(std::string_view board, const SeriesPart* previous,
                           const SeriesPart* next) {
    std::string line = std::string("<nav class=\"site\"><a href=\"../index.html\">") + kSiteTop +
                       "</a><a href=\"index.html\">" + Escaped(NameAsUtf8(board)) + "</a>";
    auto part = [&](const SeriesPart* t, const char* label, const char* rel) {
        if (t == nullptr) return;
        line += std::string("<a rel=\"") + rel + "\" href=\"../" + HrefSegment(t->board) + "/" +
                HrefSegment(t->key) + ".html\" title=\"" + Escaped(t->title) + "\">" + label +
                "</a>";
    };
    part(previous, kPrevious, "prev");
    part(next, kNext, "next");
    return line + "</nav>";
}

}  // namespace horofu
