// The command's option parser: what getopt_long accepts, it accepts alike.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/OptionParser.h"

namespace horofu {
namespace {

enum { kOutput = 1, kForce, kQuiet, kNg, kNgMode, kNgChain, kColor, kColour };

// Every option found, as "id=value" ("id" alone without a value), then the operands after
// "|"; a problem ends it with "!written".
std::string Parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "horofu");
    OptionParser parser(arguments, {{"output", 'o', OptionValue::Required, kOutput},
                                    {"force", 'f', OptionValue::None, kForce},
                                    {"quiet", 'q', OptionValue::None, kQuiet},
                                    {"ng", 0, OptionValue::Required, kNg},
                                    {"ng-mode", 0, OptionValue::Required, kNgMode},
                                    {"ng-chain", 0, OptionValue::None, kNgChain},
                                    {"color", 0, OptionValue::Optional, kColor},
                                    {"colour", 0, OptionValue::Optional, kColor}});
    std::string told;
    for (FoundOption found; parser.Next(found);) {
        if (found.problem != FoundOption::None) {
            return told + "!" + std::to_string(found.problem) + found.written;
        }
        told += std::to_string(found.id) + (found.hasValue ? "=" + found.value : "") + " ";
    }
    told += "|";
    for (const std::string& operand : parser.Operands()) told += " " + operand;
    return told;
}

TEST(OptionParser, ReadsWhatGetoptLongReads) {
    EXPECT_EQ(Parse({"-fq", "a.txt"}), "2 3 | a.txt");                   // a bundle
    EXPECT_EQ(Parse({"-foout.html", "a.txt"}), "2 1=out.html | a.txt");  // -oFILE in a bundle
    EXPECT_EQ(Parse({"-o", "-", "a.txt"}), "1=- | a.txt");               // a value may be "-"
    EXPECT_EQ(Parse({"--output=x", "--output", "-f"}), "1=x 1=-f |");
    EXPECT_EQ(Parse({"--output="}), "1= |");  // an empty value is a value
    EXPECT_EQ(Parse({"a", "-f", "b", "--", "-q", "-"}), "2 | a b -q -");  // operands permuted
    EXPECT_EQ(Parse({"-", "--fo"}), "2 | -");                             // a unique prefix
    EXPECT_EQ(Parse({"--ng", "n.txt"}), "4=n.txt |");  // an exact name over longer ones
    EXPECT_EQ(Parse({"--col"}), "7 |");                // two names of one option
    EXPECT_EQ(Parse({"--colour=never", "x"}), "7=never | x");
    EXPECT_EQ(Parse({"--color", "x"}), "7 | x");  // an optional value only after =
}

TEST(OptionParser, NamesTheOptionInError) {
    EXPECT_EQ(Parse({"-fx"}), "2 !1-x");
    EXPECT_EQ(Parse({"--ng-"}), "!1--ng-");  // ambiguous
    EXPECT_EQ(Parse({"--bogus=1"}), "!1--bogus");
    EXPECT_EQ(Parse({"a", "-o"}), "!2-o");
    EXPECT_EQ(Parse({"--out"}), "!2--out");
    EXPECT_EQ(Parse({"--force=yes"}), "!3--force");
    EXPECT_EQ(Parse({"--", "--bogus"}), "| --bogus");
}

}  // namespace
}  // namespace horofu
