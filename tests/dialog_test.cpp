// File dialog logic: filter text, initial directory and name, the request's fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/FileDialogRequest.h"
#include "runtime/FileFilter.h"
#include "runtime/PathParts.h"
#include "runtime/Split.h"
#include "runtime/TerminalFileChoice.h"

namespace horofu {
namespace {

using namespace std::string_literals;

// The patterns of a filter text in order; checks that it ends in two zero bytes.
std::vector<std::string> Patterns(const Text& filter) {
    EXPECT_GE(filter.Size(), 2u);
    EXPECT_EQ(filter.View().substr(filter.Size() - 2), std::string_view("\0\0", 2));
    std::vector<std::string> patterns;
    for (const FilterEntry& e : FilterEntries(filter)) patterns.push_back(e.pattern.Bytes());
    return patterns;
}

using Order = std::vector<std::string>;
const std::string kHtml = "*.htm;*.html", kExe = "*.exe", kTxt = "*.txt", kAll = "*.*",
                  kDat = "*.dat", kThreads = "*.txt;*.dat";

TEST(FileFilter, MatchingEntryFirstThenTextExecutableHtml) {
    const Text all("htm;exe;txt");
    EXPECT_EQ(Patterns(FilterText(all, PathExtension(Text("a.exe")))),
              (Order{kExe, kTxt, kHtml, kAll}));
    EXPECT_EQ(Patterns(FilterText(all, PathExtension(Text("a.doc")))),
              (Order{kTxt, kExe, kHtml, kAll}));
    const Text two("htm;txt");
    EXPECT_EQ(Patterns(FilterText(two, PathExtension(Text("a.html")))), (Order{kHtml, kTxt, kAll}));
    // The first-entry test is case-sensitive; the keys are not.
    EXPECT_EQ(Patterns(FilterText(two, PathExtension(Text("a.HTML")))), (Order{kTxt, kHtml, kAll}));
    EXPECT_EQ(Patterns(FilterText(Text("TXT"), Text("*"))), (Order{kTxt, kAll}));
    // An extension the list does not offer puts nothing first.
    EXPECT_EQ(Patterns(FilterText(Text("txt"), Text("html"))), (Order{kTxt, kAll}));
    EXPECT_EQ(Patterns(FilterText(Text(), Text("txt"))), (Order{kAll}));
    // The thread kinds: DAT after text, then the entry for both; DAT first for a .dat.
    EXPECT_EQ(Patterns(FilterText(Text("txt;dat;exe"), Text("txt"))),
              (Order{kTxt, kDat, kThreads, kExe, kAll}));
    EXPECT_EQ(Patterns(FilterText(Text("txt;dat"), Text("dat"))),
              (Order{kDat, kTxt, kThreads, kAll}));
    EXPECT_EQ(Patterns(FilterText(Text("dat"), Text("*"))), (Order{kDat, kAll}));
}

TEST(FileFilter, TheModernPageFollowsTheClassicOne) {
    // HTMLファイル(*.html), then HTMLファイル・UTF-8 新形式(*.html), whatever comes first.
    const Text classic("HTML\x83\x74\x83\x40\x83\x43\x83\x8b(*.html)");
    const Text modern(
        "HTML\x83\x74\x83\x40\x83\x43\x83\x8b\x81\x45UTF-8 \x90\x56\x8c\x60\x8e\xae(*.html)");
    std::vector<FilterEntry> e = FilterEntries(FilterText(Text("html;modern"), Text("html")));
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].display, classic);
    EXPECT_EQ(e[1].display, modern);
    EXPECT_EQ(e[1].pattern, Text(kHtml));
    e = FilterEntries(FilterText(Text("txt;html;modern"), Text("txt")));
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[2].display, modern);
}

TEST(PathParts, ExtensionNeedsADotInsideThePath) {
    EXPECT_EQ(PathExtension(Text("D:\\log\\thread.html")), Text("html"));
    EXPECT_EQ(PathExtension(Text("a.tar.gz")), Text("gz"));
    EXPECT_EQ(PathExtension(Text("readme")), Text("*"));
    EXPECT_EQ(PathExtension(Text(".txt")), Text("*"));
    EXPECT_EQ(PathExtension(Text("a.")), Text("*"));
}

