// Channels: the field rules of field input, positions, writing, and failed channels. That a
// channel's file cannot be opened again is the platform layer's, tested in file_test.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/Channels.h"
#include "tests/TempFolder.h"

namespace horofu {
namespace {

using testing::TempFolder;

// Reads a file the way the converter does: one text field per call while not at the end.
// A call that finds no field adds "<none>".
std::vector<std::string> Records(const std::string& bytes) {
    TempFolder folder;
    OpenChannel(Text(folder.Write("in.txt", bytes)), 1, 1);
    std::vector<std::string> records;
    Text record("<previous>");
    while (ChannelAtEnd(1) == 0) {
        records.push_back(InputFields(1, {record}) == 1 ? record.Bytes() : "<none>");
    }
    CloseChannel(1);
    return records;
}

using Fields = std::vector<std::string>;

// Records end at CR LF, LF, zero bytes and unquoted commas; a lone CR stays; quotes protect
// commas up to the line end; blanks after the last line end hold no field.
TEST(FieldInput, WhereRecordsEnd) {
    const std::pair<std::string, Fields> cases[] = {
        {"abc\r\ndef\r\n", {"abc", "def"}},
        {"  abc  \r\n", {"abc  "}},  // leading blanks go, trailing blanks stay
        {"\t abc\r\n", {"abc"}},
        {"a, b", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {"a\nb", {"a", "b"}},
        {std::string("a\0b", 3), {"a", "b"}},
        {"\r\n", {""}},
        {"", {}},
        {"a,\r\nb\r\n", {"a", "", "b"}},  // a trailing comma: one record more than commas
        {"\"a,b\",c\r\n", {"\"a,b\"", "c"}},
        {"x\"y,z\r\n", {"x\"y,z"}},
        {"\"a\r\nb\"\r\n", {"\"a", "b\""}},
        {"a\rb\r\n", {"a\rb"}},
        {"a\r\rb\r\r\n", {"a\r\rb\r"}},
        {"a\r", {"a\r"}},  // a CR as the last byte is kept
        {"a\r,b", {"a\r", "b"}},
        {"abc\r\n  \t", {"abc", "<none>"}},
        {"   ", {"<none>"}},
    };
    for (const auto& [bytes, fields] : cases) EXPECT_EQ(Records(bytes), fields) << bytes;
}

TEST(FieldInput, LongLinesCrossTheReadBuffer) {
    // Records longer than any buffer, and a CR LF split across a buffer boundary.
    std::string longLine(200000, 'x');
    for (std::size_t i = 0; i < longLine.size(); i += 7) longLine[i] = '\x82';
    const std::string bytes = longLine + "\r\n" + std::string(65535, 'y') + "\r\nz";
    EXPECT_EQ(Records(bytes), (Fields{longLine, std::string(65535, 'y'), "z"}));
}

TEST(FieldInput, NumberTargetsEndAtBlanks) {
    TempFolder folder;
    OpenChannel(Text(folder.Write("n.txt", "1 2\r\n3.5 , -4,\"x y\"\r\n7 \r\n")), 1, 5);
    int32_t a = 0, b = 0;
    double c = 0;
    int16_t d = 0;
    Text e;
    EXPECT_EQ(InputFields(5, {a, b, c, d, e}), 5);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(c, 3.5);
    EXPECT_EQ(d, -4);
    EXPECT_EQ(e, Text("\"x y\""));
    // A blank-ended number leaves the line end for the next call, whose field is empty.
    EXPECT_EQ(InputFields(5, {a}), 1);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(InputFields(5, {e}), 1);
    EXPECT_EQ(e, Text());
    EXPECT_EQ(ChannelAtEnd(5), -1);
    // At the end nothing is read and the target keeps its value.
    EXPECT_EQ(InputFields(5, {a}), 0);
    EXPECT_EQ(a, 7);
    CloseChannel(5);
}

TEST(Channels, WritesGoRightAfterTheLastByteConsumed) {
    TempFolder folder;
    const std::string path = folder.Write("rw.txt", "first,second\r\nthird\r\n");
    OpenChannel(Text(path), 0, 3);
    Text field;
    ASSERT_EQ(InputFields(3, {field}), 1);
    EXPECT_EQ(ChannelPosition(3), 6u);
    WriteChannel(3, Text("SECOND"));
    EXPECT_EQ(ChannelAtEnd(3), 0);
    ASSERT_EQ(InputFields(3, {field}), 1);
    EXPECT_EQ(field, Text(""));  // the CR LF after the overwritten field
    ASSERT_EQ(InputFields(3, {field}), 1);
    EXPECT_EQ(field, Text("third"));
    EXPECT_TRUE(CloseChannel(3));
    EXPECT_EQ(TempFolder::Read(path), "first,SECOND\r\nthird\r\n");

    // Append writes after the last byte; zero bytes are written too, and nothing (a view
    // with no bytes behind it) is nothing.
    OpenChannel(Text(path), 3, 4);
    WriteChannel(4, std::string_view());
    WriteChannel(4, Text(std::string("\0x", 2)));
    EXPECT_TRUE(CloseChannel(4));
    EXPECT_EQ(TempFolder::Read(path), std::string("first,SECOND\r\nthird\r\n\0x", 23));
}

TEST(Channels, AFailedChannelReadsNothingAndWritesNothing) {
    TempFolder folder;
    OpenChannel(Text(folder.Path("missing.txt")), 1, 7);
    EXPECT_EQ(GetChannelStatus(7), ChannelStatus::OpenFailed);
    EXPECT_EQ(ChannelAtEnd(7), -1);
    Text record("unchanged");
    EXPECT_EQ(InputFields(7, {record}), 0);
    EXPECT_EQ(record, Text("unchanged"));
    CloseChannel(7);
    OpenChannel(Text(folder.Path("bad-mode.txt")), 9, 7);
    EXPECT_EQ(GetChannelStatus(7), ChannelStatus::OpenFailed);
    CloseChannel(7);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("bad-mode.txt")));
    EXPECT_EQ(ChannelAtEnd(0), -1);  // outside 1 to 256: no channel
    EXPECT_EQ(ChannelAtEnd(257), -1);
}

}  // namespace
}  // namespace horofu
