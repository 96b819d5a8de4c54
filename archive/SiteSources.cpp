// Thread files found in folders with the standard library's directory walk.
#include "archive/SiteSources.h"

#include <algorithm>
#include <filesystem>

#include "archive/PathBytes.h"
#include "runtime/Ascii.h"
#include "runtime/ShiftJis.h"
#include "runtime/Utf8.h"

namespace horofu {
namespace fs = std::filesystem;
namespace {

bool IsThreadExtension(const std::string& ext) {
    return EqualsIgnoringAsciiCase(ext, ".dat") || EqualsIgnoringAsciiCase(ext, ".txt");
}

bool PlainName(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.size() > 200) return false;
    // A name that is not UTF-8 is taken for Shift-JIS, where 5C (a backslash alone) is also the
    // second byte of a character (ソ 83 5C, 表 95 5C) in names made on Japanese Windows.
    const bool shiftJis = HasNonAscii(name) && !LooksLikeUtf8(name, true);
    for (std::size_t i = 0; i < name.size(); i += shiftJis ? CharacterBytes(name, i) : 1) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    }
    return true;
}

// The board's own files that readers and mirrors keep beside its threads (the thread list,
// the settings, the rules): text, but never a thread. Found in a folder, they are passed by.
bool IsBoardFile(const std::string& name) {
    return EqualsIgnoringAsciiCase(name, "subject.txt") ||
           EqualsIgnoringAsciiCase(name, "setting.txt") ||
           EqualsIgnoringAsciiCase(name, "head.txt");
}

}  // namespace

bool UsableBoardName(const std::string& name) {
    return PlainName(name) && name != "index.html" && name != "style.css" && name != "sort.js";
}

bool UsableKey(const std::string& key) {
    return PlainName(key) && key != "index";
}

void FindThreads(const std::vector<std::string>& sources,
                 const std::function<void(FoundThread&)>& found,
                 const std::function<void(const std::string&, SourceProblem, int)>& problem) {
    auto consider = [&](const fs::path& file) {
        if (!IsThreadExtension(PathBytes(file.extension()))) return;
        std::error_code error;
        const fs::path absolute = fs::absolute(file, error);
        FoundThread t;
        t.path = PathBytes(absolute);
        t.fileName = PathBytes(file.filename());
        t.key = PathBytes(file.stem());
        t.board = PathBytes(absolute.parent_path().filename());
        if (!UsableBoardName(t.board) || !UsableKey(t.key)) {
            problem(t.path, SourceProblem::BadName, 0);
            return;
        }
        const fs::file_status status = fs::status(absolute, error);
        if (error || !fs::is_regular_file(status)) {
            if (!fs::is_directory(status))
                problem(t.path, SourceProblem::Unreadable, error.value());
            return;
        }
        t.size = fs::file_size(absolute, error);
        if (!error) {
            t.modified = static_cast<int64_t>(
                fs::last_write_time(absolute, error).time_since_epoch().count());
        }
        if (error) {
            problem(t.path, SourceProblem::Unreadable, error.value());
            return;
        }
        found(t);
    };
    for (const std::string& source : sources) {
        std::error_code error;
        const fs::file_status status = fs::status(source, error);
        if (!fs::exists(status)) {
            problem(source, SourceProblem::Missing, error.value());
            continue;
        }
        if (!fs::is_directory(status)) {
            // A file named on its own must be a thread.
            if (!IsThreadExtension(PathBytes(fs::path(source).extension()))) {
                problem(source, SourceProblem::NotThread, 0);
            } else {
                consider(source);
            }
            continue;
        }
        // Folder by folder, so that one that cannot be read is named and the rest still searched.
        std::vector<fs::path> folders{source};
        while (!folders.empty()) {
            const fs::path folder = std::move(folders.back());
            folders.pop_back();
            fs::directory_iterator walk(folder, error), end;
            if (error) {
                problem(PathBytes(folder), SourceProblem::Unreadable, error.value());
                continue;
            }
            std::vector<std::string> files;  // names: a path of many parts costs far more
            for (; walk != end; walk.increment(error)) {
                if (error) {
                    problem(PathBytes(folder), SourceProblem::Unreadable, error.value());
                    break;
                }
                const std::string name = PathBytes(walk->path().filename());
                std::error_code kind;
                // Hidden folders (a site's own, a version control's) are not searched; links to
                // folders are not followed, so no folder is searched twice.
                if (walk->is_directory(kind) && !walk->is_symlink(kind)) {
                    if (!name.empty() && name[0] != '.') folders.push_back(walk->path());
                } else if (!walk->is_directory(kind)) {
                    files.push_back(name);
                }
            }
            // In name order, so that which of two equal logs is taken does not depend on the
            // file system's order.
            std::sort(files.begin(), files.end());
            for (const std::string& file : files) {
                if (!IsBoardFile(file)) consider(folder / file);
            }
        }
    }
}

}  // namespace horofu
