// Site files compared with what is there, and replaced atomically when they differ.
#include "archive/SiteFile.h"

#include <fstream>
#include <iterator>

#include "runtime/PlatformFile.h"

namespace horofu {

bool ReadSiteFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool UpdateSiteFile(const std::string& path, std::string_view bytes, bool& written,
                    int& systemError) {
    written = false;
    systemError = 0;
    {
        // Compared a piece at a time, so that a large index is not held twice.
        std::ifstream in(path, std::ios::binary);
        if (in) {
            char piece[64 * 1024];
            std::size_t at = 0;
            bool same = true;
            while (same) {
                in.read(piece, sizeof piece);
                const auto got = static_cast<std::size_t>(in.gcount());
                if (got == 0) break;
                same = at + got <= bytes.size() &&
                       bytes.substr(at, got) == std::string_view(piece, got);
                at += got;
            }
            if (same && at == bytes.size()) return true;
        }
    }
    auto page = CreatePageBeside(Text(path), &systemError);
    if (!page) return false;
    auto file = page->OpenForWriting();
    if (!file) {
        systemError = page->SystemError();
        return false;
    }
    const bool ok = file->Write(bytes.data(), bytes.size());
    if (!file->Close() || !ok) return false;
    if (page->PutInPlace(true) != PlaceResult::Placed) {
        systemError = page->SystemError();
        return false;
    }
    written = true;
    return true;
}

}  // namespace horofu
