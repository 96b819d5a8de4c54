// .dat threads: one post a line, "name<>mail<>date and ID<>body<>title", the body in HTML;
// also the number-first lines of rental and regional boards and the comma lines of old logs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "converter/modern/PostHeader.h"

namespace horofu {

// Whether a name ends in ".dat", ignoring ASCII case. Called with the thread's file name.
bool IsDatFileName(std::string_view name);

// Whether a line has the shape of a .dat line: at least four "<>" in it. Called with a
// thread's first line.
bool LooksLikeDatLine(std::string_view line);

// Appends the text of a piece of HTML: tags dropped, "<br>" and "<hr>" as a line feed, character
// references decoded once (DecodeReference; invalid ones are counted in invalid when given).
// A '<' that opens no tag, and an '&' that starts no reference, stay as they are.
void AppendHtmlText(std::string_view html, std::string& out, uint64_t* invalid = nullptr);

// The shapes of .dat lines: "name<>mail<>date ID<>body<>title"; number first, as rental
// boards ("n<>name<>mail<>date<>body<>title<>ID") and regional boards ("n<>name<>mail<>date
// ID<>body<>title") keep them, each post with its own number; or the comma-separated lines
// of logs before 2002 ("name,mail,date,body,title", "＠｀" for a comma of the text).
enum class DatForm { None, Standard, NumberFirst, Comma };

// The form of a thread whose first line is line; datName: the file's name ends in ".dat"
// (then at least Standard). Called once per reading by the modern page.
DatForm FindDatForm(std::string_view line, bool datName);

// A .dat title as readers show it: up to a tab, without the board's bracketed tail
// ("[無断転載禁止]©2ch.net"). Called by ParseDatLine for a first line's title.
std::string ThreadTitle(std::string_view title);

// One .dat line made into a post: its header (views into headerText), its body's text with a
// line feed per "<br>", and the thread's title when the line carries one.
struct DatPost {
    std::string headerText;
    PostHeader header;
    std::string body;
    std::string title;
    uint64_t invalidReferences = 0;  // character references shown as U+FFFD
};

// Fills post from line, the number-th line of a .dat of form. A number-first line keeps its
// own number when it is at least number (the one after the last post's); else it is broken. A
// broken line (fewer fields than a post has, or no fitting number) is a post whose body is the
// whole line, so that nothing of it is lost. Called for every
// line of a .dat thread by both passes.
void ParseDatLine(std::string_view line, uint32_t number, DatForm form, DatPost& post);

// A .dat line too long to come whole comes in pieces, the first one made a post by
// ParseDatLine. Whether that first piece ends within the post's body (the body goes on in the
// next piece).
bool DatBodyGoesOn(std::string_view first, DatForm form);
// How much of a piece of a long .dat line may be read before the next piece comes: all of
// it, unless it ends in what may be the start of a tag, a character reference or a field's
// separator, which is then read with the next piece.
std::size_t DatPieceReadable(std::string_view piece);
// Appends the text of a later piece's body, up to the end of the body's field, to body (its
// invalid character references counted in invalid); whether the field goes on past the piece.
// What follows the body in a line that long (its title, a raw ID) is not read.
bool ContinueDatBody(std::string_view piece, DatForm form, std::string& body, uint64_t& invalid);

}  // namespace horofu
