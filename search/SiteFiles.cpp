// The index's files, through the platform's file calls (a private page file renamed into
// place) and the standard library's folder calls.
#include "search/SiteFiles.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "runtime/PlatformFile.h"

namespace horofu {

namespace fs = std::filesystem;

bool ReadWholeFile(const std::string& path, std::string& bytes, bool* missing) {
    bytes.clear();
    int error = 0;
    auto file = OpenPlatformFile(Text(path), OpenMode::Input, &error);
    // Asked of the platform, since each spells "no such file" its own way.
    if (missing != nullptr) *missing = file == nullptr && !FileExists(Text(path));
    if (!file) return false;
    uint64_t size = 0;
    if (file->Size(size)) bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    for (std::size_t got = 0;;) {
        if (!file->Read(buffer, sizeof buffer, got)) return false;
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return file->Close();
}

bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    int systemError = 0;
    auto pending = CreatePageBeside(Text(path), &systemError);
    std::unique_ptr<PlatformFile> file = pending ? pending->OpenForWriting() : nullptr;
    bool written = file != nullptr && file->Write(bytes.data(), bytes.size());
    if (file != nullptr && !file->Close()) written = false;
    if (written && pending->PutInPlace(true) == PlaceResult::Placed) return true;
    if (pending != nullptr && pending->SystemError() != 0) systemError = pending->SystemError();
    error = path + ": cannot be written" +
            (systemError != 0 ? std::string(" (") + std::strerror(systemError) + ")" : "");
    return false;
}

bool ReplaceFileIfChanged(const std::string& path, const std::string& bytes, std::string& error) {
    std::string old;
    if (ReadWholeFile(path, old) && old == bytes) return true;
    return ReplaceFile(path, bytes, error);
}

bool ReplaceFileIfChanged(
    const std::string& path,
    const std::function<void(const std::function<void(std::string_view)>&)>& pieces,
    std::string& error) {
    constexpr std::size_t kPiece = 64 * 1024;
    int systemError = 0;
    if (auto old = OpenPlatformFile(Text(path), OpenMode::Input, &systemError)) {
        bool same = true;
        std::string read(kPiece, '\0');
        pieces([&](std::string_view piece) {
            while (same && !piece.empty()) {
                const std::size_t want = std::min(piece.size(), kPiece);
                std::size_t got = 0, all = 0;
                while (all < want && old->Read(&read[all], want - all, got) && got > 0) all += got;
                same = all == want && piece.substr(0, want) == std::string_view(read.data(), want);
                piece.remove_prefix(want);
            }
        });
        std::size_t got = 0;
        if (same && old->Read(&read[0], 1, got) && got == 0) return true;
    }
    auto pending = CreatePageBeside(Text(path), &systemError);
    std::unique_ptr<PlatformFile> file = pending ? pending->OpenForWriting() : nullptr;
    bool written = file != nullptr;
    if (written) {
        std::string buffer;
        auto flush = [&] {
            written = written && file->Write(buffer.data(), buffer.size());
            buffer.clear();
        };
        pieces([&](std::string_view piece) {
            buffer.append(piece);
            if (buffer.size() >= kPiece) flush();
        });
        flush();
        if (!file->Close()) written = false;
    }
    if (written && pending->PutInPlace(true) == PlaceResult::Placed) return true;
    if (pending != nullptr && pending->SystemError() != 0) systemError = pending->SystemError();
    error = path + ": cannot be written" +
            (systemError != 0 ? std::string(" (") + std::strerror(systemError) + ")" : "");
    return false;
}

bool MakeIndexFolder(const std::string& folder, std::string& error) {
    std::error_code code;
    const fs::file_status status = fs::symlink_status(fs::path(folder), code);
    if (status.type() == fs::file_type::directory) return true;
    if (status.type() == fs::file_type::not_found) {
        if (fs::create_directory(fs::path(folder), code)) return true;
        if (fs::symlink_status(fs::path(folder)).type() == fs::file_type::directory) return true;
        error = folder + ": cannot be made (" + code.message() + ")";
        return false;
    }
    error = folder + ": is not a folder; move it away and run again";
    return false;
}

std::vector<std::string> FolderNames(const std::string& folder,
                                     const std::function<bool(const std::string&)>& wanted) {
    std::vector<std::string> names;
    std::error_code code;
    for (fs::directory_iterator it(fs::path(folder), code), end; !code && it != end;
         it.increment(code)) {
        std::string name = it->path().filename().string();
        if (wanted(name)) names.push_back(std::move(name));
    }
    return names;
}

bool RemoveIndexFile(const std::string& path) {
    return RemoveFile(Text(path));
}

}  // namespace horofu
