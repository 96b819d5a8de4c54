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
#include "platform/posix/ProgressBar.h"
#include "platform/posix/TerminalText.h"
#include "runtime/Channels.h"
#include "runtime/CurrentDirectory.h"
#include "runtime/FileDialogRequest.h"
#include "runtime/PathParts.h"
#include "runtime/PlatformFile.h"
#include "runtime/TerminalFileChoice.h"
#include "runtime/TextDecoder.h"

#ifndef HOROFU_VERSION
#define HOROFU_VERSION "unknown"
#endif

namespace horofu {
namespace {

// 上書きしませんでした。
constexpr char kNotOverwritten[] =
    "\x8f\xe3\x8f\x91\x82\xab\x82\xb5\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";

constexpr char kUsage[] = "Usage: horofu [OPTION]... FILE.txt...\n";
constexpr char kHelp[] =
    "Convert saved bulletin-board threads (Shift-JIS text) into HTML pages.\n"
    "Each FILE.txt becomes FILE.html beside it. FILE '-', or no FILE with standard input\n"
    "not a terminal, reads the thread from standard input and writes the page to standard\n"
    "output. No FILE on a terminal asks for one; an empty answer cancels.\n"
    "\n"
    "  -o, --output=PATH  write the page to PATH ('-' for standard output); one FILE only\n"
    "  -f, --force        replace an existing page without asking\n"
    "      --echo         show every record as it is read (on standard error when the\n"
    "                     page goes to standard output)\n"
    "  -q, --quiet        no progress bar and no summary\n"
    "  -m, --modern       write a UTF-8 HTML5 page with reply previews instead; FILE may\n"
    "                     also be FILE.dat, in Shift-JIS or UTF-8 (found by itself)\n"
    "      --input-encoding=NAME  with --modern: read the thread in NAME (an iconv name)\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "An existing page (any name there, a link included) is replaced only after a yes on the\n"
    "terminal, or with --force. The page is written privately beside its target and put in\n"
    "place only when complete, so a failure or an interrupt never leaves half a page or a\n"
    "stray file. Messages follow the locale: Shift-JIS where its codeset is Shift-JIS\n"
    "or CP932, UTF-8 otherwise. The page keeps the thread's Shift-JIS bytes.\n"
    "\n"
    "Exit status: 0 if every file was converted, 1 if any failed, 2 on a usage error,\n"
    "128+N when signal N ended the run.\n";

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
    void Report(const std::string& path, const char* shiftJisMessage, int systemError = 0,
                const char* shiftJisReason = nullptr);

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

// One message on standard error: the path, the fixed text, and after it the reason when there
// is one (a fixed one, or the system's in the locale's language).
void Command::Report(const std::string& path, const char* shiftJisMessage, int systemError,
                     const char* shiftJisReason) {
    std::string reason;
    if (systemError == EWOULDBLOCK) shiftJisReason = message::kFileInUse;
    if (shiftJisReason != nullptr) {
        reason = text_.Convert(shiftJisReason);
    } else if (systemError != 0) {
        reason = std::strerror(systemError);
    }
    std::string line = "horofu: " + path + ": " + text_.Convert(shiftJisMessage);
    if (!reason.empty()) {
        line += text_.Convert(message::kReasonOpen) + reason + text_.Convert(message::kReasonClose);
    }
    line = Shown(line, stderr) + "\n";
    std::fputs(line.c_str(), stderr);
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
                std::fputs(kUsage, stdout);
                std::fputs(kHelp, stdout);
                return 0;
            case 'V':
                std::printf("horofu %s\n", HOROFU_VERSION);
                return 0;
            default:
                std::fputs("Try 'horofu --help' for more information.\n", stderr);
                return 2;
        }
    }
    for (int i = optind; i < argc; ++i) options_.inputs.emplace_back(argv[i]);
    if (!options_.inputEncoding.empty()) {
        const std::string& name = options_.inputEncoding;
        if (!options_.modern) {
            std::fputs("horofu: --input-encoding needs --modern\n", stderr);
            return 2;
        }
        if (name != "UTF-8" && name != "utf-8" && name != "UTF8" && name != "utf8" &&
            !OpenPlatformDecoder(name)) {
            std::fprintf(stderr, "horofu: unknown input encoding: %s\n", name.c_str());
            return 2;
        }
    }
    if (outputGiven && options_.output.empty()) {
        std::fputs("horofu: -o needs a path\n", stderr);
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
        std::fputs("horofu: -o takes one input file only\n", stderr);
        return 2;
    }
    // The desktop program refuses anything but a text file (or, for the modern page, a .dat
    // file); so does the command, one name at a time: the other names are still converted.
    auto notText = [this](const std::string& input) {
        const bool accepted =
            options_.modern ? IsThreadFilePath(Text(input)) : IsTextFilePath(Text(input));
        if (input == "-" || accepted) return false;
        Report(input, message::kNotTextFile);
        refusedSome_ = true;
        return true;
    };
    options_.inputs.erase(std::remove_if(options_.inputs.begin(), options_.inputs.end(), notText),
                          options_.inputs.end());
    return -1;
}

