// Reading the answer typed on a terminal as a path, as a dialog would take it.
#include "runtime/TerminalFileChoice.h"

#include <string_view>

#include "runtime/PathParts.h"

namespace horofu {
namespace {

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
