// Finding the command's message catalogs and reading texts from them with gettext.
#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "command/MessageCatalog.h"

#ifndef HOROFU_LOCALEDIR
#define HOROFU_LOCALEDIR "/usr/share/locale"
#define HOROFU_LOCALEDIR_FROM_BIN "../share/locale"
#endif

namespace horofu {
namespace {

constexpr char kDomain[] = "horofu";

// The folder the running program is in, or empty when the system does not say.
std::string ProgramFolder() {
    char path[4096];
    const ssize_t got = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (got <= 0) return {};
    const std::string program(path, static_cast<std::size_t>(got));
    return program.substr(0, program.rfind('/') + 1);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

void OpenMessageCatalog() {
    // Only places that come with the program itself are looked at: the catalogs give printf
    // formats, so they must be the program's own.
    const std::string program = ProgramFolder();
    std::string folder = HOROFU_LOCALEDIR;
    if (!program.empty() && IsFolder(program + "locale")) {
        folder = program + "locale";  // a build folder
    } else if (!program.empty() && IsFolder(program + HOROFU_LOCALEDIR_FROM_BIN)) {
        folder = program + HOROFU_LOCALEDIR_FROM_BIN;
    }
    ::bindtextdomain(kDomain, folder.c_str());
    ::textdomain(kDomain);
}

const char* Translated(const char* english) {
    return ::gettext(english);
}

const char* TranslatedForm(const message::command::Plural& text, unsigned long long n) {
    return ::ngettext(text.one, text.many, static_cast<unsigned long>(n));
}

}  // namespace horofu
