// The site command: its options, the progress bar of threads converted, its messages.
#include "command/SiteCommand.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "archive/SiteBuild.h"
#include "command/CommandSystem.h"
#include "command/MessageCatalog.h"
#include "command/NgFile.h"
#include "command/OptionParser.h"
#include "command/SiteMessages.h"

namespace horofu {
namespace {

namespace text = message::site;

// Tells problems on standard error and draws the bar of threads done on a terminal.
class SiteCommandListener final : public SiteListener {
  public:
    SiteCommandListener(bool bar, Terminal& terminal) : bar_(bar), terminal_(terminal) {}

    void Problem(const std::string& path, SiteProblem problem, int systemError) override {
        Clear();
        const char* message = nullptr;
        switch (problem) {
            case SiteProblem::SourceMissing:
                message = text::kSourceMissing;
                break;
            case SiteProblem::SourceUnreadable:
                message = text::kSourceUnreadable;
                break;
            case SiteProblem::BadName:
                message = text::kBadName;
                break;
            case SiteProblem::NotThread:
                message = message::command::kNotThreadFile;
                break;
            case SiteProblem::ConversionFailed:
                message = text::kConversionFailed;
                break;
            case SiteProblem::FileNotWritten:
                message = text::kFileNotWritten;
                break;
            case SiteProblem::SiteInSource:
                message = text::kSiteInSource;
                break;
            case SiteProblem::SourceInSite:
                message = text::kSourceInSite;
                break;
            case SiteProblem::SiteNotCreated:
                message = text::kSiteNotCreated;
                break;
            case SiteProblem::SiteLocked:
                message = text::kSiteLocked;
                systemError = 0;
                break;
            case SiteProblem::SearchNotWritten:
                message = text::kSearchNotWritten;
                break;
        }
        std::string told = Translated(message);
        if (systemError != 0 && problem != SiteProblem::SourceMissing) {
            told = Formatted(Translated(message::command::kWithReason), told.c_str(),
                             SystemReason(systemError).c_str());
        }
        Line("horofu: " + path + ": " + told);
    }

    void Progress(std::size_t done, std::size_t total) override {
        if (!bar_ || total == 0) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < total && drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
        lastDrawn_ = now;
        drawn_ = true;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(kWidth * done / total);
        std::string bar = "\rhorofu: [";
        bar.append(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(kWidth - filled), '.');
        char figures[96];
        std::snprintf(figures, sizeof figures, "] %zu/%zu (%.1f/s)\x1b[K", done, total, rate);
        bar += figures;
        terminal_.Write(StandardStream::Error, bar);
        terminal_.Flush(StandardStream::Error);
    }

    void Clear() {
        if (!drawn_) return;
        terminal_.Write(StandardStream::Error, "\r\x1b[K");
        drawn_ = false;
    }

    void Line(const std::string& programText) {
        Clear();
        terminal_.Say(StandardStream::Error, programText);
    }

  private:
    bool bar_;
    Terminal& terminal_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDrawn_;
};

void Usage(Terminal& terminal, const std::string& message) {
    terminal.Say(StandardStream::Error, "horofu: " + message);
    terminal.Write(StandardStream::Error,
                   terminal.FromProgramText(Translated(message::command::kTryHelp)));
}

}  // namespace

bool AsksForSite(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--") return false;
        if (arguments[i] == "--site" || arguments[i].compare(0, 7, "--site=") == 0) return true;
    }
    return false;
}