// With no file named on a terminal, asks for one as the desktop program's open dialog does:
// its title, the file types, the folder, and "*.txt" proposed. An empty answer cancels.
// Returns -1 when a file was chosen (now the one input), else the exit status.
int Command::AskForInput() {
    const FileDialogRequest request =
        BuildFileDialogRequest(Text("txt"), Text("*.txt"), Text(message::kChooseInputTitle), true,
                               CurrentDirectory(), kPosixSeparator);
    const TerminalFilePrompt prompt = FilePromptLines(request);
    auto show = [this](const PromptLine& line) {
        const std::string shown =
            Shown(text_.Convert(line.text.View()) + line.path.Bytes(), stderr);
        std::fwrite(shown.data(), 1, shown.size(), stderr);
    };
    for (const PromptLine& line : prompt.lines) {
        show(line);
        std::fputc('\n', stderr);
    }
    show(prompt.question);
    std::fflush(stderr);
    std::string answer;
    for (int c; (c = std::fgetc(stdin)) != EOF && c != '\n';) answer += static_cast<char>(c);
    const Text chosen = FilePromptAnswer(request, Text(answer), kPosixSeparator);
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
        Report(output, message::kOutputExists);
        return false;
    }
    const std::string question = Shown(
        "horofu: " + output + ": " + text_.Convert(message::kOverwriteQuestion) + " ", stderr);
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
            Report(input, message::kSameAsInput);
            return 1;
        }
    } else {
        switch (ClassifyPageTarget(outputPath)) {
            case PageTarget::None:
            case PageTarget::Stream:
                break;
            case PageTarget::Refused:
                Report(output, message::kOutputNotCreated, 0, message::kBlockDevice);
                return 1;
            case PageTarget::Existing:
                if (IsSameFile(inputPath, outputPath)) {
                    Report(output, message::kSameAsInput);
                    return 1;
                }
                if (!MayReplace(output)) {
                    if (!options_.force && IsTerminal(STDIN_FILENO)) {
                        Report(output, kNotOverwritten);
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
            Report(input, message::kInputNotOpened, result.systemError);
            return 1;
        case ConversionOutcome::ReadFailed:
            Report(input, message::kReadFailed);
            return 1;
        case ConversionOutcome::OutputNotCreated:
            Report(output, message::kOutputNotCreated, result.systemError);
            return 1;
        case ConversionOutcome::WriteFailed:
            Report(output, message::kWriteFailed);
            return 1;
        case ConversionOutcome::SameAsInput:
            Report(output, message::kSameAsInput);
            return 1;
        case ConversionOutcome::OutputExists:
            Report(output, message::kOutputExists);
            return 1;
        case ConversionOutcome::OutOfMemory:
            Report(input, message::kOutOfMemory);
            return 1;
        case ConversionOutcome::Stopped:
            return 1;
    }
    // Bytes the modern page could not decode are told even without the summary.
    const auto undecodable = static_cast<unsigned long long>(result.undecodable);
    if (showProgress) {
        const std::string summary =
            "horofu: " + input + " -> " + output + ": " + std::to_string(result.records) +
            " records, " + std::to_string(result.posts) + " posts, " +
            std::to_string(result.bytesWritten) + " bytes" +
            (options_.modern ? ", " + std::to_string(undecodable) + " undecodable" : "");
        std::fputs((Shown(summary, stderr) + "\n").c_str(), stderr);
    } else if (undecodable > 0 && !options_.quiet) {
        const std::string told = "horofu: " + input + ": " + std::to_string(undecodable) +
                                 " undecodable bytes shown as U+FFFD";
        std::fputs((Shown(told, stderr) + "\n").c_str(), stderr);
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
    horofu::Command command;
    return command.Run(argc, argv);
}
