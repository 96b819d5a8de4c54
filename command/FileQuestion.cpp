// Asking for the thread on a terminal: the folder's text files, filters, and asking again.
#include "command/FileQuestion.h"

#include <string>
#include <vector>

#include "command/CommandSystem.h"
#include "command/MessageCatalog.h"
#include "runtime/FileDialogRequest.h"
#include "runtime/PathParts.h"
#include "runtime/TerminalFileChoice.h"

namespace horofu {
namespace {

namespace command = message::command;

// Up to this many matching files are listed without being asked for.
constexpr std::size_t kFewFiles = 20;

class FileQuestion {
  public:
    FileQuestion(Terminal& terminal, const std::vector<std::string>& types, char separator)
        : terminal_(terminal), types_(types), separator_(separator) {}

    Text Ask(Text folder) {
        Say(Shown(Translated(command::kChooseInput)));
        ShowFolder(folder, types_, false);
        for (;;) {
            terminal_.Write(kTo, terminal_.FromProgramText(Translated(command::kFileQuestion)));
            terminal_.Flush(kTo);
            bool ended = false;
            const std::string answer = terminal_.ReadLine(ended);
            if (ended) terminal_.Write(kTo, "\n");  // the input ended on the question's line
            const FileDialogRequest request = BuildFileDialogRequest(
                Text("txt"), Text("*.txt"), Text(), true, folder, separator_);
            const Text path = FilePromptAnswer(request, Text(answer), separator_);
            if (path.Empty()) return path;  // an empty answer, or Ctrl-D
            FileDialogRequest asTyped = request;
            asTyped.defaultExtension = Text();
            const Text typed = FilePromptAnswer(asTyped, Text(answer), separator_);
            const Text name = PathFileName(typed, separator_);
            const Text typedFolder(typed.View().substr(0, typed.Size() - name.Size()));
            if (name.View().find_first_of("*?[") != std::string_view::npos) {
                if (IsFolder(typedFolder)) {
                    folder = typedFolder;
                    ShowFolder(folder, {name.Bytes()}, true);
                } else {
                    Say(Shown(
                        Formatted(Translated(command::kNoSuchFile), typedFolder.Bytes().c_str())));
                }
            } else if (IsFolder(typed)) {
                folder = typed;
                ShowFolder(folder, types_, false);
            } else if (PathExists(path)) {
                return path;
            } else {
                Say(Shown(Formatted(Translated(command::kNoSuchFile), path.Bytes().c_str())));
            }
        }
    }

  private:
    static constexpr StandardStream kTo = StandardStream::Error;

    // A line whose file names were made safe by Shown.
    void Say(const std::string& line) { terminal_.Write(kTo, line + "\n"); }

    // Program text as shown, control bytes made visible: the question is only asked on a
    // terminal.
    std::string Shown(std::string_view text) {
        return terminal_.ShowControls(terminal_.FromProgramText(text));
    }

    // The folder and the files in it that match the patterns: all of them when the user
    // asked, else only when there are few.
    void ShowFolder(const Text& folder, const std::vector<std::string>& patterns, bool asked) {
        Say(Shown(Translated(command::kFolder) +
                  DirectoryWithSeparator(folder, separator_).Bytes()));
        const std::vector<std::string> names = MatchingFiles(folder, patterns);
        std::string patternList;
        for (const std::string& pattern : patterns) {
            if (!patternList.empty()) patternList += ' ';
            patternList += pattern;
        }
        if (names.empty()) {
            Say(Shown(Formatted(Translated(command::kNoMatch), patternList.c_str())));
        } else if (asked || names.size() <= kFewFiles) {
            for (const std::string& name : names) Say(std::string(2, ' ').append(Shown(name)));
        } else {
            const auto& many = command::kManyMatch;
            Say(Shown(Formatted(TranslatedForm(many, names.size()), names.size(),
                                patternList.c_str(), "a*.txt")));
        }
    }

    Terminal& terminal_;
    const std::vector<std::string>& types_;
    char separator_;
};

}  // namespace

Text AskForThreadFile(Terminal& terminal, const Text& folder, const std::vector<std::string>& types,
                      char separator) {
    return FileQuestion(terminal, types, separator).Ask(folder);
}

}  // namespace horofu
