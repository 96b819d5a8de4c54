// The horofu command's texts in the user's language: through gettext on POSIX
// (MessageCatalog_posix), in English where there is no catalog (EnglishCatalog).
#pragma once

#include <string>

#include "app/Messages.h"

namespace horofu {

// Binds the command's texts to their catalogs: on POSIX those in a "locale" folder beside
// the program when there is one (a build folder, where the tests run the command), else the
// installed ones. Called once by main, after setlocale.
void OpenMessageCatalog();

// english in the locale's language and encoding (English where no catalog has it).
const char* Translated(const char* english);

// The form of text for count n: the format to give n (and whatever follows) to.
const char* TranslatedForm(const message::command::Plural& text, unsigned long long n);

// The form of text for count n, printf-formatted with n.
std::string TranslatedCount(const message::command::Plural& text, unsigned long long n);

// printf-formats a translated text.
#ifdef __MINGW32__
std::string Formatted(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

}  // namespace horofu