int RunSiteCommand(const std::vector<std::string>& arguments, Terminal& terminal,
                   MakeSiteWorkers makeWorkers, const char* helpNote) {
    enum { kSite = 256, kQuiet, kJobs, kNg, kNgMode, kNgChain, kHelp };
    OptionParser parser(arguments, {{"site", 0, OptionValue::Required, kSite},
                                    {"quiet", 'q', OptionValue::None, kQuiet},
                                    {"jobs", 'j', OptionValue::Required, kJobs},
                                    {"ng", 0, OptionValue::Required, kNg},
                                    {"ng-mode", 0, OptionValue::Required, kNgMode},
                                    {"ng-chain", 0, OptionValue::None, kNgChain},
                                    {"help", 'h', OptionValue::None, kHelp}});
    const auto help = [&] {
        terminal.Write(StandardStream::Output,
                       terminal.FromProgramText(std::string(Translated(text::kUsage)) +
                                                Translated(text::kHelp)));
        if (helpNote != nullptr) {
            terminal.Write(StandardStream::Output, terminal.FromProgramText(helpNote));
        }
        return terminal.Flush(StandardStream::Output) ? 0 : 1;
    };
    std::string site, ngFile, ngMode;
    bool ngChain = false;
    bool quiet = false;
    unsigned jobs = 0;
    for (FoundOption found; parser.Next(found);) {
        if (found.problem != FoundOption::None) {
            const char* told = found.problem == FoundOption::NeedsValue
                                   ? message::command::kOptionNeedsArgument
                               : found.problem == FoundOption::TakesNoValue
                                   ? message::command::kOptionTakesNoArgument
                                   : message::command::kUnknownOption;
            Usage(terminal, Formatted(Translated(told), found.written.c_str()));
            return 2;
        }
        switch (found.id) {
            case kSite:
                // "--site --help" asks for this help: no one names a site "--help".
                if (found.value == "--help" || found.value == "-h") return help();
                site = found.value;
                break;
            case kQuiet:
                quiet = true;
                break;
            case kJobs: {
                const char* value = found.value.c_str();
                char* end = nullptr;
                const long n = std::strtol(value, &end, 10);
                if (end == value || *end != '\0' || n < 1 || n > 64) {
                    Usage(terminal, Translated(text::kBadJobs));
                    return 2;
                }
                jobs = static_cast<unsigned>(n);
                break;
            }
            case kNg:
                ngFile = found.value;
                break;
            case kNgMode:
                ngMode = found.value;
                break;
            case kNgChain:
                ngChain = true;
                break;
            case kHelp:
                return help();
        }
    }
    std::vector<std::string> sources = parser.Operands();
    if (site.empty() || sources.empty()) {
        Usage(terminal, Translated(text::kNeedsSource));
        return 2;
    }
    while (site.size() > 1 && site.back() == '/') site.pop_back();
    // The rules are read before anything of the site is touched: a bad line leaves it as it is.
    std::shared_ptr<const NgFilter> ng;
    if (!ngFile.empty()) {
        std::string told;
        ng = ReadNgFile(ngFile, ngMode, ngChain, told);
        if (!ng) {
            terminal.Say(StandardStream::Error, "horofu: " + told);
            return 2;
        }
    } else if (!ngMode.empty() || ngChain) {
        Usage(terminal, Translated(message::command::kNgOptionsNeedFile));
        return 2;
    }

    SiteCommandListener listener(!quiet && terminal.IsTerminal(StandardStream::Error), terminal);
    const std::unique_ptr<SiteWorkers> workers = makeWorkers(jobs);
    const SiteSummary summary = BuildSite(site, sources, *workers, listener, ng);
    listener.Clear();
    if (!quiet && summary.status != 2) {
        listener.Line("horofu: " +
                      Formatted(Translated(text::kSummary), site.c_str(),
                                TranslatedCount(text::kThreads, summary.threads).c_str(),
                                TranslatedCount(text::kPagesWritten, summary.converted).c_str(),
                                TranslatedCount(text::kRelinked, summary.relinked).c_str(),
                                TranslatedCount(text::kGone, summary.gone).c_str()));
    }
    // Pages to be shared may show posts the rules were meant to leave out: told even with -q.
    if (summary.ngUndecided > 0) {
        terminal.Say(StandardStream::Error,
                     "horofu: " + site + ": " +
                         TranslatedCount(message::command::kNgUndecided,
                                         static_cast<unsigned long long>(summary.ngUndecided)));
    }
    return summary.status;
}

}  // namespace horofu
