// The command line read as GNU getopt_long reads it, without the system's getopt: short
// options bundled (-fq), a short option's value joined or next (-oFILE, -o FILE), a long one's
// after = or next (--output=FILE, --output FILE), a long option by any unambiguous prefix,
// operands among the options, and "--" ending the options.
#pragma once

#include <string>
#include <vector>

namespace horofu {

enum class OptionValue { None, Required, Optional };  // Optional: only as --name=VALUE

// An option the command takes.
struct KnownOption {
    const char* name;  // the long name, or null
    char letter;       // the short letter, or 0
    OptionValue value;
    int id;  // what Next gives for it
};

// One option as found on the command line.
struct FoundOption {
    enum Problem { None, Unknown, NeedsValue, TakesNoValue };
    int id = 0;
    bool hasValue = false;
    std::string value;
    Problem problem = None;
    std::string written;  // the option as written, for a message: -x, or --name without =...
};

class OptionParser {
  public:
    // arguments[0] is the program's name.
    OptionParser(std::vector<std::string> arguments, std::vector<KnownOption> known)
        : arguments_(std::move(arguments)), known_(std::move(known)) {}

    // The next option, false when there is none left. An option with a problem ends the
    // reading (the command stops at the first).
    bool Next(FoundOption& found);
    // The operands in their order, all of them once Next has returned false.
    const std::vector<std::string>& Operands() const { return operands_; }

  private:
    bool Long(const std::string& argument, FoundOption& found);
    bool Short(FoundOption& found);

    std::vector<std::string> arguments_;
    std::vector<KnownOption> known_;
    std::vector<std::string> operands_;
    std::size_t next_ = 1;    // the argument read next
    std::size_t letter_ = 0;  // within a group of short options: the letter read next, 0 none
};

}  // namespace horofu
