// The site command: its options, the progress bar of threads converted, its messages.
#include "platform/posix/SiteCommand.h"

#include <getopt.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/SiteBuild.h"
#include "platform/posix/ForkedSiteWorkers.h"
#include "platform/posix/MessageCatalog.h"
#include "platform/posix/SiteMessages.h"
#include "platform/posix/TerminalText.h"

namespace horofu {
namespace {

namespace text = message::site;

// Tells problems on standard error and draws the bar of threads done on a terminal.
class SiteCommandListener final : public SiteListener {
  public:
    SiteCommandListener(bool bar, TerminalText& terminal) : bar_(bar), terminal_(terminal) {}

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
                             std::strerror(systemError));
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
        std::fputs(bar.c_str(), stderr);
        std::fflush(stderr);
    }

    void Clear() {
        if (!drawn_) return;
        std::fputs("\r\x1b[K", stderr);
        drawn_ = false;
    }

    void Line(const std::string& localeText) {
        Clear();
        const std::string shown =
            ::isatty(STDERR_FILENO) == 1 ? terminal_.ShowControls(localeText) : localeText;
        std::fputs((shown + "\n").c_str(), stderr);
    }

  private:
    bool bar_;
    TerminalText& terminal_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDrawn_;
};

void Usage(const char* message) {
    std::fputs(("horofu: " + std::string(message) + "\n").c_str(), stderr);
    std::fputs(Translated(message::command::kTryHelp), stderr);
}

}  // namespace

bool AsksForSite(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--site") == 0 || std::strncmp(argv[i], "--site=", 7) == 0) {
            return true;
        }
    }
    return false;
}

int RunSiteCommand(int argc, char** argv) {
    static const option longOptions[] = {{"site", required_argument, nullptr, 's'},
                                         {"quiet", no_argument, nullptr, 'q'},
                                         {"jobs", required_argument, nullptr, 'j'},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    std::string site;
    bool quiet = false;
    unsigned jobs = 0;
    for (int c; (c = ::getopt_long(argc, argv, "qj:h", longOptions, nullptr)) != -1;) {
        switch (c) {
            case 's':
                site = optarg;
                break;
            case 'q':
                quiet = true;
                break;
            case 'j': {
                char* end = nullptr;
                const long n = std::strtol(optarg, &end, 10);
                if (end == optarg || *end != '\0' || n < 1 || n > 64) {
                    Usage(Translated(text::kBadJobs));
                    return 2;
                }
                jobs = static_cast<unsigned>(n);
                break;
            }
            case 'h':
                std::fputs(Translated(text::kUsage), stdout);
                std::fputs(Translated(text::kHelp), stdout);
                return 0;
            default:
                std::fputs(Translated(message::command::kTryHelp), stderr);
                return 2;
        }
    }
    std::vector<std::string> sources(argv + optind, argv + argc);
    if (site.empty() || sources.empty()) {
        Usage(Translated(text::kNeedsSource));
        return 2;
    }
    while (site.size() > 1 && site.back() == '/') site.pop_back();

    TerminalText terminal;
    SiteCommandListener listener(!quiet && ::isatty(STDERR_FILENO) == 1, terminal);
    ForkedSiteWorkers workers(jobs);
    const SiteSummary summary = BuildSite(site, sources, workers, listener);
    listener.Clear();
    if (!quiet && summary.status != 2) {
        listener.Line("horofu: " +
                      Formatted(Translated(text::kSummary), site.c_str(),
                                TranslatedCount(text::kThreads, summary.threads).c_str(),
                                TranslatedCount(text::kPagesWritten, summary.converted).c_str(),
                                TranslatedCount(text::kRelinked, summary.relinked).c_str(),
                                TranslatedCount(text::kGone, summary.gone).c_str()));
    }
    return summary.status;
}

}  // namespace horofu
