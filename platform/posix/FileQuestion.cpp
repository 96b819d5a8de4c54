// Asking for the thread on a terminal: the folder's text files, filters, and asking again.
#include "platform/posix/FileQuestion.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/MessageCatalog.h"
#include "runtime/FileDialogRequest.h"
#include "runtime/PathParts.h"
#include "runtime/TerminalFileChoice.h"

namespace horofu {
namespace {

namespace command = message::command;

// Up to this many matching files are listed without being asked for.
constexpr std::size_t kFewFiles = 20;

// The names of the files (not folders) in folder whose names match one of the patterns in any
// case, hidden ones left out, in byte order.
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

bool IsFolder(const Text& path) {
    struct stat info {};
    return ::stat(path.Bytes().c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const Text& path) {
    struct stat info {};
    return ::stat(path.Bytes().c_str(), &info) == 0;
}

class FileQuestion {
  public:
    FileQuestion(std::FILE* in, std::FILE* out, const std::vector<std::string>& types,
                 TerminalText& text)
        : in_(in), out_(out), types_(types), text_(text) {}

    Text Ask(Text folder) {
        Say(Translated(command::kChooseInput));
        ShowFolder(folder, types_, false);
        for (;;) {
            std::fputs(Translated(command::kFileQuestion), out_);
            std::fflush(out_);
            bool ended = false;
            const std::string answer = ReadLine(ended);
            if (ended) std::fputc('\n', out_);  // the input ended on the question's line
            const FileDialogRequest request = BuildFileDialogRequest(
                Text("txt"), Text("*.txt"), Text(), true, folder, kPosixSeparator);
            const Text path = FilePromptAnswer(request, Text(answer), kPosixSeparator);
            if (path.Empty()) return path;  // an empty answer, or Ctrl-D
            FileDialogRequest asTyped = request;
            asTyped.defaultExtension = Text();
            const Text typed = FilePromptAnswer(asTyped, Text(answer), kPosixSeparator);
            const Text name = PathFileName(typed, kPosixSeparator);
            const Text typedFolder(typed.View().substr(0, typed.Size() - name.Size()));
            if (name.View().find_first_of("*?[") != std::string_view::npos) {
                if (IsFolder(typedFolder)) {
                    folder = typedFolder;
                    ShowFolder(folder, {name.Bytes()}, true);
                } else {
                    Say(Formatted(Translated(command::kNoSuchFile), Shown(typedFolder).c_str()));
                }
            } else if (IsFolder(typed)) {
                folder = typed;
                ShowFolder(folder, types_, false);
            } else if (Exists(path)) {
                return path;
            } else {
                Say(Formatted(Translated(command::kNoSuchFile), Shown(path).c_str()));
            }
        }
    }

  private:
    void Say(const std::string& line) {
        std::fputs(line.c_str(), out_);
        std::fputc('\n', out_);
    }

    std::string Shown(const Text& path) { return text_.ShowControls(path.Bytes()); }

    // The folder and the files in it that match the patterns: all of them when the user
    // asked, else only when there are few.
    void ShowFolder(const Text& folder, const std::vector<std::string>& patterns, bool asked) {
        Say(Translated(command::kFolder) + Shown(DirectoryWithSeparator(folder, '/')));
        const std::vector<std::string> names = MatchingFiles(folder, patterns);
        std::string shownPattern;
        for (const std::string& pattern : patterns) {
            if (!shownPattern.empty()) shownPattern += ' ';
            shownPattern += text_.ShowControls(pattern);
        }
        if (names.empty()) {
            Say(Formatted(Translated(command::kNoMatch), shownPattern.c_str()));
        } else if (asked || names.size() <= kFewFiles) {
            for (const std::string& name : names)
                Say(std::string(2, ' ').append(Shown(Text(name))));
        } else {
            const auto& many = command::kManyMatch;
            Say(Formatted(TranslatedForm(many, names.size()), names.size(), shownPattern.c_str(),
                          "a*.txt"));
        }
    }

    // One line of input without its line end; ended tells that the input ended before a
    // line end came (Ctrl-D).
    std::string ReadLine(bool& ended) {
        std::string line;
        for (int c; (c = std::fgetc(in_)) != '\n';) {
            if (c == EOF) {
                ended = true;
                break;
            }
            line += static_cast<char>(c);
        }
        return line;
    }

    std::FILE* in_;
    std::FILE* out_;
    const std::vector<std::string>& types_;
    TerminalText& text_;
};

}  // namespace

Text AskForThreadFile(std::FILE* in, std::FILE* out, const Text& folder,
                      const std::vector<std::string>& types, TerminalText& text) {
    return FileQuestion(in, out, types, text).Ask(folder);
}

}  // namespace horofu
