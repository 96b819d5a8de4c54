// Start-up's path work: the input from the command line, the extension check, the proposal.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "app/StartupPaths.h"
#include "runtime/FileFilter.h"
#include "runtime/PathParts.h"

namespace horofu {
namespace {

// The input path start-up ends up with, or "ask" when the open dialog would be shown.
Text InputFrom(const char* commandLine) {
    const Text candidate = InputCandidate(Text(commandLine));
    return AsksForInput(candidate) ? Text("ask") : InputPath(candidate);
}

TEST(StartupPaths, InputComesAfterTheProgramPath) {
    EXPECT_EQ(InputFrom(R"("E:\tools\Horofu.exe" "D:\log\thread.txt")"),
              Text(R"(D:\log\thread.txt)"));
    EXPECT_EQ(InputCandidate(Text(R"("E:\tools\Horofu.exe" "D:\log\thread.txt")")),
              Text(R"("D:\log\thread.txt")"));
    EXPECT_EQ(InputFrom(R"(E:\tools\Horofu.exe D:\a b.txt)"), Text(R"(D:\a b.txt)"));
    // Renamed, or with the name inside a folder name: the file is still found.
    EXPECT_EQ(InputFrom(R"("C:\x\conv.exe" "D:\a.txt")"), Text(R"(D:\a.txt)"));
    EXPECT_EQ(InputFrom(R"("C:\Horofu.exe files\Horofu.exe" "D:\a.txt")"), Text(R"(D:\a.txt)"));
    EXPECT_EQ(InputFrom(R"("C:\old\Horofu.exe.bak\h.exe" D:\Horofu.exe.txt)"),
              Text(R"(D:\Horofu.exe.txt)"));
    // A program path with a blank inside is only whole when quoted.
    EXPECT_EQ(InputFrom(R"("C:\Program Files\Horofu\Horofu.exe" D:\a.txt)"), Text(R"(D:\a.txt)"));
    // No blank between the closing quote and the argument.
    EXPECT_EQ(InputFrom(R"("C:\x\Horofu.exe""D:\a.txt")"), Text(R"(D:\a.txt)"));
}

TEST(StartupPaths, BlanksAndQuotesAroundTheInput) {
    EXPECT_EQ(InputFrom("\"C:\\x\\Horofu.exe\"  \t \"D:\\a.txt\"  "), Text(R"(D:\a.txt)"));
    EXPECT_EQ(InputFrom("C:\\x\\Horofu.exe\tD:\\a.txt\t"), Text(R"(D:\a.txt)"));
    // A quote that is never closed, on either side.
    EXPECT_EQ(InputFrom(R"("C:\x\Horofu.exe" "D:\a b.txt)"), Text(R"(D:\a b.txt)"));
    EXPECT_EQ(InputFrom(R"("C:\x\Horofu.exe" D:\a b.txt")"), Text(R"(D:\a b.txt)"));
    // Shift-JIS paths pass unchanged: D:\ソフト.txt (ソ is 83 5C).
    EXPECT_EQ(InputFrom("\"C:\\x\\Horofu.exe\" D:\\\x83\x5c\x83\x74\x83\x67.txt"),
              Text("D:\\\x83\x5c\x83\x74\x83\x67.txt"));
}

TEST(StartupPaths, ShortOrMissingInputAsks) {
    EXPECT_EQ(InputFrom(R"("E:\tools\Horofu.exe")"), Text("ask"));
    EXPECT_EQ(InputFrom(R"(E:\tools\Horofu.exe)"), Text("ask"));
    EXPECT_EQ(InputFrom(R"("E:\tools\Horofu.exe)"), Text("ask"));  // quote never closed
    EXPECT_EQ(InputFrom(R"(Horofu.exe "")"), Text("ask"));
    EXPECT_EQ(InputFrom(""), Text("ask"));
    EXPECT_EQ(InputFrom(R"(Horofu.exe .txt)"), Text("ask"));
    EXPECT_EQ(InputFrom(R"(Horofu.exe x.txt)"), Text("x.txt"));
}

// Text files end in .txt, thread files in .txt or .dat, in any ASCII case.
TEST(StartupPaths, FileKindsByExtensionInAnyAsciiCase) {
    for (const char* path : {R"(D:\log\thread.txt)", R"(D:\log\thread.Txt)", ".txt"}) {
        EXPECT_TRUE(IsTextFilePath(Text(path)) && IsThreadFilePath(Text(path))) << path;
    }
    // ｔ in full width (82 94) is not t.
    for (const char* path :
         {"txt", "", R"(D:\log\thread.txt.bak)", R"(D:\log\thread_txt)", "a.tx\x82\x94", "a.dat"}) {
        EXPECT_FALSE(IsTextFilePath(Text(path))) << path;
    }
    for (const char* path : {R"(D:\log\1234567890.dat)", R"(D:\log\1234567890.DaT)"}) {
        EXPECT_TRUE(IsThreadFilePath(Text(path)) && IsDatFilePath(Text(path))) << path;
    }
    for (const char* path : {R"(D:\log\notes.doc)", R"(D:\log\a.data)", "dat"}) {
        EXPECT_FALSE(IsThreadFilePath(Text(path))) << path;
    }
    EXPECT_FALSE(IsDatFilePath(Text("a.txt")));
}

// Enter alone gives the classic page for a .txt and the modern one for a .dat; the type the
// user picks wins, and all files keeps what was proposed.
TEST(StartupPaths, TheSaveTypeSaysWhichPage) {
    const Text txt(R"(D:\log\thread.txt)"), dat(R"(D:\log\123.DAT)");
    EXPECT_EQ(ProposedSaveType(txt), 1u);
    EXPECT_EQ(ProposedSaveType(dat), 2u);
    EXPECT_EQ(ProposedOutputPath(dat), Text(R"(D:\log\123.html)"));
    EXPECT_EQ(ProposedOutputPath(Text(".txt")), Text(".html"));
    EXPECT_EQ(PageKindOfSaveType(ProposedSaveType(txt), txt), PageKind::Classic);
    EXPECT_EQ(PageKindOfSaveType(ProposedSaveType(dat), dat), PageKind::Modern);
    EXPECT_EQ(PageKindOfSaveType(2, txt), PageKind::Modern);
    EXPECT_EQ(PageKindOfSaveType(1, dat), PageKind::Classic);
    EXPECT_EQ(PageKindOfSaveType(3, txt), PageKind::Classic);
    EXPECT_EQ(PageKindOfSaveType(3, dat), PageKind::Modern);
    // Type 2 is the modern page's entry in the save dialog's filter.
    const std::vector<FilterEntry> types =
        FilterEntries(FilterText(Text(kSaveDialogTypes), PathExtension(ProposedOutputPath(txt))));
    ASSERT_EQ(types.size(), 3u);
    EXPECT_NE(types[1].display.View().find("UTF-8"), std::string_view::npos);
}

}  // namespace
}  // namespace horofu
