// The platform's file layer: locking, the modes, pages put in place, and identity.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include "platform/posix/NamedPageFile.h"
#endif
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

#ifdef _WIN32
    EXPECT_FALSE(OpenPlatformFile(Text(path), OpenMode::Input));
#else
    // Readers share a thread: one file converted twice at once.
    EXPECT_TRUE(OpenPlatformFile(Text(path), OpenMode::Input));
#endif
    int error = 0;
    EXPECT_FALSE(OpenPlatformFile(Text(path), OpenMode::ReadWrite, &error));
    EXPECT_NE(error, 0);
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

using PageCreator = std::unique_ptr<PendingPage> (*)(const Text&, int*);
// Each way a platform makes page files: POSIX's named files as well as its unnamed ones.
#ifdef _WIN32
const PageCreator kCreators[] = {CreatePageBeside};
#else
const PageCreator kCreators[] = {CreatePageBeside, CreateNamedPageBeside};
#endif

// Writes bytes into a new pending page for target and closes the writing handle.
std::unique_ptr<PendingPage> WrittenPage(const std::string& target, const std::string& bytes,
                                         PageCreator create = CreatePageBeside) {
    auto page = create(Text(target), nullptr);
    if (!page) return nullptr;
    auto file = page->OpenForWriting();
    if (!file || !file->Write(bytes.data(), bytes.size()) || !file->Close()) return nullptr;
    return page;
}

TEST(PlatformFile, APageTakesItsTargetsPlaceOnlyWhenAllowed) {
    for (PageCreator create : kCreators) {
        TempFolder folder;
        const std::string target = folder.Write("page.html", "old page");
#ifndef _WIN32
        std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_write |
                                                 std::filesystem::perms::group_read);
#endif
        auto page = WrittenPage(target, "new page", create);
        ASSERT_TRUE(page);
        // Whatever the page file is called while written, nobody else may read it.
#ifndef _WIN32
        for (const auto& entry : std::filesystem::directory_iterator(folder.Root())) {
            if (entry.path() == target) continue;
            EXPECT_EQ(entry.status().permissions() & std::filesystem::perms::all,
                      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        }
#else
        for (const auto& entry : std::filesystem::directory_iterator(folder.Root())) {
            if (entry.path() == target) continue;
            EXPECT_EQ(Contents(entry.path().string()), "<unreadable>");
        }
#endif
        EXPECT_EQ(page->PutInPlace(false), PlaceResult::TargetExists);
        EXPECT_EQ(Contents(target), "old page");
        EXPECT_EQ(page->PutInPlace(true), PlaceResult::Placed);
        EXPECT_EQ(Contents(target), "new page");
#ifndef _WIN32
        EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read);
        // Run by root, a page keeps its owner and group too.
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
            ASSERT_EQ(WrittenPage(target, "owned", create)->PutInPlace(true), PlaceResult::Placed);
            struct stat st {};
            ASSERT_EQ(::stat(target.c_str(), &st), 0);
            EXPECT_EQ(st.st_uid, 65534u);
            EXPECT_EQ(st.st_gid, 65534u);
            EXPECT_EQ(st.st_mode & 0777, 0640u);
            ASSERT_EQ(WrittenPage(target, "new page", create)->PutInPlace(true),
                      PlaceResult::Placed);
        }
#endif
        page.reset();
        EXPECT_EQ(Contents(target), "new page");
        EXPECT_EQ(EntriesIn(folder.Root()), 1u);

        // A page never put in place leaves nothing; a new target is simply made.
        ASSERT_TRUE(WrittenPage(target, "abandoned", create));
        EXPECT_EQ(EntriesIn(folder.Root()), 1u);
        const std::string second = folder.Path("second.html");
        EXPECT_EQ(WrittenPage(second, "second", create)->PutInPlace(false), PlaceResult::Placed);
        EXPECT_EQ(Contents(second), "second");
        EXPECT_EQ(EntriesIn(folder.Root()), 2u);

        // Of two pages for one new target, the second is told.
        const std::string third = folder.Path("third.html");
        auto first = WrittenPage(third, "first", create);
        auto later = WrittenPage(third, "later", create);
        ASSERT_TRUE(first && later);
        EXPECT_EQ(first->PutInPlace(false), PlaceResult::Placed);
        EXPECT_EQ(later->PutInPlace(false), PlaceResult::TargetExists);
        EXPECT_EQ(Contents(third), "first");

        int error = 0;
        EXPECT_FALSE(create(Text(folder.Path("no/such/folder.html")), &error));
        EXPECT_NE(error, 0);
    }
}

#ifndef _WIN32
TEST(PlatformFile, ASignalThatEndsTheProgramRemovesANamedPageFile) {
    TempFolder folder;
    const std::string target = folder.Write("page.html", "old page");
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ, SIGABRT, SIGSEGV}) {
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            auto page = WrittenPage(target, "half a page", CreateNamedPageBeside);
            if (!page || EntriesIn(folder.Root()) != 2) ::_exit(1);
            const rlimit noCore{0, 0};  // SIGQUIT, SIGXFSZ, SIGABRT, SIGSEGV would dump one
            ::setrlimit(RLIMIT_CORE, &noCore);
            ::raise(signal);
            ::_exit(2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signal << ", exit " << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(EntriesIn(folder.Root()), 1u);
        EXPECT_EQ(Contents(target), "old page");
    }
}

TEST(PlatformFile, ANamedPageFileLeftByAKilledRunGoesWithTheNextOne) {
    TempFolder folder;
    const std::string target = folder.Path("page.html");
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        auto page = WrittenPage(target, "half a page", CreateNamedPageBeside);
        ::raise(SIGKILL);  // no handler runs
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(EntriesIn(folder.Root()), 1u);
    const std::string left = std::filesystem::directory_iterator(folder.Root())->path().string();

    // A page file in use is locked, and stays, however old; so does a new one that is free.
    auto live = WrittenPage(target, "in use", CreateNamedPageBeside);
    ASSERT_TRUE(live);
    const timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const auto& entry : std::filesystem::directory_iterator(folder.Root())) {
        if (entry.path() != left) {
            ASSERT_EQ(::utimensat(AT_FDCWD, entry.path().c_str(), anHourAgo, 0), 0);
        }
    }
    ASSERT_TRUE(WrittenPage(target, "next", CreateNamedPageBeside));
    EXPECT_EQ(EntriesIn(folder.Root()), 2u);  // the live one and the one left

    ASSERT_EQ(::utimensat(AT_FDCWD, left.c_str(), anHourAgo, 0), 0);
    auto next = WrittenPage(target, "next", CreateNamedPageBeside);
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_EQ(next->PutInPlace(false), PlaceResult::Placed);
    EXPECT_EQ(live->PutInPlace(true), PlaceResult::Placed);
    EXPECT_EQ(Contents(target), "in use");
    EXPECT_EQ(EntriesIn(folder.Root()), 1u);
}
#endif

TEST(PlatformFile, PageBesideAShiftJisName) {
    // ソ is 83 5C: its second byte is a backslash, but no separator.
    TempFolder folder;
    const std::string target = folder.Root().string() + kSeparator + "\x83\x5c.html";  // ソ.html
    Create(target, "old");
    auto page = WrittenPage(target, "new");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->PutInPlace(true), PlaceResult::Placed);
    EXPECT_EQ(Contents(target), "new");
    EXPECT_EQ(EntriesIn(folder.Root()), 1u);
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
