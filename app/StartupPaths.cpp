// Start-up's path work: command line to input path, extension check, proposed output.
#include "app/StartupPaths.h"

#include <cstddef>
#include <string_view>

#include "converter/modern/DatThread.h"

namespace horofu {
namespace {

constexpr char kQuote = '"';

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The bytes after the program's path: after its closing quote when it opens with one (all
// of it when the quote is never closed), otherwise from the first blank on.
std::string_view AfterProgramPath(std::string_view line) {
    std::size_t end;
    if (!line.empty() && line.front() == kQuote) {
        end = line.find(kQuote, 1);
        end = end == std::string_view::npos ? line.size() : end + 1;
    } else {
        end = 0;
        while (end < line.size() && !IsBlank(line[end])) ++end;
    }
    return line.substr(end);
}

// Whether the path's last 4 bytes, ASCII letters folded, are ending (".txt", ".dat"). In a
// match the letters follow '.' or another ASCII letter, none of which opens a double-byte
// character, so folding the last four bytes alone folds them as the whole path would.
bool EndsInFolded(const Text& path, const char* ending) {
    return Len(path) >= 4 && LowerCase(Right(path, 4)) == Text(ending);
}

}  // namespace

Text InputCandidate(const Text& commandLine) {
    std::string_view rest = AfterProgramPath(commandLine.View());
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    // A Windows file name never ends in a blank, so trailing ones are only separators.
    while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
    return Text(rest);
}

bool AsksForInput(const Text& candidate) {
    return Len(candidate) < 5;
}

Text InputPath(const Text& candidate) {
    Text path = candidate;
    if (Len(path) > 0 && path.View().front() == kQuote) path = Right(path, Len(path) - 1);
    if (Len(path) > 0 && path.View().back() == kQuote) path = Left(path, Len(path) - 1);
    return path;
}

bool IsTextFilePath(const Text& path) {
    return EndsInFolded(path, ".txt");
}

bool IsDatFilePath(const Text& path) {
    return IsDatFileName(path.View());
}

bool IsThreadFilePath(const Text& path) {
    return IsTextFilePath(path) || IsDatFilePath(path);
}

Text ProposedOutputPath(const Text& inputPath) {
    return Left(inputPath, Len(inputPath) - 4) + Text(".html");
}

uint32_t ProposedSaveType(const Text& inputPath) {
    return IsDatFilePath(inputPath) ? 2 : 1;
}

PageKind PageKindOfSaveType(uint32_t saveType, const Text& inputPath) {
    if (saveType != 1 && saveType != 2) saveType = ProposedSaveType(inputPath);
    return saveType == 2 ? PageKind::Modern : PageKind::Classic;
}

}  // namespace horofu
