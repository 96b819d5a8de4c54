// Finding the threads of a site's sources: folders searched for .dat and .txt files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace horofu {

// A thread file found: its board (the name of the folder holding it), its key (its name
// without the extension), and what make would compare.
struct FoundThread {
    std::string board;
    std::string key;
    std::string path;      // absolute
    std::string fileName;  // the name without folders
    uint64_t size = 0;
    int64_t modified = 0;
};

// Why a source or a file in it was left out.
enum class SourceProblem { Missing, Unreadable, BadName, NotThread };

// Searches each source (a folder, recursively, or one thread file) for thread files, telling
// found of each (two files of one board and key are both told; the caller takes the longer)
// and problem of each file or folder that could not be read or named. Called by the archive
// at the start of a run.
void FindThreads(
    const std::vector<std::string>& sources, const std::function<void(FoundThread&)>& found,
    const std::function<void(const std::string& path, SourceProblem, int systemError)>& problem);

// Whether a folder name can name a board, and a file name a thread, in a site: not empty, not
// hidden, no control bytes, none of the site's own names.
bool UsableBoardName(const std::string& name);
bool UsableKey(const std::string& key);

}  // namespace horofu
