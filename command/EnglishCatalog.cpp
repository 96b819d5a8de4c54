// The command's texts where there is no message catalog (horofu.exe): English, as under the
// C locale on POSIX.
#include "command/MessageCatalog.h"

namespace horofu {

void OpenMessageCatalog() {}

const char* Translated(const char* english) {
    return english;
}

const char* TranslatedForm(const message::command::Plural& text, unsigned long long n) {
    return n == 1 ? text.one : text.many;
}

}  // namespace horofu
