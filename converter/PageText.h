// The fixed texts of the page and the marks that tell a post header from a body line.
#pragma once

namespace horofu::page {

// Marks, matched ignoring ASCII case.
inline constexpr char kDateLabel[] = "\x93\x8a\x8d\x65\x93\xfa";  // 投稿日
inline constexpr char kNameLabel[] = "\x96\xbc\x91\x4f\x81\x46";  // 名前：
inline constexpr char kColonZero[] =
    "\x81\x46"
    "0";  // ：0 (where a bare date starts)
inline constexpr char kReplyMark[] = ">>";

// The page's head and tail lines, each written with CR LF.
inline constexpr char kHtmlOpen[] = "<html>";
inline constexpr char kBodyOpen[] =
    "<body bgcolor=#F0FFE6 text=black link=blue alink=red vlink=#660099>";
inline constexpr char kListOpen[] = "\t<DL>";
inline constexpr char kListClose[] = "\t</DL>";
inline constexpr char kBodyClose[] = "</body>";
inline constexpr char kHtmlClose[] = "</html>";
inline constexpr char kLineEnd[] = "\r\n";

// Pieces of one record's line: two tabs, the fragment, "<br>", CR LF.
inline constexpr char kLineStart[] = "\t\t";
inline constexpr char kBreak[] = "<br>";
inline constexpr char kTermOpen[] = "<DT>";
inline constexpr char kTermClose[] = "</DT>";
inline constexpr char kDescriptionOpen[] = "<DD>";
inline constexpr char kDescriptionClose[] = "</DD>";
inline constexpr char kAnchorNameOpen[] = "<a name=\"";
inline constexpr char kAnchorHrefOpen[] = "<a href=\"#";
inline constexpr char kAttributeClose[] = "\">";
inline constexpr char kAnchorClose[] = "</a>";
inline constexpr char kReplyText[] = "&gt;&gt;";
inline constexpr char kNameOpen[] = "<font color=green><b>";
inline constexpr char kNameClose[] = "</b></font>";

// What stands in a header in place of its date, time and ID.
inline constexpr char kLabelledDate[] = "\x93\x8a\x8d\x65\x93\xfa --/--/--";  // 投稿日 --/--/--
inline constexpr char kBareDate[] = "\x81\x46 --/--/--";                      // ： --/--/--

}  // namespace horofu::page
