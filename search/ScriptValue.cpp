// JSON for the index's script files: written with every character escaped that a string
// literal needs, read back by a small recursive parser that knows only what the index writes.
#include "search/ScriptValue.h"

#include <cstdint>

#include "search/SearchFold.h"

namespace horofu {

void AppendJsonString(std::string& into, std::string_view utf8) {
    into += '"';
    bool plain = true;
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) plain = false;
    }
    // Text is decoded and encoded again so that a stray byte cannot make the file undecodable.
    const std::string clean = plain ? std::string() : EncodeUtf8(DecodeUtf8(utf8));
    for (char c : plain ? utf8 : std::string_view(clean)) {
        switch (c) {
            case '"':
                into += "\\\"";
                break;
            case '\\':
                into += "\\\\";
                break;
            case '\n':
                into += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    static const char hex[] = "0123456789abcdef";
                    into += "\\u00";
                    into += hex[(c >> 4) & 0xF];
                    into += hex[c & 0xF];
                } else {
                    into += c;
                }
        }
    }
    into += '"';
}

const ScriptValue& ScriptValue::operator[](std::size_t i) const {
    static const ScriptValue none;
    return i < items.size() ? items[i] : none;
}

bool ScriptReader::Value(ScriptValue& v, int depth) {
    Space();
    if (at_ >= s_.size() || depth > 16) return false;
    const char c = s_[at_];
    if (c == '"') {
        v.kind = ScriptValue::Kind::String;
        return String(v.text);
    }
    if (c == '[' || c == '(') return List(v, c == '[' ? ']' : ')', depth);
    if (c == '{') {
        v.kind = ScriptValue::Kind::Object;
        ++at_;
        Space();
        if (Eat('}')) return true;
        do {
            ScriptMember member;
            Space();
            if (!String(member.first) || (Space(), !Eat(':')) || !Value(member.second, depth + 1)) {
                return false;
            }
            v.members.push_back(std::move(member));
            Space();
        } while (Eat(','));
        return Eat('}');
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
        v.kind = ScriptValue::Kind::Number;
        const bool negative = Eat('-');
        bool any = false;
        while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') {
            // A number longer than the index writes is not let overflow; it is refused by
            // whatever bound its reader checks.
            if (v.number < (INT64_MAX - 9) / 10) v.number = v.number * 10 + (s_[at_] - '0');
            ++at_;
            any = true;
        }
        if (negative) v.number = -v.number;
        return any;
    }
    if (s_.substr(at_, 4) == "null") {
        at_ += 4;
        return true;
    }
    return false;
}

bool ScriptReader::List(ScriptValue& v, char close, int depth) {
    v.kind = ScriptValue::Kind::Array;
    ++at_;
    Space();
    if (Eat(close)) return true;
    do {
        v.items.emplace_back();
        if (!Value(v.items.back(), depth + 1)) return false;
        Space();
    } while (Eat(','));
    return Eat(close);
}

bool ScriptReader::String(std::string& out) {
    if (!Eat('"')) return false;
    while (at_ < s_.size()) {
        const char c = s_[at_++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (at_ >= s_.size()) return false;
        const char e = s_[at_++];
        switch (e) {
            case 'n':
                out += '\n';
                break;
            case 'u': {
                if (at_ + 4 > s_.size()) return false;
                char32_t code = 0;
                for (int k = 0; k < 4; ++k) {
                    const char h = s_[at_++];
                    const int d = h >= '0' && h <= '9'   ? h - '0'
                                  : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                  : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                         : -1;
                    if (d < 0) return false;
                    code = code * 16 + d;
                }
                out += EncodeUtf8(std::u32string(1, code));
                break;
            }
            default:
                out += e;  // \" \\ \/
        }
    }
    return false;
}

bool ScriptReader::Call(ScriptValue& arguments) {
    const std::size_t open = s_.find('(');
    if (open == std::string_view::npos) return false;
    at_ = open;
    if (!List(arguments, ')', 0)) return false;
    Space();
    Eat(';');
    Space();
    return at_ == s_.size();
}

void ScriptReader::Space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) {
        ++at_;
    }
}
bool ScriptReader::Eat(char c) {
    if (at_ < s_.size() && s_[at_] == c) {
        ++at_;
        return true;
    }
    return false;
}

bool ScriptReader::Open() {
    const std::size_t open = s_.find('(');
    if (open == std::string_view::npos) return false;
    at_ = open + 1;
    return true;
}

bool ScriptReader::Next(char c) {
    Space();
    return Eat(c);
}

bool ScriptReader::Number(int64_t& n) {
    Space();
    ScriptValue v;
    if (at_ >= s_.size() || !(s_[at_] == '-' || (s_[at_] >= '0' && s_[at_] <= '9')) || !Value(v)) {
        return false;
    }
    n = v.number;
    return true;
}

bool ScriptReader::End() {
    Space();
    return at_ == s_.size();
}

bool ScriptReader::Close() {
    if (!Next(')')) return false;
    Next(';');
    Space();
    return at_ == s_.size();
}

bool ParseScriptCall(std::string_view script, ScriptValue& arguments) {
    arguments = ScriptValue();
    return ScriptReader(script).Call(arguments);
}

}  // namespace horofu
