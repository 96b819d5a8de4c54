// A dropped folder's run: the folder dialog, BuildSite on worker threads, the console's echo of
// the threads converted and the messages at the end.
#include "platform/win32/SiteDrop.h"

#include <clocale>
#include <mutex>
#include <string>
#include <vector>

#include "app/Messages.h"
#include "archive/SiteBuild.h"
#include "archive/ThreadedSiteWorkers.h"
#include "console/Console.h"
#include "platform/win32/FileDialogs.h"
#include "platform/win32/SiteDropMessages.h"
#include "runtime/CurrentDirectory.h"
#include "runtime/PathParts.h"

namespace horofu {
namespace {

namespace text = message::site_drop;

// At most this many problems are listed in the closing message; the rest are counted.
constexpr std::size_t kProblemsListed = 8;

const char* ProblemText(SiteProblem problem) {
    switch (problem) {
        case SiteProblem::SourceMissing:
            return text::kSourceMissing;
        case SiteProblem::SourceUnreadable:
            return text::kSourceUnreadable;
        case SiteProblem::BadName:
            return text::kBadName;
        case SiteProblem::NotThread:
            return message::kNotTextFile;
        case SiteProblem::ConversionFailed:
            return text::kConversionFailed;
        case SiteProblem::FileNotWritten:
            return text::kFileNotWritten;
        case SiteProblem::SiteInSource:
            return text::kSiteInSource;
        case SiteProblem::SourceInSite:
            return text::kSourceInSite;
        case SiteProblem::SiteNotCreated:
            return text::kSiteNotCreated;
        case SiteProblem::SiteLocked:
            return text::kSiteLocked;
        case SiteProblem::SearchNotWritten:
            return text::kSearchNotWritten;
    }
    return text::kFileNotWritten;
}

// Echoes the threads on the console and keeps the problems for the closing message. Workers
// announce their threads on threads of their own; the console is printed on from the main
// thread only, as its drawing expects, when BuildSite reports progress there.
class ConsoleSiteListener final : public SiteListener {
  public:
    void Converting(const std::string& name) override {
        std::lock_guard<std::mutex> hold(lock_);
        starting_.push_back(name);
    }
    void Progress(std::size_t /*done*/, std::size_t /*total*/) override { Echo(); }
    void Problem(const std::string& path, SiteProblem problem, int /*systemError*/) override {
        Echo();
        const Text told = Text(ProblemText(problem)) + Text("\r\n") + Text(path);
        ConsolePrint(told + Text("\r\n"));
        problems_.push_back(told);
    }

    // The threads announced since the last call, a line each. Called on the main thread.
    void Echo() {
        std::vector<std::string> names;
        {
            std::lock_guard<std::mutex> hold(lock_);
            names.swap(starting_);
        }
        for (const std::string& name : names) ConsolePrint(Text(name + "\r\n"));
    }

    // The closing message's text: the problems, each above its path, the last ones counted.
    Text Told() const {
        Text all;
        for (std::size_t i = 0; i < problems_.size() && i < kProblemsListed; ++i) {
            if (i > 0) all += Text("\r\n\r\n");
            all += problems_[i];
        }
        if (problems_.size() > kProblemsListed) {
            all += Text("\r\n\r\n") + Text(text::kMore) + Text(" ") +
                   Text(std::to_string(problems_.size() - kProblemsListed)) + Text(" ") +
                   Text(text::kCount);
        }
        return all;
    }
    bool Failed() const { return !problems_.empty(); }

  private:
    std::mutex lock_;
    std::vector<std::string> starting_;  // under lock_
    std::vector<Text> problems_;
};

}  // namespace

bool IsFolderPath(const Text& path) {
    const DWORD attributes = GetFileAttributesA(path.Data());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RunSiteDrop(HWND owner, const Text& dropped) {
    // The folder without a separator at its end (one that is a character of its own: the
    // second byte of ソ is a backslash too), unless it is a drive's root.
    Text folder = dropped;
    while (folder.Size() > 3 && PathFileName(folder, kWindowsSeparator).Empty()) {
        folder.Bytes().pop_back();
    }
    const Text name = PathFileName(folder, kWindowsSeparator);
    const Text parent = PathDirectory(folder, CurrentDirectory(), kWindowsSeparator);
    // A drive's root has no name of its own to propose the site by.
    const Text proposed =
        (name.Empty() || name.Bytes().back() == ':') ? Text("site") : name + Text("-site");
    bool unnamed = false;
    const Text site = ChooseFolder(owner, parent, proposed, Text(text::kChooseSiteTitle), unnamed);
    if (unnamed) {
        MessageBoxA(owner, text::kFolderNotNamed, message::kTitle, MB_OK);
        ExitProcess(1);
    }
    if (site.Empty()) ExitProcess(0);

    // The archive walks folders with the standard library, which converts narrow paths by the
    // C library's locale: it must be the system code page's, as every other path here is.
    std::setlocale(LC_CTYPE, "");
    ConsoleSiteListener listener;
    ThreadedSiteWorkers workers;
    const SiteSummary summary = BuildSite(site.Bytes(), {folder.Bytes()}, workers, listener);
    listener.Echo();
    if (summary.status != 0 || listener.Failed()) {
        MessageBoxA(owner, listener.Told().Data(), message::kTitle, MB_OK);
        ExitProcess(1);
    }
    MessageBoxA(owner, message::kDone, message::kTitle, MB_OK);
    ExitProcess(0);
}

}  // namespace horofu
