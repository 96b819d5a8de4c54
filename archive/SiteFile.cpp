// Site files compared with what is there, and replaced atomically when they differ.
#include "archive/SiteFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "runtime/PlatformFile.h"

namespace horofu {
namespace {

constexpr std::size_t kPiece = 64 * 1024;

// Whether the file at path holds exactly the bytes pieces makes, read a piece at a time.
bool SameBytes(const std::string& path, const SitePieces& pieces) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bool same = true;
    char old[kPiece];
    pieces([&](std::string_view piece) {
        while (same && !piece.empty()) {
            const std::size_t want = std::min(piece.size(), kPiece);
            in.read(old, static_cast<std::streamsize>(want));
            same = static_cast<std::size_t>(in.gcount()) == want &&
                   piece.substr(0, want) == std::string_view(old, want);
            piece.remove_prefix(want);
        }
    });
    return same && in.peek() == std::ifstream::traits_type::eof();
}

}  // namespace

bool ReadSiteFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool UpdateSiteFile(const std::string& path, std::string_view bytes, bool& written,
                    int& systemError) {
    return UpdateSiteFile(
        path, [bytes](const std::function<void(std::string_view)>& put) { put(bytes); }, written,
        systemError);
}

bool UpdateSiteFile(const std::string& path, const SitePieces& pieces, bool& written,
                    int& systemError) {
    written = false;
    systemError = 0;
    if (SameBytes(path, pieces)) return true;
    auto page = CreatePageBeside(Text(path), &systemError);
    if (!page) return false;
    auto file = page->OpenForWriting();
    if (!file) {
        systemError = page->SystemError();
        return false;
    }
    // Gathered into pieces of a useful size, so that a line is not a write.
    bool ok = true;
    std::string buffer;
    buffer.reserve(kPiece);
    auto flush = [&] {
        ok = ok && file->Write(buffer.data(), buffer.size());
        buffer.clear();
    };
    pieces([&](std::string_view piece) {
        if (buffer.size() + piece.size() > kPiece) flush();
        if (piece.size() >= kPiece) {
            ok = ok && file->Write(piece.data(), piece.size());
        } else {
            buffer.append(piece);
        }
    });
    flush();
    if (!file->Close() || !ok) return false;
    if (page->PutInPlace(true) != PlaceResult::Placed) {
        systemError = page->SystemError();
        return false;
    }
    written = true;
    return true;
}

}  // namespace horofu
