// The targets that one field input fills: a variable and the type code of what it stores.
#pragma once

#include <cstdint>
#include <variant>

#include "runtime/Text.h"

namespace horofu {

class InputTarget {
  public:
    // Type codes: 0 double, 1 float, 2 32-bit, 4 16-bit and 6 8-bit integer, 7 text.
    InputTarget(double& v) : variable_(&v), code_(0) {}   // NOLINT(google-explicit-constructor)
    InputTarget(float& v) : variable_(&v), code_(1) {}    // NOLINT(google-explicit-constructor)
    InputTarget(int32_t& v) : variable_(&v), code_(2) {}  // NOLINT(google-explicit-constructor)
    InputTarget(int16_t& v) : variable_(&v), code_(4) {}  // NOLINT(google-explicit-constructor)
    InputTarget(int8_t& v) : variable_(&v), code_(6) {}   // NOLINT(google-explicit-constructor)
    InputTarget(Text& v) : variable_(&v), code_(7) {}     // NOLINT(google-explicit-constructor)
    // A field read for a target of an unknown type code is read and dropped.
    static InputTarget Discard(int code) { return InputTarget(DiscardTag{}, code); }

    int TypeCode() const { return code_; }
    bool IsText() const { return code_ == 7; }

    using Variable =
        std::variant<std::monostate, double*, float*, int32_t*, int16_t*, int8_t*, Text*>;
    const Variable& Target() const { return variable_; }

  private:
    struct DiscardTag {};
    InputTarget(DiscardTag, int code) : code_(code) {}
    Variable variable_;
    int code_;
};

}  // namespace horofu
