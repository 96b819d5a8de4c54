// Building the dialog request from the caller's extension list, initial path and title.
#include "runtime/FileDialogRequest.h"

#include <algorithm>
#include <cstring>

#include "runtime/FileFilter.h"
#include "runtime/PathParts.h"
#include "runtime/ShiftJis.h"

namespace horofu {

FileDialogRequest BuildFileDialogRequest(const Text& extensions, const Text& initialPath,
                                         const Text& title, bool open, const Text& currentDirectory,
                                         char separator) {
    FileDialogRequest request;
    const Text extension = PathExtension(initialPath);
    request.filter = FilterText(extensions, extension);
    request.initialDirectory = PathDirectory(initialPath, currentDirectory, separator);
    request.fileName = MakeFileNameBuffer(
        InitialFileName(initialPath, request.initialDirectory, currentDirectory, separator));
    request.defaultExtension = extension;
    request.title = title;
    request.open = open;
    return request;
}

Text InitialFileName(const Text& initialPath, const Text& directory, const Text& currentDirectory,
                     char separator) {
    if (DirectoryWithSeparator(currentDirectory, separator) == directory) {
        return initialPath;
    }
    return Right(initialPath, Len(initialPath) - Len(directory));
}

FileNameBuffer MakeFileNameBuffer(const Text& name) {
    const std::string_view bytes = name.View();
    // Walk the characters so that the cut never leaves a lead byte without its trail byte.
    const std::size_t room = kFileNameBufferSize - 1;
    std::size_t keep = 0;
    while (keep < bytes.size()) {
        const std::size_t next = keep + CharacterBytes(bytes, keep);
        if (next > room) break;
        keep = next;
    }
    FileNameBuffer buffer{};
    std::memcpy(buffer.data(), bytes.data(), keep);
    return buffer;
}

Text FileNameInBuffer(const FileNameBuffer& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    return Text(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
}

}  // namespace horofu
