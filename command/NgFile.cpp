// Reading an NG file named on the command line.
#include "command/NgFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/Messages.h"
#include "command/MessageCatalog.h"

namespace horofu {

namespace text = message::command;

std::shared_ptr<const NgFilter> ReadNgFile(const std::string& path, const std::string& mode,
                                           bool chain, std::string& told) {
    auto filter = std::make_shared<NgFilter>();
    if (mode == "mark") {
        filter->mode = NgMode::Mark;
    } else if (!mode.empty() && mode != "hide") {
        told = Translated(text::kNgBadMode);
        return nullptr;
    }
    filter->chain = chain;
    const auto notRead = [&](const char* reason) {
        told = path + ": " +
               Formatted(Translated(text::kWithReason), Translated(text::kNgNotRead),
                         Translated(reason));
        return nullptr;
    };
    // A list of rules is small: a file that goes on past this (/dev/zero) is none.
    constexpr std::size_t kMostNgBytes = 16 << 20;
    std::string rules;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
        char buffer[4096];
        for (std::size_t got; rules.size() <= kMostNgBytes &&
                              (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            rules.append(buffer, got);
        }
    }
    if (file == nullptr || std::ferror(file)) {
        const int error = errno;
        if (file != nullptr) std::fclose(file);
        return notRead(std::strerror(error));
    }
    std::fclose(file);
    if (rules.size() > kMostNgBytes) return notRead(text::kNgTooLarge);
    std::size_t line = 0;
    std::string reason;
    if (!filter->Parse(rules, line, reason)) {
        told = Formatted(Translated(text::kNgBadLine), path.c_str(), line, reason.c_str());
        return nullptr;
    }
    return filter;
}

}  // namespace horofu
