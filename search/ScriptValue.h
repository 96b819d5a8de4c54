// The index's files are scripts that hand one call's JSON arguments to the page
// (horofuSearch.thread(...);). This writes JSON strings and reads such a call back, for the
// update that merges what it wrote before and for horofu --search.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace horofu {

// Appends text (UTF-8; undecodable bytes become U+FFFD) as a JSON string literal.
void AppendJsonString(std::string& into, std::string_view utf8);

struct ScriptMember;

// One JSON value of the index's files: numbers are integers.
struct ScriptValue {
    enum class Kind { Null, Number, String, Array, Object } kind = Kind::Null;
    int64_t number = 0;
    std::string text;
    std::vector<ScriptValue> items;     // an array's
    std::vector<ScriptMember> members;  // an object's, in order

    const ScriptValue& operator[](std::size_t i) const;  // a Null value past the end
    std::size_t size() const { return items.size(); }
};

struct ScriptMember {
    std::string first;  // the name
    ScriptValue second;
};

// The arguments of the one call a file holds (name(arg, arg...);) as an array; false when
// the file is not such a call.
bool ParseScriptCall(std::string_view script, ScriptValue& arguments);

// Reads such a call a value at a time, for a file whose values are too many to hold all at once
// as ScriptValues (the catalog of a large site): a small recursive parser that knows only what
// the index writes. Each reading call skips the space before what it reads.
class ScriptReader {
  public:
    explicit ScriptReader(std::string_view script) : s_(script) {}
    bool Open();                                // past the call's "("
    bool Next(char c);                          // c next, and taken
    bool Number(int64_t& n);                    // an integer
    bool Value(ScriptValue& v, int depth = 0);  // any value
    bool Close();                               // ")", an optional ";", and the end
    bool End();                                 // nothing but space left
    bool Call(ScriptValue& arguments);          // the whole call

  private:
    bool List(ScriptValue& v, char close, int depth);
    bool String(std::string& out);
    void Space();
    bool Eat(char c);

    std::string_view s_;
    std::size_t at_ = 0;
};

}  // namespace horofu
