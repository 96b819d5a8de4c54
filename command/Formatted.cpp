// printf formatting of translated texts, which every catalog shares.
#include <cstdarg>
#include <cstdio>

#include "command/MessageCatalog.h"

namespace horofu {

std::string TranslatedCount(const message::command::Plural& text, unsigned long long n) {
    return Formatted(TranslatedForm(text, n), n);
}

std::string Formatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (size > 0) {
        out.resize(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<std::size_t>(size));
    }
    va_end(again);
    return out;
}

}  // namespace horofu
