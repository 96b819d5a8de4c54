// The horofu command's conversion: its options, each thread to its page, and what it tells.
#include "command/Command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/Messages.h"
#include "app/StartupPaths.h"
#include "command/CommandListener.h"
#include "command/CommandSystem.h"
#include "command/FileQuestion.h"
#include "command/MessageCatalog.h"
#include "command/NgFile.h"
#include "command/OptionParser.h"
#include "command/ProgressBar.h"
#include "command/SearchCommand.h"
#include "command/ThreadFile.h"
#include "converter/ConvertIntoPlace.h"
#include "converter/modern/NgFilter.h"
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

constexpr StandardStream kIn = StandardStream::Input;
constexpr StandardStream kOut = StandardStream::Output;
constexpr StandardStream kErr = StandardStream::Error;

// A conversion the platform may stop from another thread: begun (false when a stop came
// first) and ended around it.
class StoppableConversion {
  public:
    explicit StoppableConversion(ConversionStop* stop) : stop_(stop) {}
    ~StoppableConversion() {
        if (stop_ != nullptr && begun_) stop_->EndConversion();
    }
    bool Begin() { return stop_ == nullptr || (begun_ = stop_->BeginConversion()); }

  private:
    ConversionStop* stop_;
    bool begun_ = false;
};

class Command {
  public:
    explicit Command(CommandPlatform& platform)
        : platform_(platform), terminal_(platform.terminal) {}
    int Run(const std::vector<std::string>& arguments);

  private:
    int ParseOptions(
        const std::vector<std::string>& arguments);  // -1 to go on, else the exit status
    int AskForInput();
    int ReadNgFile();
    int ConvertOne(const std::string& input, const std::string& output);
    bool MayReplace(const std::string& output);
    void Report(const std::string& path, const char* message, int systemError = 0,
                const char* reason = nullptr);
    void Usage(const std::string& message);

    CommandPlatform& platform_;
    Terminal& terminal_;
    Options options_;
    bool refusedSome_ = false;  // some name was refused before converting
};

// One message on standard error: the path, the message (one of message::command's), and after
// it the reason when there is one (one of ours, or the system's), in the locale's language.
void Command::Report(const std::string& path, const char* message, int systemError,
                     const char* reason) {
    if (systemError != 0 && IsFileInUse(systemError)) reason = text::kFileInUse;
    std::string told = Translated(message);
    if (reason != nullptr) {
        told = Formatted(Translated(text::kWithReason), told.c_str(), Translated(reason));
    } else if (systemError != 0) {
        told = Formatted(Translated(text::kWithReason), told.c_str(),
                         SystemReason(systemError).c_str());
    }
    terminal_.Say(kErr, "horofu: " + path + ": " + told);
}

// A usage error on standard error; an option or file name in it is shown safely.
void Command::Usage(const std::string& message) {
    terminal_.Say(kErr, "horofu: " + message);
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
    std::string told;
    options_.ng = horofu::ReadNgFile(options_.ngFile, options_.ngMode, options_.ngChain, told);
    if (!options_.ng) {
        terminal_.Say(kErr, "horofu: " + told);
        return 2;
    }
    return -1;
}

