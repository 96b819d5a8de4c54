// The platform's file layer: opens without sharing, the modes, temporary pages and identity.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/Channels.h"
#include "runtime/PlatformFile.h"
#include "tests/TempFolder.h"

namespace horofu {
namespace {

using testing::TempFolder;

#ifdef _WIN32
const std::string kSeparator = "\\";
#else
const std::string kSeparator = "/";
#endif

// The file's bytes, read through the layer under test; "<unreadable>" when it will not open.
std::string Contents(const std::string& path) {
    auto file = OpenPlatformFile(Text(path), OpenMode::Input);
    if (!file) return "<unreadable>";
    std::string bytes;
    char chunk[256];
    std::size_t got = 0;
    while (file->Read(chunk, sizeof chunk, got) && got > 0) bytes.append(chunk, got);
    return bytes;
}

void Create(const std::string& path, const std::string& bytes) {
    auto file = OpenPlatformFile(Text(path), OpenMode::Output);
    ASSERT_TRUE(file) << path;
    ASSERT_TRUE(file->Write(bytes.data(), bytes.size()));
    ASSERT_TRUE(file->Close());
}

std::size_t EntriesIn(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

TEST(PlatformFile, AHeldFileCannotBeOpenedAgain) {
    TempFolder folder;
    const std::string path = folder.Write("thread.txt", "first line\r\n");
    auto held = OpenPlatformFile(Text(path), OpenMode::Input);
    ASSERT_TRUE(held);

    EXPECT_FALSE(OpenPlatformFile(Text(path), OpenMode::Input));
    EXPECT_FALSE(OpenPlatformFile(Text(path), OpenMode::ReadWrite));
    EXPECT_FALSE(OpenPlatformFile(Text(path), OpenMode::Append));
    // Writing a page over the thread being read must leave the thread whole.
    EXPECT_FALSE(OpenPlatformFile(Text(path), OpenMode::Output));
    uint64_t size = 0;
    ASSERT_TRUE(held->Size(size));
    EXPECT_EQ(size, 12u);
    EXPECT_TRUE(held->Close());
    EXPECT_EQ(Contents(path), "first line\r\n");

    // A file held for writing is refused to readers as well.
    auto writer = OpenPlatformFile(Text(path), OpenMode::Append);
    ASSERT_TRUE(writer);
    EXPECT_FALSE(OpenPlatformFile(Text(path), OpenMode::Input));
    writer.reset();  // closing by destruction frees the file too
    EXPECT_TRUE(OpenPlatformFile(Text(path), OpenMode::Input));
}

TEST(PlatformFile, ChannelsRefuseTheFileAnotherChannelHolds) {
    TempFolder folder;
    const std::string path = folder.Write("thread.txt", "abc\r\n");
    OpenChannel(Text(path), 1, 1);
    OpenChannel(Text(path), 2, 2);
    EXPECT_EQ(GetChannelStatus(2), ChannelStatus::OpenFailed);
    WriteChannel(2, Text("<html>"));
    EXPECT_FALSE(CloseChannel(2));
    EXPECT_TRUE(CloseChannel(1));
    EXPECT_EQ(Contents(path), "abc\r\n");
}

TEST(PlatformFile, ModesCreateEmptyAndAppend) {
    TempFolder folder;
    const std::string missing = folder.Path("missing.txt");
    EXPECT_FALSE(OpenPlatformFile(Text(missing), OpenMode::Input));
    EXPECT_FALSE(FileExists(Text(missing)));

    // Output empties an existing file that nothing holds.
    const std::string page = folder.Write("page.html", "an older, longer page");
    auto output = OpenPlatformFile(Text(page), OpenMode::Output);
    ASSERT_TRUE(output);
    uint64_t size = 99;
    ASSERT_TRUE(output->Size(size));
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(output->Write("new", 3));
    char byte = 0;
    std::size_t got = 0;
    EXPECT_FALSE(output->Read(&byte, 1, got));  // opened for writing only
    ASSERT_TRUE(output->Close());
    EXPECT_EQ(Contents(page), "new");

    // Append writes after the last byte, and makes a missing file.
    OpenChannel(Text(page), 3, 3);
    WriteChannel(3, Text("er"));
    EXPECT_TRUE(CloseChannel(3));
    EXPECT_EQ(Contents(page), "newer");
    const std::string log = folder.Path("log.txt");
    OpenChannel(Text(log), 3, 3);
    WriteChannel(3, Text("one"));
    EXPECT_TRUE(CloseChannel(3));
    EXPECT_EQ(Contents(log), "one");

    // Read-write makes a missing file and starts at its beginning.
    const std::string both = folder.Path("both.txt");
    auto readWrite = OpenPlatformFile(Text(both), OpenMode::ReadWrite);
    ASSERT_TRUE(readWrite);
    ASSERT_TRUE(readWrite->Write("xyz", 3));
    ASSERT_TRUE(readWrite->SeekTo(1));
    char two[2] = {};
    ASSERT_TRUE(readWrite->Read(two, 2, got));
    EXPECT_EQ(std::string(two, got), "yz");
    ASSERT_TRUE(readWrite->Read(two, 2, got));
    EXPECT_EQ(got, 0u);  // the end is not an error
}

TEST(PlatformFile, TemporaryPageIsMadeBesideItsTargetAndMovedOverIt) {
    TempFolder folder;
    const std::string target = folder.Write("page.html", "old page");
    const Text temporary = CreateTemporaryBeside(Text(target));
    ASSERT_FALSE(temporary.Empty());
    EXPECT_NE(temporary.Bytes(), target);
    EXPECT_EQ(temporary.Bytes().rfind(folder.Root().string() + kSeparator, 0), 0u);
    EXPECT_EQ(EntriesIn(folder.Root()), 2u);
    EXPECT_EQ(Contents(temporary.Bytes()), "");
    const Text another = CreateTemporaryBeside(Text(target));
    ASSERT_FALSE(another.Empty());
    EXPECT_NE(another, temporary);
    EXPECT_TRUE(RemoveFile(another));
    EXPECT_FALSE(FileExists(another));
    EXPECT_FALSE(RemoveFile(another));

    Create(temporary.Bytes(), "new page");
    ASSERT_TRUE(ReplaceFile(temporary, Text(target)));
    EXPECT_EQ(Contents(target), "new page");
    EXPECT_FALSE(FileExists(temporary));
    EXPECT_EQ(EntriesIn(folder.Root()), 1u);

    // A target that does not exist yet is simply made.
    const Text second = CreateTemporaryBeside(Text(folder.Path("second.html")));
    ASSERT_FALSE(second.Empty());
    ASSERT_TRUE(ReplaceFile(second, Text(folder.Path("second.html"))));
    EXPECT_EQ(Contents(folder.Path("second.html")), "");
}

TEST(PlatformFile, TemporaryPageBesideAShiftJisName) {
    // ソ is 83 5C: its second byte is a backslash, but no separator.
    TempFolder folder;
    const std::string target = folder.Root().string() + kSeparator + "\x83\x5c.html";  // ソ.html
    Create(target, "old");
    const Text temporary = CreateTemporaryBeside(Text(target));
    ASSERT_FALSE(temporary.Empty());
    EXPECT_EQ(temporary.Bytes().rfind(folder.Root().string() + kSeparator, 0), 0u);
    EXPECT_EQ(EntriesIn(folder.Root()), 2u);
    ASSERT_TRUE(ReplaceFile(temporary, Text(target)));
    EXPECT_EQ(Contents(target), "");
}

TEST(PlatformFile, SameFileByIdentityNotBySpelling) {
    TempFolder folder;
    const std::string thread = folder.Write("thread.txt", "a");
    const std::string other = folder.Write("other.txt", "a");
    const std::string root = folder.Root().string();
    EXPECT_TRUE(IsSameFile(Text(thread), Text(thread)));
    EXPECT_TRUE(
        IsSameFile(Text(thread), Text(root + kSeparator + "." + kSeparator + "thread.txt")));
    EXPECT_FALSE(IsSameFile(Text(thread), Text(other)));
    EXPECT_FALSE(IsSameFile(Text(thread), Text(folder.Path("missing.txt"))));
    EXPECT_FALSE(IsSameFile(Text(folder.Path("missing.txt")), Text(folder.Path("missing.txt"))));
#ifdef _WIN32
    // Windows names ignore case.
    EXPECT_TRUE(IsSameFile(Text(thread), Text(folder.Path("THREAD.TXT"))));
#endif

    // Still answered while a channel holds one of them.
    auto held = OpenPlatformFile(Text(thread), OpenMode::Input);
    ASSERT_TRUE(held);
    EXPECT_TRUE(IsSameFile(Text(thread), Text(thread)));
    EXPECT_FALSE(IsSameFile(Text(thread), Text(other)));
#ifdef _WIN32
    EXPECT_TRUE(IsSameFile(Text(folder.Path("Thread.Txt")), Text(thread)));
#endif
}

}  // namespace
}  // namespace horofu