TEST(PathParts, DirectoryEndsAtTheLastBackslashOfItsOwn) {
    const Text cwd("C:\\work");
    auto dir = [&](const char* path) { return PathDirectory(Text(path), cwd, '\\'); };
    EXPECT_EQ(dir("D:\\log\\thread.html"), Text("D:\\log\\"));
    EXPECT_EQ(dir("thread.html"), Text("C:\\work\\"));
    EXPECT_EQ(dir("*.txt"), Text("C:\\work\\"));
    // As SplitLast sees it: a backslash at the first byte never counts, one at the last byte
    // is passed over for the one before it.
    EXPECT_EQ(dir("\\thread.html"), Text("C:\\work\\"));
    EXPECT_EQ(dir("D:\\log\\"), Text("D:\\"));
    EXPECT_EQ(dir("\\"), Text("C:\\work\\"));
    // D:\log\ソフト.html: ソ is 83 5C, its second byte is no separator.
    EXPECT_EQ(dir("D:\\log\\\x83\x5c\x83\x74\x83\x67.html"), Text("D:\\log\\"));
    // 表 (95 5C) alone, and D:\ソ whose last byte is 5C.
    EXPECT_EQ(dir("\x95\x5c.txt"), Text("C:\\work\\"));
    EXPECT_EQ(dir("D:\\\x83\x5c"), Text("D:\\"));
    // D:\亜\x.txt: 亜 is 88 9F; its trail byte 9F is in the lead range, so only a walk from
    // the start knows that the backslash after it is a separator.
    EXPECT_EQ(dir("D:\\\x88\x9f\\x.txt"), Text("D:\\\x88\x9f\\"));
    // A half-width katakana byte (B1) is a character of one byte.
    EXPECT_EQ(dir("D:\\\xb1\\x.txt"), Text("D:\\\xb1\\"));
}

TEST(PathParts, DirectoryLeavesTheLastSplitAlone) {
    ASSERT_EQ(SplitLast(Text("x:0y:0z"), Text(":0")), 1);
    PathDirectory(Text("D:\\log\\a.txt"), Text("C:\\"), '\\');
    EXPECT_EQ(LastRight(), Text("z"));
}

TEST(PathParts, RootsGetNoSecondSeparator) {
    EXPECT_EQ(PathDirectory(Text("x.txt"), Text("C:\\"), '\\'), Text("C:\\"));
    EXPECT_EQ(DirectoryWithSeparator(Text("D:\\\x83\x5c"), '\\'), Text("D:\\\x83\x5c\\"));
    EXPECT_EQ(PathDirectory(Text("x.txt"), Text("/"), '/'), Text("/"));
    EXPECT_EQ(PathDirectory(Text("/home/u/t.html"), Text("/"), '/'), Text("/home/u/"));
    // POSIX paths are not walked as Shift-JIS: UTF-8 あ (E3 81 82) before a slash.
    EXPECT_EQ(PathDirectory(Text("\xe3\x81\x82/x"), Text("/"), '/'), Text("\xe3\x81\x82/"));
}

TEST(FileDialogRequest, InitialNameIsTheWholePathOnlyInTheCurrentDirectory) {
    const Text path("D:\\log\\thread.html");
    const Text dir("D:\\log\\");
    EXPECT_EQ(InitialFileName(path, dir, Text("C:\\work"), '\\'), Text("thread.html"));
    EXPECT_EQ(InitialFileName(path, dir, Text("D:\\log"), '\\'), path);
    EXPECT_EQ(InitialFileName(Text("*.txt"), Text("C:\\work\\"), Text("C:\\work"), '\\'),
              Text("*.txt"));
    // The name after a directory that ends inside no character: D:\log\ソフト.html.
    const Text soft("D:\\log\\\x83\x5c\x83\x74\x83\x67.html");
    const FileDialogRequest r =
        BuildFileDialogRequest(Text("html"), soft, Text("t"), false, Text("C:\\"), '\\');
    EXPECT_EQ(r.initialDirectory, Text("D:\\log\\"));
    EXPECT_EQ(FileNameInBuffer(r.fileName), Text("\x83\x5c\x83\x74\x83\x67.html"));
}

