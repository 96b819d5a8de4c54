// Showing a dialog request as terminal lines, and reading the typed answer as a path.
#include "runtime/TerminalFileChoice.h"

#include <string_view>

#include "runtime/FileFilter.h"
#include "runtime/PathParts.h"

namespace horofu {
namespace {

// ファイルの場所:
constexpr char kDirectoryLabel[] = "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x8f\xea\x8f\x8a: ";
// ファイル名:
constexpr char kNameLabel[] = "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc: ";
// ファイル名を入力してください (空欄で取り消し):
constexpr char kQuestion[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc\x82\xf0\x93\xfc\x97\xcd\x82\xb5\x82\xc4\x82\xad"
    "\x82\xbe\x82\xb3\x82\xa2 (\x8b\xf3\x97\x93\x82\xc5\x8e\xe6\x82\xe8\x8f\xc1\x82\xb5): ";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    if (!s.empty() && s.front() == '"') s.remove_prefix(1);
    if (!s.empty() && s.back() == '"') s.remove_suffix(1);
    return s;
}

bool IsAbsolute(std::string_view path, char separator) {
    if (separator != kWindowsSeparator) return !path.empty() && path.front() == separator;
    if (!path.empty() && (path.front() == '\\' || path.front() == '/')) return true;
    const auto drive = static_cast<unsigned char>(path.size() >= 2 ? path[0] : 0);
    return ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':';
}

}  // namespace

TerminalFilePrompt FilePromptLines(const FileDialogRequest& request) {
    TerminalFilePrompt prompt;
    if (!request.title.Empty()) prompt.lines.push_back({request.title, Text()});
    for (const FilterEntry& entry : FilterEntries(request.filter)) {
        prompt.lines.push_back({entry.display + Text("  ") + entry.pattern, Text()});
    }
    prompt.lines.push_back({Text(kDirectoryLabel), request.initialDirectory});
    prompt.lines.push_back({Text(kNameLabel), FileNameInBuffer(request.fileName)});
    prompt.question = {Text(kQuestion), Text()};
    return prompt;
}

Text FilePromptAnswer(const FileDialogRequest& request, const Text& answer, char separator) {
    Text path(Trimmed(answer.View()));
    if (path.Empty()) return path;
    if (!IsAbsolute(path.View(), separator)) {
        path = DirectoryWithSeparator(request.initialDirectory, separator) + path;
    }
    const Text name = PathFileName(path, separator);
    const Text& extension = request.defaultExtension;
    if (!name.Empty() && name.View().find('.') == std::string_view::npos && !extension.Empty() &&
        extension != Text("*")) {
        path += Text(".") + extension;
    }
    return path;
}

}  // namespace horofu
