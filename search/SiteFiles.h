// The files of the search index in a site: read whole, replaced whole, listed and removed.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace horofu {

// Reads the whole file; false when it cannot be opened or read (*missing when it is absent).
bool ReadWholeFile(const std::string& path, std::string& bytes, bool* missing = nullptr);

// Replaces path with bytes through a private temporary in its folder, renamed into place once
// complete, so a reader sees the old file or the new one, never part of one. False, with a
// message naming the file in error, when it could not.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error);

// As ReplaceFile, but leaves a file that already holds exactly bytes untouched, so that a
// run that changes nothing writes nothing.
bool ReplaceFileIfChanged(const std::string& path, const std::string& bytes, std::string& error);

// As ReplaceFileIfChanged for bytes made a piece at a time by pieces (which makes the same
// bytes each time it is called): compared with the file a piece at a time, and written only
// when they differ, so that a large file is never held whole.
bool ReplaceFileIfChanged(
    const std::string& path,
    const std::function<void(const std::function<void(std::string_view)>&)>& pieces,
    std::string& error);

// Makes folder (one level) when missing; refuses a link or anything but a folder in its place,
// since a link there could send the index's files anywhere.
bool MakeIndexFolder(const std::string& folder, std::string& error);

// The names in folder that wanted says to take (a large folder's names are not all held);
// empty when it cannot be listed.
std::vector<std::string> FolderNames(const std::string& folder,
                                     const std::function<bool(const std::string&)>& wanted);

bool RemoveIndexFile(const std::string& path);

}  // namespace horofu