int Command::ParseOptions(const std::vector<std::string>& arguments) {
    enum {
        kOutput = 256,
        kForce,
        kEcho,
        kQuiet,
        kModern,
        kInputEncoding,
        kNg,
        kNgMode,
        kNgChain,
        kHelp,
        kVersion
    };
    OptionParser parser(arguments, {{"output", 'o', OptionValue::Required, kOutput},
                                    {"force", 'f', OptionValue::None, kForce},
                                    {"echo", 0, OptionValue::None, kEcho},
                                    {"quiet", 'q', OptionValue::None, kQuiet},
                                    {"modern", 'm', OptionValue::None, kModern},
                                    {"input-encoding", 0, OptionValue::Required, kInputEncoding},
                                    {"ng", 0, OptionValue::Required, kNg},
                                    {"ng-mode", 0, OptionValue::Required, kNgMode},
                                    {"ng-chain", 0, OptionValue::None, kNgChain},
                                    {"help", 'h', OptionValue::None, kHelp},
                                    {"version", 'V', OptionValue::None, kVersion}});
    bool outputGiven = false;
    for (FoundOption found; parser.Next(found);) {
        if (found.problem != FoundOption::None) {
            const char* told = found.problem == FoundOption::NeedsValue ? text::kOptionNeedsArgument
                               : found.problem == FoundOption::TakesNoValue
                                   ? text::kOptionTakesNoArgument
                                   : text::kUnknownOption;
            Usage(Formatted(Translated(told), found.written.c_str()));
            terminal_.Write(kErr, terminal_.FromProgramText(Translated(text::kTryHelp)));
            return 2;
        }
        switch (found.id) {
            case kOutput:
                options_.output = found.value;
                outputGiven = true;
                break;
            case kForce:
                options_.force = true;
                break;
            case kQuiet:
                options_.quiet = true;
                break;
            case kEcho:
                options_.echo = true;
                break;
            case kModern:
                options_.modern = true;
                break;
            case kInputEncoding:
                // An empty name is a name no decoder has, not "found by the page".
                options_.inputEncoding = found.value.empty() ? std::string("-") : found.value;
                break;
            case kNg:
                options_.ngFile = found.value;
                break;
            case kNgMode:
                options_.ngMode = found.value;
                break;
            case kNgChain:
                options_.ngChain = true;
                break;
            case kHelp:
                terminal_.Write(kOut,
                                terminal_.FromProgramText(std::string(Translated(text::kUsage)) +
                                                          Translated(text::kHelp)));
                if (platform_.helpNote != nullptr) {
                    terminal_.Write(kOut, terminal_.FromProgramText(platform_.helpNote));
                }
                return terminal_.Flush(kOut) ? 0 : 1;
            case kVersion:
                terminal_.Write(kOut, "horofu " HOROFU_VERSION "\n");
                return terminal_.Flush(kOut) ? 0 : 1;
        }
    }
    options_.inputs = parser.Operands();
    if (!options_.inputEncoding.empty()) {
        const std::string& name = options_.inputEncoding;
        if (!options_.modern) {
            Usage(Translated(text::kEncodingNeedsModern));
            return 2;
        }
        if (!OpenDecoder(name)) {
            Usage(Formatted(Translated(text::kUnknownEncoding), name.c_str()));
            return 2;
        }
    }
    if (const int status = ReadNgFile(); status >= 0) return status;
    if (outputGiven && options_.output.empty()) {
        Usage(Translated(text::kOutputNeedsPath));
        return 2;
    }
    if (options_.inputs.empty()) {
        if (terminal_.IsTerminal(kIn)) {
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
    const Text chosen = AskForThreadFile(terminal_, CurrentDirectory(), types, platform_.separator);
    if (chosen.Empty()) return 0;
    options_.inputs.push_back(chosen.Bytes());
    return -1;
}

// Whether an existing page may be replaced: with --force, or after a yes on the terminal.
bool Command::MayReplace(const std::string& output) {
    if (options_.force) return true;
    const bool canAsk =
        terminal_.IsTerminal(kIn) && terminal_.IsTerminal(kErr) &&
        std::find(options_.inputs.begin(), options_.inputs.end(), "-") == options_.inputs.end();
    if (!canAsk) {
        Report(output, text::kOutputExists);
        return false;
    }
    terminal_.Write(kErr, terminal_.Shown(kErr, "horofu: " + output + ": " +
                                                    Translated(text::kOverwriteQuestion) + " "));
    terminal_.Flush(kErr);
    // The whole line is the answer, however long: what is left of it must not answer the
    // next question.
    bool ended = false;
    const std::string answer = terminal_.ReadLine(ended);
    if (ended && answer.empty()) {
        terminal_.Write(kErr, "\n");
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int Command::ConvertOne(const std::string& input, const std::string& output) {
    const bool fromStdin = input == "-";
    const bool toStdout = output == "-";
    const Text inputPath = fromStdin ? StandardInputName() : Text(input);
    const Text outputPath(output);

    // The page's place is opened before anything else and held: what is checked here (and
    // asked about) is what the page is written into, whatever happens to the names meanwhile.
    bool mayReplace = false;
    std::unique_ptr<PagePlace> place;
    if (toStdout) {
        if (StandardOutputIsInput(inputPath)) {
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
                    if (!options_.force && terminal_.IsTerminal(kIn)) {
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
    auto thread = !fromStdin          ? OpenThreadByName(inputPath, &inputError)
                  : inputPath.Empty() ? OpenStandardInput()
                                      : OpenPlatformFile(inputPath, OpenMode::Input, &inputError);
    if (!thread) {
        if (inputError == kThreadIsDevice) {
            Report(input, text::kInputNotOpened, 0, text::kDeviceThread);
        } else {
            Report(input, text::kInputNotOpened, inputError);
        }
        return 1;
    }

    const StandardStream echoStream = toStdout ? kErr : kOut;
    const StandardStream* echoTo = options_.echo ? &echoStream : nullptr;
    const bool showProgress = !options_.quiet && terminal_.IsTerminal(kErr);
    ProgressBar bar(terminal_, terminal_.Shown(kErr, input));
    CommandListener listener(terminal_, echoTo, showProgress ? &bar : nullptr, platform_.stop);

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
    StoppableConversion stoppable(platform_.stop);
    if (!stoppable.Begin()) {
        result.outcome = ConversionOutcome::Stopped;
    } else if (toStdout) {
        ChannelTable channels;  // the conversion's own
        channels.Attach(std::move(thread), 1, 1);
        channels.Attach(OpenStandardOutput(), 2, 2);
        result = ConvertOpenChannels(channels, listener, page);
    } else {
        result = ConvertIntoPlace(std::move(thread), *place, listener, page, mayReplace);
    }
    bar.Clear();
    if (echoTo != nullptr) terminal_.Flush(*echoTo);

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
                   IsNoReader(result.systemError) && place && place->Target() != PageTarget::None
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
                   result.systemError != 0 ? SystemReason(result.systemError).c_str() : nullptr);
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
        terminal_.Say(kErr, "horofu: " + summary);
    } else if (undecodable > 0 && !options_.quiet) {
        const std::string told = TranslatedCount(text::kUndecodableShown, undecodable);
        terminal_.Say(kErr, "horofu: " + input + ": " + told);
    }
    if (result.badReferences > 0 && !options_.quiet) {
        const std::string told = TranslatedCount(
            text::kBadReferencesShown, static_cast<unsigned long long>(result.badReferences));
        terminal_.Say(kErr, "horofu: " + input + ": " + told);
    }
    // A page to be shared may show posts its rules were meant to leave out: told even with -q.
    if (result.ngUndecided > 0) {
        const std::string told = TranslatedCount(
            text::kNgUndecided, static_cast<unsigned long long>(result.ngUndecided));
        terminal_.Say(kErr, "horofu: " + input + ": " + told);
    }
    // Hints that stay quiet with -q: a page that lost its thread is still a page (exit 0).
    if (!options_.quiet) {
        const uint64_t size = fromStdin ? 0 : FileSizeAt(inputPath);
        if (!modern && result.posts == 0 && result.records >= kManyRecords) {
            Report(input, text::kClassicLost);
        } else if (modern && options_.inputEncoding.empty() && undecodable * kGarbledShare > size &&
                   size > 0) {
            Report(input, text::kTryEncoding);
        }
    }
    return 0;
}

int Command::Run(const std::vector<std::string>& arguments) {
    if (const int status = ParseOptions(arguments); status >= 0) return status;
    int status = 0;
    for (const std::string& input : options_.inputs) {
        std::string output = options_.output;
        if (output.empty()) {
            output = input == "-" ? "-" : ProposedOutputPath(Text(input)).Bytes();
        }
        if (ConvertOne(input, output) != 0) status = 1;
    }
    if (refusedSome_) status = 1;
    if (!terminal_.Flush(kOut)) status = 1;
    return status;
}

}  // namespace

int RunHorofuCommand(const std::vector<std::string>& arguments, CommandPlatform& platform) {
    if (IsSearchCommand(arguments)) return RunSearchCommand(arguments, platform.terminal);
    if (AsksForSite(arguments)) {
        return RunSiteCommand(arguments, platform.terminal, platform.makeWorkers,
                              platform.helpNote);
    }
    return Command(platform).Run(arguments);
}

}  // namespace horofu
