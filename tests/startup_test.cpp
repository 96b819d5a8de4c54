// Start-up's path work: the input from the command line, the extension check, the proposal.
#include <gtest/gtest.h>

#include "converter/StartupPaths.h"

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

TEST(StartupPaths, ExtensionCheckIgnoresAsciiCase) {
    EXPECT_TRUE(IsTextFilePath(Text(R"(D:\log\thread.txt)")));
    EXPECT_TRUE(IsTextFilePath(Text(R"(D:\log\thread.Txt)")));
    EXPECT_TRUE(IsTextFilePath(Text(".txt")));
    EXPECT_FALSE(IsTextFilePath(Text("txt")));
    EXPECT_FALSE(IsTextFilePath(Text("")));
    EXPECT_FALSE(IsTextFilePath(Text(R"(D:\log\thread.txt.bak)")));
    EXPECT_FALSE(IsTextFilePath(Text(R"(D:\log\thread_txt)")));
    // ｔ in full width (82 94) is not t.
    EXPECT_FALSE(IsTextFilePath(Text("a.tx\x82\x94")));
}

TEST(StartupPaths, ProposedOutputReplacesTheExtension) {
    EXPECT_EQ(ProposedOutputPath(Text(R"(D:\log\thread.TXT)")), Text(R"(D:\log\thread.html)"));
    EXPECT_EQ(ProposedOutputPath(Text(".txt")), Text(".html"));
}

}  // namespace
}  // namespace horofu
