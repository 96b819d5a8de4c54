// The site's threads as a run holds them: a small row of numbers per thread with its texts
// packed in one string, the folders of sources shared, and an index by board and key, so that
// a site of a hundred thousand threads takes a few tens of megabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/SiteThread.h"

namespace horofu {

class SiteTable {
  public:
    static constexpr std::size_t kNone = SIZE_MAX;

    std::size_t Size() const { return rows_.size(); }
    // The thread of board and key; a new one (with only its board and key) when the table has
    // none, and added tells so.
    std::size_t Add(std::string_view board, std::string_view key, bool& added);
    // The thread whose id is "board/key", kNone when there is none.
    std::size_t Find(std::string_view id) const;
    std::size_t Find(std::string_view board, std::string_view key) const;

    // The thread whole, for its record line, index row or page; made anew at each call.
    SiteThread Thread(std::size_t i) const;
    // Every field of thread i but its board and key taken from t.
    void Set(std::size_t i, const SiteThread& t);
    void SetGone(std::size_t i, bool gone) { rows_[i].gone = gone; }

    // The fields read for every thread of a run, without making it whole. The names are the
    // "board/key" of threads its page names, separated by spaces.
    std::string_view Board(std::size_t i) const { return Text(i, kBoard); }
    std::string_view Key(std::size_t i) const { return Text(i, kKey); }
    std::string_view Title(std::size_t i) const { return Text(i, kTitle); }
    std::string_view Previous(std::size_t i) const { return Text(i, kPrevious); }
    std::string_view Names(std::size_t i) const { return Text(i, kNames); }
    std::string_view FileName(std::size_t i) const { return Text(i, kFileName); }
    std::string Source(std::size_t i) const;
    uint32_t FolderNumber(std::size_t i) const { return rows_[i].folder; }
    uint64_t Posts(std::size_t i) const { return rows_[i].posts; }
    uint64_t FileSize(std::size_t i) const { return rows_[i].size; }
    int64_t Modified(std::size_t i) const { return rows_[i].modified; }
    int64_t LastInstant(std::size_t i) const { return rows_[i].lastInstant; }
    uint64_t Links(std::size_t i) const { return rows_[i].links; }

    // A path split after its last separator: the folder's number (folders are shared by their
    // threads) and the file's name.
    uint32_t FolderOf(std::string_view path, std::string_view& fileName);
    const std::string& Folder(uint32_t folder) const { return folders_[folder]; }

  private:
    enum Field {
        kBoard,
        kKey,
        kFileName,
        kTitle,
        kFirstDate,
        kLastDate,
        kPrevious,
        kNames,
        kFields
    };
    struct Row {
        uint64_t size = 0, head = 0, posts = 0, links = 0;
        int64_t modified = 0, lastInstant = 0;
        uint32_t folder = UINT32_MAX;  // none yet
        bool gone = false;
        std::string text;  // each field as its length (a varint) and its bytes
    };
    std::string_view Text(std::size_t i, Field field) const;
    void Index(std::size_t i);

    std::deque<Row> rows_;         // grows without copying what it holds
    std::vector<uint32_t> slots_;  // rows by the hash of their id: row + 1, 0 when free
    std::vector<std::string> folders_;
    std::unordered_map<std::string, uint32_t> folderNumbers_;
};

}  // namespace horofu
