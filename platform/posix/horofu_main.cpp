// The horofu command: converts thread texts to HTML pages from a Unix shell.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "converter/ConvertIntoPlace.h"
#include "converter/Messages.h"
#include "converter/StartupPaths.h"
#include "platform/posix/FileQuestion.h"
#include "platform/posix/MessageCatalog.h"
#include "platform/posix/ProgressBar.h"
#include "platform/posix/SiteCommand.h"
#include "platform/posix/TerminalText.h"
#include "runtime/Channels.h"
#include "runtime/CurrentDirectory.h"
#include "runtime/PlatformFile.h"
#include "runtime/TextDecoder.h"

#ifndef HOROFU_VERSION
#define HOROFU_VERSION "unknown"
#endif

namespace horofu {
namespace {

namespace text = message::command;

struct Options {
    std::string output;  // empty: beside each input
    bool force = false;
    bool echo = false;
    bool quiet = false;
    bool modern = false;
    std::string inputEncoding;  // empty: found by the modern page
    std::vector<std::string> inputs;
};

class Command {
  public:
    int Run(int argc, char** argv);

  private:
    int ParseOptions(int argc, char** argv);  // -1 to go on, else the exit status
    int AskForInput();
    int ConvertOne(const std::string& input, const std::string& output);
    bool MayReplace(const std::string& output);
    bool StandardOutputIsInput(const std::string& input);
    std::string Shown(const std::string& localeText, std::FILE* to);
    void Report(const std::string& path, const char* message, int systemError = 0,
                const char* reason = nullptr);
    void Usage(const char* message);

    TerminalText text_;
    Options options_;
    bool refusedSome_ = false;  // some name was refused before converting
};

bool IsTerminal(int fd) {
    return ::isatty(fd) == 1;
}

// Text for a stream, with control bytes made visible when the stream is a terminal.
std::string Command::Shown(const std::string& localeText, std::FILE* to) {
    return IsTerminal(::fileno(to)) ? text_.ShowControls(localeText) : localeText;
}

// Shows every record and keeps the progress bar moving.
class CommandListener : public ConversionListener {
  public:
    CommandListener(TerminalText& text, std::FILE* echoTo, ProgressBar* bar)
        : text_(text), echoTo_(echoTo), bar_(bar) {}
    bool WantsEcho() const override { return echoTo_ != nullptr; }
    void Echo(const Text& line) override {
        if (bar_ != nullptr) bar_->Clear();
        // The console's echo ends each record with CR LF; a terminal wants LF.
        std::string_view bytes = line.View();
        if (bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n") {
            bytes.remove_suffix(2);
        }
        std::string shown = text_.Convert(bytes);
        if (IsTerminal(::fileno(echoTo_))) shown = text_.ShowControls(shown);
        shown += '\n';
        std::fwrite(shown.data(), 1, shown.size(), echoTo_);
    }
    void Progress(uint64_t done, uint64_t total) override {
        if (bar_ != nullptr && echoTo_ == nullptr) bar_->Update(done, total);
    }

