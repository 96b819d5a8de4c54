// Reading options as getopt_long does, so that the command takes the same command lines on
// every system.
#include "command/OptionParser.h"

namespace horofu {

bool OptionParser::Next(FoundOption& found) {
    found = FoundOption();
    if (letter_ != 0) return Short(found);
    while (next_ < arguments_.size()) {
        const std::string& argument = arguments_[next_];
        if (argument == "--") {
            operands_.insert(operands_.end(), arguments_.begin() + next_ + 1, arguments_.end());
            next_ = arguments_.size();
            return false;
        }
        if (argument.size() < 2 || argument[0] != '-') {  // "-" alone is standard input
            operands_.push_back(argument);
            ++next_;
            continue;
        }
        if (argument[1] == '-') {
            ++next_;
            return Long(argument, found);
        }
        letter_ = 1;
        return Short(found);
    }
    return false;
}

// --name, --name=VALUE or --name VALUE, name being the whole name or a prefix of one option
// only (or of several that are one option under different names).
bool OptionParser::Long(const std::string& argument, FoundOption& found) {
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(2, equals == std::string::npos ? equals : equals - 2);
    found.written = argument.substr(0, equals);
    const KnownOption* chosen = nullptr;
    bool ambiguous = false;
    for (const KnownOption& option : known_) {
        if (option.name == nullptr || std::string(option.name).compare(0, name.size(), name) != 0) {
            continue;
        }
        if (name == option.name) {  // an exact name wins over any prefix
            chosen = &option;
            ambiguous = false;
            break;
        }
        if (chosen == nullptr) {
            chosen = &option;
        } else if (chosen->id != option.id || chosen->value != option.value) {
            ambiguous = true;
        }
    }
    if (chosen == nullptr || ambiguous) {
        found.problem = FoundOption::Unknown;
        return true;
    }
    found.id = chosen->id;
    if (equals != std::string::npos) {
        if (chosen->value == OptionValue::None) {
            found.problem = FoundOption::TakesNoValue;
        } else {
            found.hasValue = true;
            found.value = argument.substr(equals + 1);
        }
    } else if (chosen->value == OptionValue::Required) {
        if (next_ < arguments_.size()) {
            found.hasValue = true;
            found.value = arguments_[next_++];
        } else {
            found.problem = FoundOption::NeedsValue;
        }
    }
    return true;
}

// The next letter of a group such as -fq or -oFILE; a letter that takes a value takes the
// rest of the group, or the next argument.
bool OptionParser::Short(FoundOption& found) {
    const std::string& argument = arguments_[next_];
    const char letter = argument[letter_++];
    const bool last = letter_ >= argument.size();
    found.written = std::string("-") + letter;
    const KnownOption* chosen = nullptr;
    for (const KnownOption& option : known_) {
        if (option.letter != 0 && option.letter == letter) chosen = &option;
    }
    if (chosen == nullptr) {
        found.problem = FoundOption::Unknown;
    } else {
        found.id = chosen->id;
        if (chosen->value == OptionValue::Required) {
            if (!last) {
                found.hasValue = true;
                found.value = argument.substr(letter_);
            } else if (next_ + 1 < arguments_.size()) {
                found.hasValue = true;
                found.value = arguments_[next_ + 1];
                ++next_;
            } else {
                found.problem = FoundOption::NeedsValue;
            }
            letter_ = argument.size();
        }
    }
    if (letter_ >= argument.size()) {
        letter_ = 0;
        ++next_;
    }
    return true;
}

}  // namespace horofu