// TEXTファイル(*.txt) and すべてのファイル(*.*)
const std::string kTextEntry = "TEXT\x83\x74\x83\x40\x83\x43\x83\x8b(*.txt)\0*.txt\0"s;
const std::string kAllEntry =
    "\x82\xb7\x82\xd7\x82\xc4\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b(*.*)\0*.*\0"s;
// HTMLファイル(*.html)
const std::string kHtmlEntry = "HTML\x83\x74\x83\x40\x83\x43\x83\x8b(*.html)\0*.htm;*.html\0"s;

TEST(FileDialogRequest, TheConvertersOpenAndSaveCalls) {
    const FileDialogRequest r = BuildFileDialogRequest(Text("txt"), Text("*.txt"), Text("title"),
                                                       true, Text("C:\\work"), '\\');
    EXPECT_EQ(r.filter.Bytes(), kTextEntry + kAllEntry + std::string(1, '\0'));
    EXPECT_EQ(r.initialDirectory, Text("C:\\work\\"));
    EXPECT_EQ(FileNameInBuffer(r.fileName), Text("*.txt"));
    EXPECT_EQ(r.defaultExtension, Text("txt"));

    const FileDialogRequest save = BuildFileDialogRequest(
        Text("html"), Text("D:\\log\\thread.html"), Text("title"), false, Text("C:\\work"), '\\');
    EXPECT_EQ(save.filter.Bytes(), kHtmlEntry + kAllEntry + std::string(1, '\0'));
    // A path without an extension gives "*" as the default extension.
    EXPECT_EQ(
        BuildFileDialogRequest(Text("html"), Text("readme"), Text(), false, Text("C:\\"), '\\')
            .defaultExtension,
        Text("*"));
}

TEST(FileDialogRequest, LongNamesAreCutToLeaveTheTerminatingZero) {
    const std::string a259(259, 'a');
    EXPECT_EQ(FileNameInBuffer(MakeFileNameBuffer(Text(a259))), Text(a259));
    EXPECT_EQ(FileNameInBuffer(MakeFileNameBuffer(Text(std::string(300, 'a')))), Text(a259));
    // 258 bytes and 表 (95 5C): the character does not fit whole, so it goes.
    const std::string a258(258, 'a');
    const FileNameBuffer cut = MakeFileNameBuffer(Text(a258 + "\x95\x5c"));
    EXPECT_EQ(FileNameInBuffer(cut), Text(a258));
    EXPECT_EQ(cut[258], '\0');
    // 257 bytes and 表 fit exactly.
    EXPECT_EQ(FileNameInBuffer(MakeFileNameBuffer(Text(std::string(257, 'a') + "\x95\x5c"))),
              Text(std::string(257, 'a') + "\x95\x5c"));
    // A buffer the dialog filled to the last byte is read whole.
    FileNameBuffer full;
    full.fill('x');
    EXPECT_EQ(Len(FileNameInBuffer(full)), 260);
}

TEST(TerminalFileChoice, AnswerBecomesAPathInTheInitialDirectory) {
    const FileDialogRequest r = BuildFileDialogRequest(Text("txt"), Text("*.txt"), Text("t"), true,
                                                       Text("/home/u"), kPosixSeparator);
    auto answer = [&](const char* typed) { return FilePromptAnswer(r, Text(typed), '/'); };
    EXPECT_EQ(answer(""), Text());
    EXPECT_EQ(answer(" \t\r\n"), Text());
    EXPECT_EQ(answer("t.txt\n"), Text("/home/u/t.txt"));
    EXPECT_EQ(answer("/tmp/a.txt"), Text("/tmp/a.txt"));
    EXPECT_EQ(answer(" \"/tmp/a b.txt\" \n"), Text("/tmp/a b.txt"));
    // The default extension goes to a name without a dot, as the dialog adds it.
    EXPECT_EQ(answer("thread"), Text("/home/u/thread.txt"));
    EXPECT_EQ(answer("a.b/thread"), Text("/home/u/a.b/thread.txt"));
    EXPECT_EQ(answer("logs/"), Text("/home/u/logs/"));
    // The initial directory is the root.
    const FileDialogRequest root = BuildFileDialogRequest(Text("txt"), Text("*.txt"), Text("t"),
                                                          true, Text("/"), kPosixSeparator);
    EXPECT_EQ(FilePromptAnswer(root, Text("t.txt"), '/'), Text("/t.txt"));
}

}  // namespace
}  // namespace horofu
