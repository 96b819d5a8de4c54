// The horofu command: converts thread texts to HTML pages from a Unix shell.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "app/StartupPaths.h"
#include "converter/ConvertIntoPlace.h"
#include "converter/modern/NgFilter.h"
#include "platform/posix/CommandListener.h"
#include "platform/posix/FileQuestion.h"
#include "platform/posix/MessageCatalog.h"
#include "platform/posix/ProgressBar.h"
#include "platform/posix/SearchCommand.h"
#include "platform/posix/SiteCommand.h"
#include "platform/posix/TerminalText.h"
#include "platform/posix/ThreadFile.h"
#include "runtime/ChannelTable.h"
#include "runtime/CurrentDirectory.h"
#include "runtime/PlatformFile.h"
#include "runtime/ShiftJis.h"
#include "runtime/TextDecoder.h"

#ifndef HOROFU_VERSION
#define HOROFU_VERSION "unknown"
#endif

namespace horofu {
namespace {

namespace text = message::command;

// A classic page with no post header among this many records has most likely lost its thread
// (UTF-8 text, or a form of today's headers).
constexpr uint64_t kManyRecords = 5;
// A modern page with more than one undecodable byte in this many was likely read in the wrong
// encoding.
constexpr uint64_t kGarbledShare = 100;

struct Options {
    std::string output;  // empty: beside each input
    bool force = false;
    bool echo = false;
    bool quiet = false;
    bool modern = false;
    std::string inputEncoding;  // empty: found by the modern page
    std::vector<std::string> inputs;
    // --ng FILE, --ng-mode, --ng-chain: posts left out of a modern page.
    std::string ngFile, ngMode;
    bool ngChain = false;
    std::shared_ptr<const NgFilter> ng;
};

class Command {
  public:
    int Run(int argc, char** argv);

