// Field input: a channel's bytes cut into fields and stored into the targets' variables.
#include <cmath>
#include <cstdlib>
#include <variant>

#include "runtime/ByteScan.h"
#include "runtime/Channel.h"

namespace horofu {
namespace {

// Byte roles while a field is collected.
enum : unsigned char { kOrdinary = 0, kEnds = 1, kCr = 2, kQuote = 3, kComma = 4, kBlank = 5 };

// The slower byte-by-byte collection for numeric targets, where blanks end fields too.
constexpr std::array<unsigned char, 256> MakeRoles(bool blanksEnd) {
    std::array<unsigned char, 256> roles{};
    roles[0x00] = kEnds;
    roles['\n'] = kEnds;
    roles['\r'] = kCr;
    roles['"'] = kQuote;
    roles[','] = kComma;
    if (blanksEnd) {
        roles[' '] = kBlank;
        roles['\t'] = kBlank;
    }
    return roles;
}
constexpr auto kNumberRoles = MakeRoles(true);

// What can end a text field, or change what ends it. A CR matters only right before the LF,
// where it belongs to the line end; so a text field looks for the LF and drops one CR before it.
constexpr ByteSet kTextStops{'\0', '\n', ',', '"'};

bool IsBlank(int b) {
    return b == ' ' || b == '\t';
}

}  // namespace

int Channel::InputFields(std::initializer_list<InputTarget> targets) {
    if (!file_ || !canRead_) return 0;
    int filled = 0;
    for (const InputTarget& target : targets) {
        if (!SkipBlanks()) return filled;
        bool endedByBlank = false;
        if (target.IsText() ? !CollectText() : !CollectField(kNumberRoles, endedByBlank)) {
            return filled;
        }
        if (endedByBlank) SkipToNextField();
        Store(target);
        ++filled;
    }
    return filled;
}

// Drops leading blanks; false when the file ends (or a read fails) first.
bool Channel::SkipBlanks() {
    for (;;) {
        while (readPos_ < readEnd_) {
            if (!IsBlank(buffer_[readPos_])) return true;
            ++readPos_;
        }
        if (Refill() <= 0) return false;
    }
}

// Collects one text field into field_: the fast path for what the converter reads.
// False when a read fails; the bytes read so far stay consumed.
bool Channel::CollectText() {
    field_.clear();
    bool inQuotes = false;
    for (;;) {
        if (readPos_ == readEnd_) {
            const int got = Refill();
            if (got < 0) return false;
            if (got == 0) return true;  // end of file ends the field
        }
        const char* const data = buffer_.data();
        const char* const stop = FindFirstOf(data + readPos_, data + readEnd_, kTextStops);
        field_.append(data + readPos_, stop);
        readPos_ = static_cast<std::size_t>(stop - data);
        if (readPos_ == readEnd_) continue;
        const char byte = data[readPos_++];
        switch (byte) {
            case '\n':
                if (!field_.empty() && field_.back() == '\r') field_.pop_back();
                return true;
            case ',':
                if (!inQuotes) return true;
                field_ += byte;
                break;
            case '"':
                inQuotes = !inQuotes;
                field_ += byte;
                break;
            default:  // a zero byte
                return true;
        }
    }
}

// Collects one field into field_. False when a read fails: the field is then dropped,
// and the bytes read so far stay consumed.
bool Channel::CollectField(const std::array<unsigned char, 256>& roles, bool& endedByBlank) {
    field_.clear();
    bool inQuotes = false;
    for (;;) {
        if (readPos_ == readEnd_) {
            const int got = Refill();
            if (got < 0) return false;
            if (got == 0) return true;  // end of file ends the field
        }
        // Take the run of ordinary bytes in one piece.
        const char* const data = buffer_.data();
        std::size_t run = readPos_;
        while (run < readEnd_ && roles[static_cast<unsigned char>(data[run])] == kOrdinary) {
            ++run;
        }
        field_.append(data + readPos_, run - readPos_);
        readPos_ = run;
        if (run == readEnd_) continue;

        const char byte = data[readPos_++];
        switch (roles[static_cast<unsigned char>(byte)]) {
            case kEnds:
                return true;
            case kQuote:
                inQuotes = !inQuotes;
                field_ += byte;
                break;
            case kComma:
                if (!inQuotes) return true;
                field_ += byte;
                break;
            case kBlank:
                if (!inQuotes) {
                    endedByBlank = true;
                    return true;
                }
                field_ += byte;
                break;
            case kCr: {
                const int next = Next();
                if (next == kReadError) return false;
                if (next == '\n') return true;
                // A lone CR is an ordinary byte; a CR that is the file's last byte is
                // kept too, so that nothing of the file is lost.
                field_ += byte;
                if (next == kEndOfFile) return true;
                GiveBack();
                break;
            }
            default:
                break;
        }
    }
}

// After a blank-ended field: skip blanks, and one comma after them.
void Channel::SkipToNextField() {
    for (;;) {
        const int b = Next();
        if (b < 0) return;
        if (IsBlank(b)) continue;
        if (b != ',') GiveBack();
        return;
    }
}

void Channel::Store(const InputTarget& target) {
    struct Storer {
        std::string& field;
        void operator()(std::monostate) const {}
        void operator()(Text* t) const { t->Bytes().swap(field); }
        void operator()(double* v) const { *v = Number(); }
        void operator()(float* v) const { *v = static_cast<float>(Number()); }
        void operator()(int32_t* v) const { *v = static_cast<int32_t>(Integer()); }
        void operator()(int16_t* v) const { *v = static_cast<int16_t>(Integer()); }
        void operator()(int8_t* v) const { *v = static_cast<int8_t>(Integer()); }
        double Number() const { return std::strtod(field.c_str(), nullptr); }
        // Rounded to the nearest integer; the narrow types keep its low bits.
        uint32_t Integer() const {
            const double n = std::nearbyint(Number());
            if (!(n > -2147483649.0 && n < 4294967296.0)) return 0;
            return static_cast<uint32_t>(static_cast<int64_t>(n));
        }
    };
    std::visit(Storer{field_}, target.Target());
}

}  // namespace horofu
