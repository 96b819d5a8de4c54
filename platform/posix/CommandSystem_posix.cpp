// The command's looks at files on POSIX systems: stat, the folder listing with fnmatch, and
// strerror.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "command/CommandSystem.h"

namespace horofu {

Text StandardInputName() {
    return Text("/dev/stdin");
}

bool StandardOutputIsInput(const Text& input) {
    struct stat out {
    }, in{};
    if (::fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode)) return false;
    const int got = ::stat(input.Bytes().c_str(), &in);
    return got == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

uint64_t FileSizeAt(const Text& path) {
    struct stat info {};
    return ::stat(path.Bytes().c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

bool IsFolder(const Text& path) {
    struct stat info {};
    return ::stat(path.Bytes().c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PathExists(const Text& path) {
    struct stat info {};
    return ::stat(path.Bytes().c_str(), &info) == 0;
}

std::vector<std::string> MatchingFiles(const Text& folder,
                                       const std::vector<std::string>& patterns) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.Bytes().c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const bool matches = std::any_of(patterns.begin(), patterns.end(), [&](auto& pattern) {
            return ::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD | FNM_CASEFOLD) == 0;
        });
        if (!matches) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)) {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string SystemReason(int error) {
    return std::strerror(error);
}

bool IsFileInUse(int error) {
    return error == EWOULDBLOCK;
}

bool IsNoReader(int error) {
    return error == ENXIO;
}

}  // namespace horofu
