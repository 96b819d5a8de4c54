// The horofu command on POSIX systems: the locale, the message catalogs, the terminal and the
// forked workers, handed to the command.
#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "command/Command.h"
#include "command/MessageCatalog.h"
#include "platform/posix/ForkedSiteWorkers.h"
#include "platform/posix/Terminal_posix.h"

namespace {

// Called by the site command once its options are read.
std::unique_ptr<horofu::SiteWorkers> MakeForkedWorkers(unsigned jobs) {
    return std::make_unique<horofu::ForkedSiteWorkers>(jobs);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    horofu::OpenMessageCatalog();
    horofu::PosixTerminal terminal;
    horofu::CommandPlatform platform{terminal, MakeForkedWorkers};
    return horofu::RunHorofuCommand(std::vector<std::string>(argv, argv + argc), platform);
}