  private:
    TerminalText& text_;
    std::FILE* echoTo_;
    ProgressBar* bar_;
};

// One message on standard error: the path, the message (one of message::command's), and after
// it the reason when there is one (one of ours, or the system's), in the locale's language.
void Command::Report(const std::string& path, const char* message, int systemError,
                     const char* reason) {
    if (systemError == EWOULDBLOCK) reason = text::kFileInUse;
    std::string told = Translated(message);
    if (reason != nullptr) {
        told = Formatted(Translated(text::kWithReason), told.c_str(), Translated(reason));
    } else if (systemError != 0) {
        told = Formatted(Translated(text::kWithReason), told.c_str(), std::strerror(systemError));
    }
    const std::string line = Shown("horofu: " + path + ": " + told, stderr) + "\n";
    std::fputs(line.c_str(), stderr);
}

// A usage error on standard error.
void Command::Usage(const char* message) {
    std::fputs(("horofu: " + std::string(message) + "\n").c_str(), stderr);
}

int Command::ParseOptions(int argc, char** argv) {
    enum { kEcho = 256, kInputEncoding };
    static const option longOptions[] = {
        {"output", required_argument, nullptr, 'o'},
        {"force", no_argument, nullptr, 'f'},
        {"echo", no_argument, nullptr, kEcho},
        {"quiet", no_argument, nullptr, 'q'},
        {"modern", no_argument, nullptr, 'm'},
        {"input-encoding", required_argument, nullptr, kInputEncoding},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0}};
    bool outputGiven = false;
    for (int c; (c = ::getopt_long(argc, argv, "o:fqmhV", longOptions, nullptr)) != -1;) {
        switch (c) {
            case 'o':
                options_.output = optarg;
                outputGiven = true;
                break;
            case 'f':
                options_.force = true;
                break;
            case 'q':
                options_.quiet = true;
                break;
            case kEcho:
                options_.echo = true;
                break;
            case 'm':
                options_.modern = true;
                break;
            case kInputEncoding:
                options_.inputEncoding = optarg;
                if (options_.inputEncoding.empty()) options_.inputEncoding = "-";
                break;
            case 'h':
                std::fputs(Translated(text::kUsage), stdout);
                std::fputs(Translated(text::kHelp), stdout);
                return 0;
            case 'V':
                std::printf("horofu %s\n", HOROFU_VERSION);
                return 0;
            default:
                std::fputs(Translated(text::kTryHelp), stderr);
                return 2;
        }
    }
    for (int i = optind; i < argc; ++i) options_.inputs.emplace_back(argv[i]);
    if (!options_.inputEncoding.empty()) {
        const std::string& name = options_.inputEncoding;
        if (!options_.modern) {
            Usage(Translated(text::kEncodingNeedsModern));
            return 2;
        }
        if (name != "UTF-8" && name != "utf-8" && name != "UTF8" && name != "utf8" &&
            !OpenPlatformDecoder(name)) {
            Usage(
                Formatted(Translated(text::kUnknownEncoding), Shown(name, stderr).c_str()).c_str());
            return 2;
        }
    }
    if (outputGiven && options_.output.empty()) {
        Usage(Translated(text::kOutputNeedsPath));
        return 2;
    }
    if (options_.inputs.empty()) {
        if (IsTerminal(STDIN_FILENO)) {
            if (const int status = AskForInput(); status >= 0) return status;
        } else {
            options_.inputs.emplace_back("-");
        }
    }
    if (outputGiven && options_.inputs.size() > 1) {
        Usage(Translated(text::kOutputTakesOneInput));
        return 2;
    }
    // The desktop program refuses anything but a text file (or, for the modern page, a .dat
    // file); so does the command, one name at a time: the other names are still converted.
    auto notText = [this](const std::string& input) {
        const bool accepted =
            options_.modern ? IsThreadFilePath(Text(input)) : IsTextFilePath(Text(input));
        if (input == "-" || accepted) return false;
        Report(input, text::kNotTextFile);
        refusedSome_ = true;
        return true;
    };
    options_.inputs.erase(std::remove_if(options_.inputs.begin(), options_.inputs.end(), notText),
                          options_.inputs.end());
    return -1;
}

// With no file named on a terminal, asks for one as the desktop program's open dialog does
// (see AskForThreadFile). Returns -1 when a file was chosen (now the one input), else the exit
// status: 0 when the user cancelled.
int Command::AskForInput() {
    std::vector<std::string> types = {"*.txt"};
    if (options_.modern) types.push_back("*.dat");
    const Text chosen = AskForThreadFile(stdin, stderr, CurrentDirectory(), types, text_);
    if (chosen.Empty()) return 0;
    options_.inputs.push_back(chosen.Bytes());
    return -1;
}

// Whether an existing page may be replaced: with --force, or after a yes on the terminal.
bool Command::MayReplace(const std::string& output) {
    if (options_.force) return true;
    const bool canAsk =
        IsTerminal(STDIN_FILENO) && IsTerminal(STDERR_FILENO) &&
        std::find(options_.inputs.begin(), options_.inputs.end(), "-") == options_.inputs.end();
    if (!canAsk) {
        Report(output, text::kOutputExists);
        return false;
    }
    const std::string question =
        Shown("horofu: " + output + ": " + Translated(text::kOverwriteQuestion) + " ", stderr);
    std::fputs(question.c_str(), stderr);
    std::fflush(stderr);
    char answer[64] = {};
    if (std::fgets(answer, sizeof answer, stdin) == nullptr) {
        std::fputc('\n', stderr);
        return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
}

// Whether standard output is the very file the thread is read from, which would grow without
// end (horofu -o - a.txt >> a.txt), as cat refuses it.
bool Command::StandardOutputIsInput(const std::string& input) {
    struct stat out {
    }, in{};
    if (::fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode)) return false;
    const int got = input == "-" ? ::fstat(STDIN_FILENO, &in) : ::stat(input.c_str(), &in);
    return got == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

int Command::ConvertOne(const std::string& input, const std::string& output) {
    const bool fromStdin = input == "-";
    const bool toStdout = output == "-";
    const Text inputPath(fromStdin ? std::string("/dev/stdin") : input);
    const Text outputPath(output);

    bool mayReplace = false;
    if (toStdout) {
        if (StandardOutputIsInput(input)) {
            Report(input, text::kSameAsInput);
            return 1;
        }
    } else {
        switch (ClassifyPageTarget(outputPath)) {
            case PageTarget::None:
            case PageTarget::Stream:
                break;
            case PageTarget::Refused:
                Report(output, text::kOutputNotCreated, 0, text::kBlockDevice);
                return 1;
            case PageTarget::Existing:
                if (IsSameFile(inputPath, outputPath)) {
                    Report(output, text::kSameAsInput);
                    return 1;
                }
                if (!MayReplace(output)) {
                    if (!options_.force && IsTerminal(STDIN_FILENO)) {
                        Report(output, text::kNotOverwritten);
                    }
                    return 1;
                }
                mayReplace = true;
                break;
        }
    }

    std::FILE* echoTo = options_.echo ? (toStdout ? stderr : stdout) : nullptr;
    const bool showProgress = !options_.quiet && IsTerminal(STDERR_FILENO);
    ProgressBar bar(stderr, Shown(input, stderr));
    CommandListener listener(text_, echoTo, showProgress ? &bar : nullptr);

    PageOptions page;
    if (options_.modern) {
        page.kind = PageKind::Modern;
        page.inputEncoding = options_.inputEncoding;
        if (!fromStdin) page.title = Text(input);
    }
    ConversionResult result;
    if (toStdout) {
        int error = 0;
        auto thread = OpenPlatformFile(inputPath, OpenMode::Input, &error);
        if (thread) {
            AttachChannel(std::move(thread), 1, 1);
            AttachChannel(OpenStandardOutput(), 2, 2);
            result = ConvertOpenChannels(listener, page);
        } else {
            result.outcome = ConversionOutcome::InputNotOpened;
            result.systemError = error;
        }
    } else {
        result = ConvertIntoPlace(inputPath, outputPath, listener, page, mayReplace);
    }
    bar.Clear();
    if (echoTo != nullptr) std::fflush(echoTo);

    switch (result.outcome) {
        case ConversionOutcome::Done:
            break;
        case ConversionOutcome::InputNotOpened:
            Report(input, text::kInputNotOpened, result.systemError);
            return 1;
        case ConversionOutcome::ReadFailed:
            Report(input, text::kReadFailed);
            return 1;
        case ConversionOutcome::OutputNotCreated:
            Report(output, text::kOutputNotCreated, result.systemError);
            return 1;
        case ConversionOutcome::WriteFailed:
            Report(output, text::kWriteFailed);
            return 1;
        case ConversionOutcome::SameAsInput:
            Report(output, text::kSameAsInput);
            return 1;
        case ConversionOutcome::OutputExists:
            Report(output, text::kOutputExists);
            return 1;
        case ConversionOutcome::OutOfMemory:
            Report(input, text::kOutOfMemory);
            return 1;
        case ConversionOutcome::Stopped:
            return 1;
    }
    // Bytes the modern page could not decode are told even without the summary.
    const auto undecodable = static_cast<unsigned long long>(result.undecodable);
    if (showProgress) {
        const std::string records = TranslatedCount(text::kRecords, result.records);
        const std::string posts = TranslatedCount(text::kPosts, result.posts);
        const std::string bytes = TranslatedCount(text::kBytes, result.bytesWritten);
        const std::string summary =
            options_.modern
                ? Formatted(Translated(text::kModernSummary), input.c_str(), output.c_str(),
                            records.c_str(), posts.c_str(), bytes.c_str(),
                            TranslatedCount(text::kUndecodable, undecodable).c_str())
                : Formatted(Translated(text::kSummary), input.c_str(), output.c_str(),
                            records.c_str(), posts.c_str(), bytes.c_str());
        std::fputs((Shown("horofu: " + summary, stderr) + "\n").c_str(), stderr);
    } else if (undecodable > 0 && !options_.quiet) {
        const std::string told = TranslatedCount(text::kUndecodableShown, undecodable);
        std::fputs((Shown("horofu: " + input + ": " + told, stderr) + "\n").c_str(), stderr);
    }
    return 0;
}

int Command::Run(int argc, char** argv) {
    if (const int status = ParseOptions(argc, argv); status >= 0) return status;
    int status = 0;
    for (const std::string& input : options_.inputs) {
        std::string output = options_.output;
        if (output.empty()) {
            output = input == "-" ? "-" : ProposedOutputPath(Text(input)).Bytes();
        }
        if (ConvertOne(input, output) != 0) status = 1;
    }
    if (refusedSome_) status = 1;
    if (std::fflush(stdout) != 0) status = 1;
    return status;
}

}  // namespace
}  // namespace horofu

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    horofu::OpenMessageCatalog();
    if (horofu::AsksForSite(argc, argv)) return horofu::RunSiteCommand(argc, argv);
    horofu::Command command;
    return command.Run(argc, argv);
}