  private:
    int ParseOptions(int argc, char** argv);  // -1 to go on, else the exit status
    int AskForInput();
    int ReadNgFile();
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

// The option getopt_long just refused, as written: a long one from its argument (up to any
// "="), a short one by its letter, which may sit inside a group such as -fx. Called by
// ParseOptions on an error, to name the option through the control-byte filter.
std::string OptionInError(char** argv, const option* longOptions) {
    const std::string written = argv[::optind - 1];
    const std::string name = written.substr(0, written.find('='));
    bool isLong = ::optopt == 0;
    for (const option* o = longOptions; !isLong && o->name != nullptr; ++o) {
        isLong = o->val == ::optopt && name.size() > 2 &&
                 std::string("--").append(o->name).compare(0, name.size(), name) == 0;
    }
    return isLong ? name : std::string("-") + static_cast<char>(::optopt);
}

// Reads the rules of --ng FILE with --ng-mode and --ng-chain; -1 to go on, else the exit
// status of a usage error (a bad line is told with its number). Called by ParseOptions.
int Command::ReadNgFile() {
    if (options_.ngFile.empty()) {
        if (options_.ngMode.empty() && !options_.ngChain) return -1;
        Usage(Translated(text::kNgOptionsNeedFile));
        return 2;
    }
    if (!options_.modern) {
        Usage(Translated(text::kNgNeedsModern));
        return 2;
    }
    auto filter = std::make_shared<NgFilter>();
    if (options_.ngMode == "mark") {
        filter->mode = NgMode::Mark;
    } else if (!options_.ngMode.empty() && options_.ngMode != "hide") {
        Usage(Translated(text::kNgBadMode));
        return 2;
    }
    filter->chain = options_.ngChain;
    std::string rules;
    std::FILE* file = std::fopen(options_.ngFile.c_str(), "rb");
    if (file != nullptr) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            rules.append(buffer, got);
        }
    }
    if (file == nullptr || std::ferror(file)) {
        const int error = errno;
        if (file != nullptr) std::fclose(file);
        Report(options_.ngFile, text::kInputNotOpened, error);
        return 2;
    }
    std::fclose(file);
    std::size_t line = 0;
    std::string reason;
    if (!filter->Parse(rules, line, reason)) {
        Usage(Formatted(Translated(text::kNgBadLine), Shown(options_.ngFile, stderr).c_str(), line,
                        reason.c_str())
                  .c_str());
        return 2;
    }
    options_.ng = std::move(filter);
    return -1;
}

int Command::ParseOptions(int argc, char** argv) {
    enum { kEcho = 256, kInputEncoding, kNg, kNgMode, kNgChain };
    static const option longOptions[] = {
        {"output", required_argument, nullptr, 'o'},
        {"force", no_argument, nullptr, 'f'},
        {"echo", no_argument, nullptr, kEcho},
        {"quiet", no_argument, nullptr, 'q'},
        {"modern", no_argument, nullptr, 'm'},
        {"input-encoding", required_argument, nullptr, kInputEncoding},
        {"ng", required_argument, nullptr, kNg},
        {"ng-mode", required_argument, nullptr, kNgMode},
        {"ng-chain", no_argument, nullptr, kNgChain},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0}};
    bool outputGiven = false;
    ::opterr = 0;  // getopt's own messages would show a hostile option's bytes raw
    for (int c; (c = ::getopt_long(argc, argv, ":o:fqmhV", longOptions, nullptr)) != -1;) {
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
            case kNg:
                options_.ngFile = optarg;
                break;
            case kNgMode:
                options_.ngMode = optarg;
                break;
            case kNgChain:
                options_.ngChain = true;
                break;
            case 'h':
                std::fputs(Translated(text::kUsage), stdout);
                std::fputs(Translated(text::kHelp), stdout);
                return 0;
            case 'V':
                std::printf("horofu %s\n", HOROFU_VERSION);
                return 0;
            default: {
                // A long option given a value it does not take is found (optopt) but not known.
                const std::string option = OptionInError(argv, longOptions);
                const char* told = c == ':' ? text::kOptionNeedsArgument
                                   : ::optopt != 0 && option.size() > 2
                                       ? text::kOptionTakesNoArgument
                                       : text::kUnknownOption;
                Usage(Formatted(Translated(told), Shown(option, stderr).c_str()).c_str());
                std::fputs(Translated(text::kTryHelp), stderr);
                return 2;
            }
        }
    }
    for (int i = optind; i < argc; ++i) options_.inputs.emplace_back(argv[i]);
    if (!options_.inputEncoding.empty()) {
        const std::string& name = options_.inputEncoding;
        if (!options_.modern) {
            Usage(Translated(text::kEncodingNeedsModern));
            return 2;
        }
        if (!OpenDecoder(name)) {
            Usage(
                Formatted(Translated(text::kUnknownEncoding), Shown(name, stderr).c_str()).c_str());
            return 2;
        }
    }
    if (const int status = ReadNgFile(); status >= 0) return status;
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
    // The desktop program refuses anything but a .txt or .dat thread; so does the command, one
    // name at a time: the other names are still converted.
    auto notText = [this](const std::string& input) {
        if (input == "-" || IsThreadFilePath(Text(input))) return false;
        Report(input, text::kNotThreadFile);
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
    const std::vector<std::string> types = {"*.txt", "*.dat"};
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
    // The whole line is the answer, however long: what is left of it must not answer the
    // next question.
    std::string answer;
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') answer += static_cast<char>(c);
    if (c == EOF && answer.empty()) {
        std::fputc('\n', stderr);
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
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

    // The page's place is opened before anything else and held: what is checked here (and
    // asked about) is what the page is written into, whatever happens to the names meanwhile.
    bool mayReplace = false;
    std::unique_ptr<PagePlace> place;
    if (toStdout) {
        if (StandardOutputIsInput(input)) {
            Report(input, text::kSameAsInput);
            return 1;
        }
    } else {
        int error = 0;
        place = OpenPagePlace(outputPath, &error);
        if (!place) {
            Report(output, text::kOutputNotCreated, error);
            return 1;
        }
        switch (place->Target()) {
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

    // A thread named by the user is never a device (/dev/zero would never end); standard
    // input may be anything.
    int inputError = 0;
    auto thread = fromStdin ? OpenPlatformFile(inputPath, OpenMode::Input, &inputError)
                            : OpenThreadByName(inputPath, &inputError);
    if (!thread) {
        if (inputError == kThreadIsDevice) {
            Report(input, text::kInputNotOpened, 0, text::kDeviceThread);
        } else {
            Report(input, text::kInputNotOpened, inputError);
        }
        return 1;
    }

    std::FILE* echoTo = options_.echo ? (toStdout ? stderr : stdout) : nullptr;
    const bool showProgress = !options_.quiet && IsTerminal(STDERR_FILENO);
    ProgressBar bar(stderr, Shown(input, stderr));
    CommandListener listener(text_, echoTo, showProgress ? &bar : nullptr);

    // A .dat gets the modern page whatever was asked: the classic page cannot read one, and
    // the desktop program does the same.
    const bool modern = options_.modern || IsDatFilePath(Text(input));
    PageOptions page;
    if (modern) {
        page.kind = PageKind::Modern;
        page.inputEncoding = options_.inputEncoding;
        page.ng = options_.ng;
        if (!fromStdin) page.title = Text(input);
    }
    ConversionResult result;
    if (toStdout) {
        ChannelTable channels;  // the conversion's own
        channels.Attach(std::move(thread), 1, 1);
        channels.Attach(OpenStandardOutput(), 2, 2);
        result = ConvertOpenChannels(channels, listener, page);
    } else {
        result = ConvertIntoPlace(std::move(thread), *place, listener, page, mayReplace);
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
            // A pipe in the page's place fails so only when nobody reads it.
            Report(output, text::kOutputNotCreated, result.systemError,
                   result.systemError == ENXIO && place && place->Target() != PageTarget::None
                       ? text::kNoReader
                       : nullptr);
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
        case ConversionOutcome::ThreadChanged:
            Report(input, text::kThreadChanged);
            return 1;
        case ConversionOutcome::Unexpected:
            // The system's own words: its EAGAIN here is no program holding the file.
            Report(input, text::kUnexpected, 0,
                   result.systemError != 0 ? std::strerror(result.systemError) : nullptr);
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
            modern ? Formatted(Translated(text::kModernSummary), input.c_str(), output.c_str(),
                               records.c_str(), posts.c_str(), bytes.c_str(),
                               TranslatedCount(text::kUndecodable, undecodable).c_str())
                   : Formatted(Translated(text::kSummary), input.c_str(), output.c_str(),
                               records.c_str(), posts.c_str(), bytes.c_str());
        std::fputs((Shown("horofu: " + summary, stderr) + "\n").c_str(), stderr);
    } else if (undecodable > 0 && !options_.quiet) {
        const std::string told = TranslatedCount(text::kUndecodableShown, undecodable);
        std::fputs((Shown("horofu: " + input + ": " + told, stderr) + "\n").c_str(), stderr);
    }
    // Hints that stay quiet with -q: a page that lost its thread is still a page (exit 0).
    if (!options_.quiet) {
        struct stat thread {};
        const uint64_t size =
            !fromStdin && ::stat(input.c_str(), &thread) == 0 ? uint64_t(thread.st_size) : 0;
        if (!modern && result.posts == 0 && result.records >= kManyRecords) {
            Report(input, text::kClassicLost);
        } else if (modern && options_.inputEncoding.empty() && undecodable * kGarbledShare > size &&
                   size > 0) {
            Report(input, text::kTryEncoding);
        }
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
    if (horofu::IsSearchCommand(argc, argv)) return horofu::RunSearchCommand(argc, argv);
    if (horofu::AsksForSite(argc, argv)) return horofu::RunSiteCommand(argc, argv);
    horofu::Command command;
    return command.Run(argc, argv);
}
