// .dat threads: one post a line, "name<>mail<>date and ID<>body<>title", the body in HTML.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "converter/PostHeader.h"

namespace horofu {

// Whether a name ends in ".dat", ignoring ASCII case. Called with the thread's file name.
bool IsDatFileName(std::string_view name);

// Whether a line has the shape of a .dat line: at least four "<>" in it. Called with a
// thread's first line.
bool LooksLikeDatLine(std::string_view line);

// Appends the text of a piece of HTML: tags dropped, "<br>" as a line feed, character
// references decoded. A '<' that opens no tag, and an unknown reference, stay as they are.
void AppendHtmlText(std::string_view html, std::string& out);

// One .dat line made into a post: its header (views into headerText), its body's text with a
// line feed per "<br>", and the thread's title when the line carries one.
struct DatPost {
    std::string headerText;
    PostHeader header;
    std::string body;
    std::string title;
};

// Fills post from line, the number-th line of the .dat. A line with fewer fields than a .dat
// line has is all body. Called for every line of a .dat thread by both passes.
void ParseDatLine(std::string_view line, uint32_t number, DatPost& post);

}  // namespace horofu
