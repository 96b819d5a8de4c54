// The site's own files (index pages, stylesheet, record), each replaced whole or not at all.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace horofu {

// Puts bytes at path unless the file there holds exactly them already: written beside it,
// then moved into its place. False, with the platform's reason in systemError, when it could
// not be written (the old file stays). written tells whether it was.
bool UpdateSiteFile(const std::string& path, std::string_view bytes, bool& written,
                    int& systemError);

// A file's bytes made a piece at a time: it calls put with each piece, in order, and makes the
// same bytes each time it is called.
using SitePieces = std::function<void(const std::function<void(std::string_view)>& put)>;

// As above for a file too large to hold whole (the record, a large board's index): the pieces
// are compared with the file there, then made again and written only when they differ.
bool UpdateSiteFile(const std::string& path, const SitePieces& pieces, bool& written,
                    int& systemError);

// The bytes of the file at path; false when it cannot be read.
bool ReadSiteFile(const std::string& path, std::string& bytes);

}  // namespace horofu
